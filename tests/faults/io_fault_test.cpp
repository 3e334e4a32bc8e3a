// The real program with one kind of call failing on one file (the preloaded
// shim in shim/): a read error is not the end of a file, a write, open,
// rename or chmod that fails replaces nothing (or says what it left), an
// owner that cannot be kept is a notice, a folder that cannot be synced a
// failure that says the result is in place, and a console
// that cannot be written is reported. Each run's exit status says whether
// the result was written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/console_run.hpp"
#include "tests/support/dialog_text.hpp"

namespace dt = dialog_text;

namespace {

class IoFault : public ConsoleRun {
protected:
    BinaryRun run_with(const std::string& fault) const {
        std::map<std::string, std::string> env = {{"LD_PRELOAD", IO_FAULT_SHIM}, {"IO_FAULT", fault}};
        // The shim comes before the sanitizers' runtime in a sanitized build.
        const char* asan = std::getenv("ASAN_OPTIONS");
        env["ASAN_OPTIONS"] = std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0";
        return run(RunAnswers{}.text(), env);
    }
};

const std::string kWholeDialog = dt::opening(false) + dt::parameters(false);

}  // namespace

TEST_F(IoFault, EachFailureIsNamedAndReplacesNothingUnlessItSaysSo) {
    const auto lost = [this](const std::string& name) {
        return "\n No se pudo escribir completo el archivo " + folder_ + name + ": no se escribio ningun resultado \n";
    };
    const auto read_error = [this](const std::string& name) {
        return "\n Error de lectura en el archivo " + folder_ + name + ": no se escribio ningun resultado \n";
    };
    struct Case {
        std::string fault;
        std::string out;
        bool raster_replaced;
        bool descriptor_replaced = false;
        int exit_status = 1;
    };
    const std::string computed = kWholeDialog + dt::computation(9, 7);
    // The result's files match *resultado_m4.raw* and *resultado_m4.txt*
    // whatever their temporaries are called.
    const Case cases[] = {
        // A read error is not a short file: the run stops instead of going on with zeros.
        {"read:1:*/cauce.raw", kWholeDialog + read_error("cauce.raw"), false},
        {"read:1:*/curva.txt", dt::kUpToContour + read_error("curva.txt"), false},
        // A full disk under the raster or under the descriptor.
        {"write:1:*resultado_m4.raw*", kWholeDialog + dt::computation(9, 7) + lost("resultado_m4.raw"), false},
        {"write:1:*resultado_m4.txt*", kWholeDialog + dt::computation(9, 7) + lost("resultado_m4.txt"), false},
        // The descriptor cannot be created: found at the result's prompt.
        {"open:1:*resultado_m4.txt*",
         dt::opening(false) + "\n No se puede crear el archivo " + folder_ + "resultado_m4.txt \n", false},
        // Putting the pair in place: the raster's rename fails, or the descriptor's after it.
        {"rename:1:*resultado_m4*", kWholeDialog + dt::computation(9, 7) + lost("resultado_m4.raw"), false},
        {"rename:2:*resultado_m4*",
         kWholeDialog + dt::computation(9, 7) + "\n No se pudo reemplazar el archivo " + folder_ +
             "resultado_m4.txt: el resultado no es valido \n",
         true},
        // The new raster would not have the earlier one's permissions: nothing is replaced.
        {"chmod:1:*resultado_m4*", computed + lost("resultado_m4.raw"), false},
        // Only root may keep another user's ownership: a notice, and the result is written.
        {"chown:1:*resultado_m4*",
         computed + "\n Aviso: no se pudo conservar el dueno del archivo " + folder_ +
             "resultado_m4.raw: ahora es de este usuario \n",
         true, true, 0},
        // The renames may not survive a crash: both files are the new ones, and the run failed.
        {"fsync:1:*/rio1",
         computed + "\n No se pudo asegurar en el disco el archivo " + folder_ +
             "resultado_m4.raw: el resultado esta en su sitio, pero una caida del sistema podria deshacerlo \n",
         true, true},
    };
    write_scenario(images_, 9, 7);
    ASSERT_EQ(run(RunAnswers{}).exit_status, 0);
    const std::string raster = result_raw();
    const std::string descriptor = result_txt();
    for (const Case& c : cases) {
        write_file(folder_ + "resultado_m4.raw", "earlier raster");
        write_file(folder_ + "resultado_m4.txt", "earlier descriptor");
        const BinaryRun r = run_with(c.fault);
        SCOPED_TRACE(c.fault);
        EXPECT_EQ(r.exit_status, c.exit_status);
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(result_raw(), c.raster_replaced ? raster : "earlier raster");
        EXPECT_EQ(result_txt(), c.descriptor_replaced ? descriptor : "earlier descriptor");
        EXPECT_EQ(leftovers(), std::vector<std::string>{});
    }
}

TEST_F(IoFault, AConsoleThatCannotBeWrittenIsReportedOnTheStandardErrorWithStatusTwo) {
    write_scenario(images_, 9, 7);
    const BinaryRun r = run_with("write:1:*/stdout");
    EXPECT_EQ(r.exit_status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "\n No se pudo escribir en la salida estandar: el dialogo no se mostro completo \n");
    // The result itself was written.
    EXPECT_EQ(result_raw().size(), 4u * 9u * 7u);
    EXPECT_EQ(leftovers(), std::vector<std::string>{});
}

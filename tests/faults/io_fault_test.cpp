// The real program with one kind of call failing on one file (the preloaded
// shim in shim/): a read error is not the end of a file, a write, open,
// link, rename or chmod that fails replaces nothing, an owner that cannot be
// kept is a notice, a folder that cannot be synced a failure that says the
// result is in place, and a console that cannot be written is reported. Each
// run's exit status says whether the result was written. Every call of the
// kinds that put the pair in place, failed or killed in turn, leaves a whole
// pair: the earlier or the new one, never a mix.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/console_run.hpp"
#include "tests/support/dialog_text.hpp"
#include "tests/support/fault_sweep.hpp"

namespace dt = dialog_text;

namespace {

class IoFault : public ConsoleRun {
protected:
    BinaryRun run_with(const std::string& fault, const std::string& error = "") const {
        Environment env = fault_environment(IO_FAULT_SHIM, fault);
        if (!error.empty()) env["IO_FAULT_ERRNO"] = error;
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
    const std::string computed = kWholeDialog + dt::computation(9, 7);
    const auto unplaced = [this](const std::string& name) {
        return "\n No se pudo poner en su sitio el archivo " + folder_ + name +
               ": no se escribio ningun resultado y el anterior queda como estaba \n";
    };
    struct Case {
        std::string fault;
        std::string out;
        bool raster_replaced;
        bool descriptor_replaced = false;
        int exit_status = 1;
        std::string error = "";  // the failing call's errno, when not the shim's own
    };
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
        // An input that may not be read, or that the disk fails to open, is not said to be missing.
        {"open:1:*/cauce.raw", dt::kUpToChannel + "\n No se puede leer el archivo " + folder_ + "cauce.raw: no tiene permiso \n",
         false},
        {"open:1:*/cauce.txt",
         dt::kUpToChannel + "\n No se puede abrir el archivo " + folder_ + "cauce.txt: Input/output error \n", false,
         false, 1, "5"},
        // Putting the pair in place: the raster's rename fails, or the descriptor's after it (the raster's
        // rename is then undone), or the earlier raster cannot be kept aside before the renames.
        {"rename:1:*tmp/resultado_m4.raw", computed + unplaced("resultado_m4.raw"), false},
        {"rename:1:*tmp/resultado_m4.txt", computed + unplaced("resultado_m4.txt"), false},
        {"link:1:*/resultado_m4.raw", computed + lost("resultado_m4.raw"), false},
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
        const BinaryRun r = run_with(c.fault, c.error);
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

    // A full disk under the console, and a result that fails: the standard error says both.
    write_file(folder_ + "resultado_m4.raw", "earlier raster");
    Environment env = fault_environment(IO_FAULT_SHIM, "rename:1:*tmp/resultado_m4.raw");
    env["LORVANTIDE_IMAGES"] = images_;
    const BinaryRun full = run_child({"/bin/sh", {"-c", "exec \"$0\" > /dev/full", lorvantide_binary()},
                                      temp_.path().string(), RunAnswers{}.text(), env, 0, 120});
    EXPECT_EQ(full.exit_status, 1);
    EXPECT_EQ(full.err, "\n No se pudo escribir en la salida estandar: el dialogo no se mostro completo \n"
                        "\n No se escribio ningun resultado \n");
    EXPECT_EQ(result_raw(), "earlier raster");
}

// Every call of the kinds that keep the earlier pair aside, write the
// journal, put the pair in place and remove the temporaries, failed in turn
// and then killed in turn (SIGKILL, which nothing catches): what is on disk
// is always the whole earlier pair or the whole new one; after a kill, the
// next run that names the result makes it whole, says so, and leaves nothing.
TEST_F(IoFault, NoFailingOrKilledCallLeavesAMixedPair) {
    write_scenario(images_, 9, 7);
    ASSERT_EQ(run(RunAnswers{}).exit_status, 0);
    const std::string raster = result_raw();
    const std::string descriptor = result_txt();
    enum Pair { earlier, fresh, mixed };
    const auto start = [&] {
        write_file(folder_ + "resultado_m4.raw", "earlier raster");
        write_file(folder_ + "resultado_m4.txt", "earlier descriptor");
    };
    const auto pair = [&] {
        if (result_raw() == "earlier raster" && result_txt() == "earlier descriptor") return earlier;
        return result_raw() == raster && result_txt() == descriptor ? fresh : mixed;
    };
    for (const std::string kind : {"rename", "link", "unlink", "fsync", "mkdir", "flock", "chmod", "close", "write"}) {
        const std::string files = kind == "close" || kind == "write" ? "*resultado_m4*" : "*";
        const int calls = sweep_calls(IO_FAULT_SHIM, kind, files, 0, [&](const std::string& fault, const Environment& env) {
            start();
            const BinaryRun r = run(RunAnswers{}.text(), env);
            SCOPED_TRACE(fault);
            EXPECT_NE(pair(), mixed);
            EXPECT_EQ(r.exit_status == 0, pair() == fresh && r.out.find(" No se") == std::string::npos);
        });
        EXPECT_GE(calls, kind == "rename" ? 4 : 1) << kind;  // the journal's two, the pair's two
    }
    for (const std::string kind : {"rename", "link", "unlink", "fsync"}) {
        sweep_calls(IO_FAULT_SHIM, kind, "*", SIGKILL, [&](const std::string& fault, const Environment& env) {
            start();
            run(RunAnswers{}.text(), env);
            const bool mixed_before = pair() == mixed;
            const BinaryRun next = run("rio1\nvalle\nbar\ncauce\ncurva\n0\nresultado\n");
            SCOPED_TRACE(fault);
            EXPECT_EQ(next.out.find("dejado a medias " + folder_ + "resultado_m4.raw y " + folder_ +
                                    "resultado_m4.txt: se restauraron los archivos anteriores") != std::string::npos,
                      mixed_before);
            EXPECT_NE(pair(), mixed);
            EXPECT_EQ(leftovers(), std::vector<std::string>{});
        });
    }
}

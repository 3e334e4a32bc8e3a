#include "gis/commands.hpp"

#include <cpl_conv.h>
#include <gdal.h>

#include <exception>
#include <initializer_list>
#include <new>

#include "gis/arguments.hpp"
#include "gis/command_table.hpp"
#include "gis/gdal_env.hpp"
#include "gis/tool_error.hpp"

const char* const kUsage =
    "Uso: lorvantide-raster ORDEN ARGUMENTOS [opciones]\n"
    "\n"
    "Lleva datos SIG (cualquier formato de GDAL) a los pares raster de lorvantide\n"
    "y de vuelta, o calcula el cauce en una sola orden (channel). Los nombres van\n"
    "sin extension, como en el dialogo de lorvantide: DIR/NOMBRE es\n"
    "DIR/NOMBRE_m4.raw + DIR/NOMBRE_m4.txt (par de elevacion) o DIR/NOMBRE.raw +\n"
    "DIR/NOMBRE.txt (par de mascara).\n"
    "\n"
    "Ordenes:\n"
    "  import-dem SRC DIR/NOMBRE [--scale S] [--nodata V] [-t_srs SRC] [-tr X Y] ...\n"
    "      un raster a un par de elevacion y su georreferencia DIR/NOMBRE_m4.vrt\n"
    "  import-mask SRC DIR/NOMBRE --like DIR/MDE [--tone T] [--layer CAPA] ...\n"
    "      una clase raster o una capa vectorial a una mascara de 8 bits sobre la\n"
    "      rejilla del MDE importado\n"
    "  export DIR/RESULTADO SALIDA --like DIR/MDE [--mask DIR/ZONA] [-of FORMATO] ...\n"
    "      un par de elevacion a un formato de GDAL con la georreferencia, la escala\n"
    "      y la unidad del MDE\n"
    "  preview DIR/PAR SALIDA.png [--mask DIR/CAUCE] [--relief DIR/MDE] ...\n"
    "      una imagen: sombreado del relieve, el cauce en color y una leyenda\n"
    "  channel --dem MDE -o SALIDA --banks SRC --zone SRC --contour SRC ...\n"
    "      el calculo de lorvantide en una orden, de los datos SIG a las elevaciones\n"
    "      del cauce (y, con --conditioned, al MDE con el cauce grabado)\n"
    "\n"
    "Opciones comunes: --overwrite, -q, --config CLAVE VALOR; --help, --version.\n"
    "lorvantide-raster ORDEN --help da las opciones de cada orden.\n"
    "Vea lorvantide-raster(1).\n";

namespace {

bool asks_for(const std::vector<std::string>& words, std::initializer_list<const char*> flags) {
    for (const std::string& word : words)
        for (const char* flag : flags)
            if (word == flag) return true;
    return false;
}

// The message of a failure. Built of the pieces as they are, taking no
// memory: it is also how running out of memory is told.
void fail(std::FILE* err, std::initializer_list<const char*> pieces) {
    std::fputs("\n lorvantide-raster: ", err);
    for (const char* piece : pieces) std::fputs(piece, err);
    std::fputs(" \n", err);
    std::fflush(err);
}

void fail(std::FILE* err, const std::string& message) { fail(err, {message.c_str()}); }

// Text on standard output, and whether all of it got there.
int print(std::FILE* out, std::FILE* err, const std::string& text) {
    std::fputs(text.c_str(), out);
    if (std::fflush(out) != 0 || std::ferror(out)) {
        fail(err, "no se puede escribir en la salida estandar");
        return 1;
    }
    return 0;
}

const CommandDef* find_command(const std::string& name) {
    for (const CommandDef& command : command_table())
        if (command.name == name) return &command;
    return nullptr;
}

// "a, b o c": the words joined by commas, the last one by `last` (" o ").
std::string joined(const std::vector<std::string>& words, const char* last) {
    std::string text;
    for (std::size_t k = 0; k < words.size(); ++k)
        text += (k == 0 ? "" : k + 1 == words.size() ? last : ", ") + words[k];
    return text;
}

std::string command_names() {
    std::vector<std::string> names;
    for (const CommandDef& command : command_table()) names.push_back(command.name);
    return joined(names, " o ");
}

}  // namespace

namespace {

int run_named_command(const CommandDef& command, const std::vector<std::string>& words, std::FILE* out,
                      std::FILE* err, bool err_is_terminal, Processes& processes) {
    std::vector<OptionDef> options = command.options;
    options.insert(options.end(), common_options().begin(), common_options().end());
    const CommandLine line = parse_arguments(std::vector<std::string>(words.begin() + 1, words.end()), options);
    if (line.positional.size() != command.positional.size()) {
        const std::string wanted = joined(command.positional, " y ");
        throw ToolError(command.name + (wanted.empty() ? " no lleva argumentos" : " necesita " + wanted) +
                        " (se dieron " + std::to_string(line.positional.size()) + " argumentos)");
    }
    for (const auto& pair : line.occurrences("--config")) CPLSetConfigOption(pair[0].c_str(), pair[1].c_str());
    // Under mpirun only rank 0 speaks.
    const bool quiet = line.has("-q") || !processes.first();
    Progress progress(err, err_is_terminal && !quiet);
    start_gdal(quiet, &progress);
    struct Forget {
        const Progress& line;
        ~Forget() { forget_progress_line(&line); }
    } forget{progress};
    Warnings warnings(err, !quiet, &progress);
    CommandContext context{progress, warnings, line.has("--overwrite"), quiet ? nullptr : out, &processes};
    command.run(line, context);
    return 0;
}

}  // namespace

int run_command(const std::vector<std::string>& words, std::FILE* out, std::FILE* err, bool err_is_terminal) {
    Processes alone;
    return run_command(words, out, err, err_is_terminal, alone);
}

int run_command(const std::vector<std::string>& words, std::FILE* out, std::FILE* err, bool err_is_terminal,
                Processes& processes) {
    const char* name = words.empty() ? "lorvantide-raster" : words[0].c_str();
    try {
        if (processes.size() > 1 &&
            (words.empty() || words[0] != "channel" || asks_for(words, {"--help", "-h", "--version"}))) {
            if (processes.first()) fail(err, "bajo mpirun solo la orden channel reparte su trabajo entre los procesos");
            return 1;
        }
        const CommandDef* command = words.empty() ? nullptr : find_command(words[0]);
        if (command != nullptr && asks_for(words, {"--help", "-h"}))
            return print(out, err, std::string(command->help) + kCommonOptionsHelp);
        if (asks_for(words, {"--help", "-h"})) return print(out, err, kUsage);
        if (asks_for(words, {"--version"}))
            return print(out, err,
                         std::string("lorvantide-raster ") + LORVANTIDE_VERSION + " (GDAL " +
                             GDALVersionInfo("RELEASE_NAME") + ")\n");
        if (words.empty()) {
            fail(err, "falta la orden (" + command_names() + "); vea lorvantide-raster --help");
            return 1;
        }
        if (command == nullptr) {
            fail(err, "orden desconocida: " + words[0] + "; vea lorvantide-raster --help");
            return 1;
        }
        return run_named_command(*command, words, out, err, err_is_terminal, processes);
    } catch (const PeerFailure&) {
        return 1;  // told by the process that failed
    } catch (const AfterOutputsError& error) {
        fail(err, {error.what()});
        return 2;
    } catch (const ToolError& error) {
        const std::string process = processes.size() > 1 && !processes.first()
                                        ? "(proceso " + std::to_string(processes.rank()) + " de " +
                                              std::to_string(processes.size()) + ") "
                                        : std::string();
        // GDAL's own failure to find memory shows as a read or write that failed.
        if (gdal_ran_out_of_memory())
            fail(err, {process.c_str(), "no hay memoria suficiente para ", name, ": ", error.what()});
        else
            fail(err, {process.c_str(), error.what()});
    } catch (const std::bad_alloc&) {
        fail(err, {"no hay memoria suficiente para ", name});
    } catch (const std::exception& error) {
        fail(err, {name, " no pudo terminar: ", error.what()});
    }
    return 1;
}

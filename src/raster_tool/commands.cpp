#include "commands.hpp"

#include <gdal.h>

#include <functional>
#include <map>
#include <optional>

#include "arguments.hpp"
#include "export_pair.hpp"
#include "gdal_env.hpp"
#include "import_dem.hpp"
#include "import_mask.hpp"
#include "preview.hpp"
#include "tool_error.hpp"

const char* const kUsage =
    "Uso: lorvantide-raster ORDEN ARGUMENTOS [opciones]\n"
    "\n"
    "Lleva datos SIG (cualquier formato de GDAL) a los pares raster de lorvantide\n"
    "y de vuelta. Los nombres van sin extension, como en el dialogo de lorvantide:\n"
    "DIR/NOMBRE es DIR/NOMBRE_m4.raw + DIR/NOMBRE_m4.txt (par de elevacion) o\n"
    "DIR/NOMBRE.raw + DIR/NOMBRE.txt (par de mascara).\n"
    "\n"
    "Ordenes:\n"
    "  import-dem SRC DIR/NOMBRE [--scale S] [--band B] [--nodata V]\n"
    "      un raster a un par de elevacion (valores por S, redondeados) y su\n"
    "      georreferencia DIR/NOMBRE_m4.vrt\n"
    "  import-mask SRC DIR/NOMBRE --like DIR/MDE [--tone T] [--layer CAPA]\n"
    "              [--where EXPR | --burn] [--all-touched] [--class V] [--band B]\n"
    "      una clase raster o una capa vectorial a una mascara de 8 bits sobre la\n"
    "      rejilla del MDE importado\n"
    "  export DIR/RESULTADO SALIDA --like DIR/MDE [--format GTiff] [--nodata V]\n"
    "      un par de elevacion a un formato de GDAL con la georreferencia del MDE\n"
    "  preview DIR/PAR SALIDA.png [--mask DIR/CAUCE] [--tone T] [--relief DIR/MDE]\n"
    "          [--zfactor Z]\n"
    "      un PNG: sombreado del relieve, el cauce en color y una leyenda\n"
    "\n"
    "Opciones comunes: -q (sin progreso ni avisos), --help, --version.\n"
    "Vea lorvantide-raster(1).\n";

namespace {

using Action = std::function<void(const CommandLine&, Progress&)>;

struct Command {
    std::size_t positional;
    const char* positional_text;
    OptionSet options;
    Action action;
};

std::optional<int32_t> optional_int(const CommandLine& line, const std::string& name) {
    if (const auto text = line.value(name)) return parse_int32(name, *text);
    return std::nullopt;
}

int tone_of(const CommandLine& line) { return optional_int(line, "--tone").value_or(255); }

int band_of(const CommandLine& line) { return optional_int(line, "--band").value_or(1); }

std::string required(const CommandLine& line, const std::string& name, const std::string& command) {
    const auto text = line.value(name);
    if (!text) throw ToolError(command + " necesita la opcion " + name);
    return *text;
}

const std::map<std::string, Command>& commands() {
    static const std::map<std::string, Command> table = {
        {"import-dem",
         {2, "SRC y DIR/NOMBRE",
          {{"--scale", "--band", "--nodata"}, {"-q"}},
          [](const CommandLine& line, Progress& progress) {
              ImportDemOptions options;
              options.source = line.positional[0];
              options.name = line.positional[1];
              if (const auto scale = line.value("--scale")) options.scale = parse_number("--scale", *scale);
              options.band = band_of(line);
              options.nodata = optional_int(line, "--nodata");
              import_dem(options, progress);
          }}},
        {"import-mask",
         {2, "SRC y DIR/NOMBRE",
          {{"--like", "--tone", "--where", "--layer", "--class", "--band"}, {"--burn", "--all-touched", "-q"}},
          [](const CommandLine& line, Progress& progress) {
              if (line.has("--where") && line.has("--burn"))
                  throw ToolError("--where y --burn se excluyen: --burn quema todos los objetos de la capa");
              ImportMaskOptions options;
              options.source = line.positional[0];
              options.name = line.positional[1];
              options.like = required(line, "--like", "import-mask");
              options.tone = tone_of(line);
              options.band = band_of(line);
              if (const auto value = line.value("--class")) options.class_value = parse_number("--class", *value);
              options.layer = line.value("--layer");
              options.where = line.value("--where");
              options.all_touched = line.has("--all-touched");
              import_mask(options, progress);
          }}},
        {"export",
         {2, "DIR/RESULTADO y SALIDA",
          {{"--like", "--format", "--nodata"}, {"-q"}},
          [](const CommandLine& line, Progress& progress) {
              ExportOptions options;
              options.name = line.positional[0];
              options.output = line.positional[1];
              options.like = required(line, "--like", "export");
              if (const auto format = line.value("--format")) options.format = *format;
              options.nodata = optional_int(line, "--nodata");
              export_pair(options, progress);
          }}},
        {"preview",
         {2, "DIR/PAR y SALIDA.png",
          {{"--mask", "--tone", "--relief", "--zfactor"}, {"-q"}},
          [](const CommandLine& line, Progress& progress) {
              if (line.has("--tone") && !line.has("--mask"))
                  throw ToolError("--tone elige los pixeles de la mascara: falta --mask");
              PreviewOptions options;
              options.name = line.positional[0];
              options.output = line.positional[1];
              options.mask = line.value("--mask");
              options.tone = tone_of(line);
              options.relief = line.value("--relief");
              if (const auto z = line.value("--zfactor")) options.z_factor = parse_number("--zfactor", *z);
              preview(options, progress);
          }}},
    };
    return table;
}

bool asks_for(const std::vector<std::string>& words, const char* flag) {
    for (const std::string& word : words)
        if (word == flag) return true;
    return false;
}

void fail(std::FILE* err, const std::string& message) {
    std::fprintf(err, "\n lorvantide-raster: %s \n", message.c_str());
    std::fflush(err);
}

}  // namespace

int run_command(const std::vector<std::string>& words, std::FILE* out, std::FILE* err, bool err_is_terminal) {
    if (asks_for(words, "--help") || asks_for(words, "-h")) {
        std::fputs(kUsage, out);
        return 0;
    }
    if (asks_for(words, "--version")) {
        std::fprintf(out, "lorvantide-raster %s (GDAL %s)\n", LORVANTIDE_VERSION, GDALVersionInfo("RELEASE_NAME"));
        return 0;
    }
    if (words.empty()) {
        fail(err, "falta la orden (import-dem, import-mask, export o preview); vea lorvantide-raster --help");
        return 1;
    }
    const auto found = commands().find(words[0]);
    if (found == commands().end()) {
        fail(err, "orden desconocida: " + words[0] + "; vea lorvantide-raster --help");
        return 1;
    }
    const Command& command = found->second;
    try {
        const CommandLine line =
            parse_arguments(std::vector<std::string>(words.begin() + 1, words.end()), command.options);
        if (line.positional.size() != command.positional)
            throw ToolError(words[0] + " necesita " + command.positional_text + " (se dieron " +
                            std::to_string(line.positional.size()) + " argumentos)");
        const bool quiet = line.has("-q");
        start_gdal(quiet);
        Progress progress(err, err_is_terminal && !quiet);
        command.action(line, progress);
        return 0;
    } catch (const ToolError& error) {
        fail(err, error.what());
        return 1;
    }
}

#include "gis/command_table.hpp"

#include <gdal.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "gis/channel_command.hpp"
#include "gis/dem_warp.hpp"
#include "gis/export_pair.hpp"
#include "gis/import_dem.hpp"
#include "gis/import_mask.hpp"
#include "gis/preview.hpp"
#include "gis/tool_error.hpp"

const char* const kCommonOptionsHelp =
    "\n"
    "Opciones comunes:\n"
    "  --overwrite           reemplaza las salidas que ya existen (sin ella se\n"
    "                        rechazan); se escriben en un temporal y se renombran al\n"
    "                        final, asi que un fallo deja los archivos anteriores;\n"
    "                        -overwrite es lo mismo\n"
    "  -q                    sin progreso ni avisos (--quiet es lo mismo)\n"
    "  --config CLAVE VALOR  una opcion de configuracion de GDAL (repetible), p. ej.\n"
    "                        --config CPL_DEBUG ON para los mensajes de GDAL\n"
    "  --help, -h            esta ayuda\n";

namespace {

const char* const kImportDemHelp =
    "Uso: lorvantide-raster import-dem SRC DIR/NOMBRE [--scale S] [--band B] [--nodata V]\n"
    "                                  [-t_srs SRC] [-tr XRES YRES] [-r METODO]\n"
    "\n"
    "Lee una banda del raster SRC (cualquier formato de GDAL) y escribe el par de\n"
    "elevacion DIR/NOMBRE_m4.raw + DIR/NOMBRE_m4.txt y su georreferencia\n"
    "DIR/NOMBRE_m4.vrt, un raster virtual de GDAL sobre el par.\n"
    "\n"
    "  --scale S       cada valor, en las unidades de la banda (crudo x escala +\n"
    "                  desplazamiento de la banda, si los declara), se multiplica\n"
    "                  por S (positivo, por omision 1) y se redondea al entero mas\n"
    "                  cercano; el .vrt declara la escala 1/S y la unidad\n"
    "  --band B        la banda (necesaria si SRC tiene varias)\n"
    "  --nodata V      valor de los pixeles sin dato, declarado como sin dato en el\n"
    "                  .vrt; se rechaza si algun pixel con dato vale V. Sin el, esos\n"
    "                  pixeles reciben la elevacion mas baja (con un aviso)\n"
    "  -t_srs SRC      reproyecta al SRC dado (p. ej. EPSG:32614) con el\n"
    "                  deformador de GDAL, como gdalwarp\n"
    "  -tr XRES YRES   tamano de pixel de la salida, con el deformador de GDAL\n"
    "  -r METODO       remuestreo del deformador (near por omision, bilinear,\n"
    "                  cubic...)\n"
    "\n"
    "La busqueda en anillos de lorvantide cuenta pixeles: un SRC geografico, pixeles\n"
    "no cuadrados o menores de media unidad dan un aviso.\n";

const char* const kImportMaskHelp =
    "Uso: lorvantide-raster import-mask SRC DIR/NOMBRE --like DIR/MDE [--tone T]\n"
    "                                   [--layer CAPA] [--where EXPR | --burn]\n"
    "                                   [--all-touched] [--class V] [--band B]\n"
    "                                   [--assume-crs SRC]\n"
    "\n"
    "Escribe la mascara de 8 bits DIR/NOMBRE.raw + DIR/NOMBRE.txt sobre la rejilla\n"
    "exacta del MDE importado DIR/MDE: los pixeles del objeto reciben el tono T, los\n"
    "demas 0.\n"
    "\n"
    "  --like DIR/MDE  el par de elevacion importado con import-dem (su _m4.vrt)\n"
    "  --tone T        tono de los pixeles del objeto, de 1 a 255 (por omision 255)\n"
    "Capas vectoriales (lineas o poligonos; se reproyectan al SRC del MDE):\n"
    "  --layer CAPA    la capa, necesaria si hay varias\n"
    "  --where EXPR    filtro de atributos (OGR SQL, p. ej. \"elev = 210\")\n"
    "  --burn          quema todos los objetos de la capa (lo normal)\n"
    "  --all-touched   marca todo pixel que toque un objeto\n"
    "Rasters de clases (se toman pixel a pixel: deben tener la rejilla del MDE):\n"
    "  --class V       los pixeles que valen V (por omision todo pixel valido no nulo)\n"
    "  --band B        la banda (por omision 1)\n"
    "Fuentes sin SRC:\n"
    "  --assume-crs SRC  el SRC en que esta la fuente (p. ej. EPSG:32614); sin el, una\n"
    "                  fuente sin SRC se rechaza si el MDE declara uno\n";

const char* const kExportHelp =
    "Uso: lorvantide-raster export DIR/RESULTADO SALIDA --like DIR/MDE\n"
    "                              [--mask DIR/ZONA [--tone T]] [--nodata V]\n"
    "                              [--unscale] [-of FORMATO] [-co NOMBRE=VALOR]... [-ot TIPO]\n"
    "\n"
    "Escribe el par de elevacion DIR/RESULTADO (el resultado de lorvantide) en SALIDA\n"
    "con la rejilla, el SRC, la escala y la unidad del MDE importado DIR/MDE.\n"
    "\n"
    "  --like DIR/MDE   el par de elevacion importado con import-dem (su _m4.vrt)\n"
    "  --mask DIR/ZONA  la mascara de la zona del cauce que uso la corrida: los pixeles\n"
    "                   que no tienen el tono T quedan sin dato\n"
    "  --tone T         tono de la zona del cauce (por omision 255)\n"
    "  --nodata V       valor sin dato (por omision -9999; necesita --mask); se\n"
    "                   rechaza si un pixel del cauce vale V\n"
    "  --unscale        valores reales en las unidades del MDE (valor x escala +\n"
    "                   desplazamiento) en vez de los enteros del par con la escala de\n"
    "                   la banda\n"
    "  -of FORMATO      formato de GDAL (por omision GTiff; --format es lo mismo); MEM\n"
    "                   y VRT no escriben un archivo propio y se rechazan\n"
    "  -co NOMBRE=VALOR opcion de creacion del formato (repetible), p. ej.\n"
    "                   -co COMPRESS=DEFLATE -co TILED=YES\n"
    "  -ot TIPO         Int32 (por omision), Int16 o UInt16; con --unscale, Float32\n"
    "                   (por omision) o Float64\n"
    "\n"
    "Sin --mask ningun pixel queda sin dato (un 0 es una elevacion), salvo que se\n"
    "exporte el propio MDE, que conserva el valor sin dato de su importacion.\n";

const char* const kPreviewHelp =
    "Uso: lorvantide-raster preview DIR/PAR SALIDA.png [--mask DIR/CAUCE [--tone T]]\n"
    "                               [--relief DIR/MDE] [--zfactor Z] [-of FORMATO]\n"
    "                               [-co NOMBRE=VALOR]...\n"
    "\n"
    "Dibuja una imagen del par de elevacion DIR/PAR: el sombreado del relieve en gris\n"
    "(el de gdaldem hillshade), los pixeles del cauce con el color de su elevacion\n"
    "(gdaldem color-relief: azul, cian, verde, amarillo, rojo) y una leyenda con la\n"
    "elevacion mas baja y la mas alta.\n"
    "\n"
    "  --mask DIR/CAUCE  los pixeles con el tono T se colorean; sin mascara, todos\n"
    "                    los que no valen 0 (el fondo de un resultado)\n"
    "  --tone T          tono de la mascara (por omision 255)\n"
    "  --relief DIR/MDE  el relieve sombreado (por omision el propio par)\n"
    "  --zfactor Z       pasa las unidades de elevacion a las del pixel (0.1 para\n"
    "                    decimetros sobre pixeles en metros; por omision 1)\n"
    "  -of FORMATO       formato de GDAL (por omision PNG; --format es lo mismo)\n"
    "  -co NOMBRE=VALOR  opcion de creacion del formato (repetible)\n";

const char* const kChannelHelp =
    "Uso: lorvantide-raster channel --dem MDE -o SALIDA --banks SRC --zone SRC --contour SRC\n"
    "                               --railing-height H --contour-altitude A|dem\n"
    "                               [--contour-altitude-field CAMPO] [--lakes SRC] [--scale S]\n"
    "                               [--band B] [-t_srs SRC] [-tr XRES YRES] [-r METODO]\n"
    "                               [--conditioned SALIDA_MDE [--burn-only]] [--nodata V] [--unscale]\n"
    "                               [-of FORMATO] [-co NOMBRE=VALOR]... [-ot TIPO]\n"
    "                               [--conditioned-co NOMBRE=VALOR]...\n"
    "\n"
    "Calcula el modelo de elevacion del cauce sin el dialogo de lorvantide, con el mismo\n"
    "calculo: lee el MDE como import-dem, lleva las orillas, la zona del cauce, la curva\n"
    "de nivel limite y los lagos a su rejilla como import-mask, y escribe SALIDA con las\n"
    "elevaciones del cauce (los valores de la ruta import-dem, lorvantide y export con la\n"
    "misma escala); fuera de la zona del cauce, sin dato.\n"
    "\n"
    "  --dem MDE           el modelo de elevacion (cualquier raster de GDAL)\n"
    "  --band B            su banda (necesaria si el MDE tiene varias)\n"
    "  -t_srs SRC          reproyecta el MDE al SRC dado (p. ej. EPSG:32614) con el\n"
    "                      deformador de GDAL, como import-dem y gdalwarp\n"
    "  -tr XRES YRES       tamano de pixel del MDE reproyectado\n"
    "  -r METODO           remuestreo del deformador (near por omision, bilinear...)\n"
    "  -o SALIDA           las elevaciones del cauce\n"
    "  --conditioned SALIDA_MDE  ademas, el MDE con el cauce grabado y preparado para\n"
    "                      que el agua corra: la misma rejilla, tipo, valor sin dato,\n"
    "                      escala y georreferencia; en la zona del cauce, el cauce con el\n"
    "                      rio descendiendo hasta su salida (por debajo del MDE), sin\n"
    "                      depresiones cerradas y unido al MDE en el borde de la zona\n"
    "  --burn-only         en SALIDA_MDE, el cauce grabado tal cual en cada pixel del\n"
    "                      cauce ((elevacion - desplazamiento) / escala, redondeada al\n"
    "                      entero mas cercano si el tipo es entero), sin acondicionar\n"
    "Fuentes (capas vectoriales o rasters de clases sobre la rejilla del MDE):\n"
    "  --banks SRC         las orillas del rio (el barandal)\n"
    "  --zone SRC          la zona del cauce: sus pixeles reciben una elevacion\n"
    "  --contour SRC       la curva de nivel que limita la zona\n"
    "  --lakes SRC         los cuerpos de agua (su perimetro o sus poligonos), si los hay\n"
    "  --banks-layer CAPA, --zone-layer CAPA, --contour-layer CAPA, --lakes-layer CAPA\n"
    "                      la capa de cada fuente vectorial, necesaria si hay varias\n"
    "  --banks-where EXPR, --zone-where EXPR, --contour-where EXPR, --lakes-where EXPR\n"
    "                      filtro de atributos (OGR SQL, p. ej. \"elev = 210\")\n"
    "  --banks-class V, --zone-class V, --contour-class V, --lakes-class V\n"
    "                      en un raster de clases, los pixeles que valen V (por omision\n"
    "                      todo pixel valido no nulo)\n"
    "  --all-touched       en las capas vectoriales, todo pixel que toque un objeto\n"
    "  --assume-crs SRC    el SRC de las fuentes que no declaran ninguno\n"
    "Alturas, en las unidades del MDE:\n"
    "  --railing-height H  altura del barandal sobre el lecho\n"
    "  --contour-altitude A  altitud de la curva de nivel limite\n"
    "  --contour-altitude dem, --contour-altitude-field CAMPO\n"
    "                      varias curvas en una corrida: cada pixel de las curvas toma\n"
    "                      la altitud del MDE, o la de ese campo de la capa de\n"
    "                      --contour (con el campo, una A dada solo se comprueba y sirve\n"
    "                      donde las busquedas no encuentran nada). Una A que no cae\n"
    "                      entre las altitudes del MDE (o del campo) a lo largo de la\n"
    "                      curva da un aviso\n"
    "  --scale S           resolucion entera del calculo: el MDE y las alturas se\n"
    "                      multiplican por S y se redondean como en import-dem (por\n"
    "                      omision 100: centesimas, centimetros para un MDE en metros)\n"
    "Salida:\n"
    "  --nodata V          valor sin dato fuera de la zona (por omision -9999); se\n"
    "                      rechaza si un pixel del cauce vale V\n"
    "  --unscale           valores reales en las unidades del MDE en vez de los enteros\n"
    "                      del calculo con la escala de banda 1/S\n"
    "  -of FORMATO         formato de GDAL de las dos salidas (por omision GTiff;\n"
    "                      --format es lo mismo)\n"
    "  -co NOMBRE=VALOR    opcion de creacion del formato (repetible); tambien para\n"
    "                      SALIDA_MDE si no se da --conditioned-co\n"
    "  --conditioned-co NOMBRE=VALOR  opciones de creacion propias de SALIDA_MDE\n"
    "                      (repetible), p. ej. --conditioned-co PREDICTOR=3 para un\n"
    "                      MDE Float32 (SALIDA es de enteros)\n"
    "  -ot TIPO            tipo de SALIDA: Int32 (por omision), Int16 o UInt16; con\n"
    "                      --unscale, Float32 (por omision) o Float64\n"
    "\n"
    "Calculo por ventanas (rasters mayores que la memoria; el mismo resultado):\n"
    "  --memory BYTES      memoria maxima (sufijos K, M, G; por omision la mitad de la\n"
    "                      fisica): si el calculo entero no cabe, se hace por teselas,\n"
    "                      cada una con el margen que alcanzan sus busquedas\n"
    "  --tile N            teselas de N x N pixeles aunque el calculo entero quepa\n"
    "  --threads N         hilos (si no, LORVANTIDE_THREADS o uno por procesador)\n"
    "\n"
    "Al final da un resumen en la salida estandar: pixeles del cauce, elevaciones\n"
    "extremas en las unidades del MDE y busquedas sin resultado.\n";

// "12", "512K", "3M", "4G" (powers of 1024) to bytes.
uint64_t parse_memory(const std::string& option, const std::string& text) {
    std::string digits = text;
    unsigned shift = 0;
    if (!digits.empty() && std::string("KkMmGg").find(digits.back()) != std::string::npos) {
        shift = digits.back() == 'K' || digits.back() == 'k' ? 10 : digits.back() == 'M' || digits.back() == 'm' ? 20 : 30;
        digits.pop_back();
    }
    bool valid = !digits.empty() && digits.size() <= 18;
    for (const char c : digits) valid = valid && c >= '0' && c <= '9';
    const uint64_t value = valid ? std::stoull(digits) : 0;
    if (!valid || value == 0 || value > (UINT64_MAX >> shift))
        throw ToolError("valor no valido para " + option + " (bytes, con sufijo K, M o G si se quiere): " + text);
    return value << shift;
}

std::optional<int32_t> optional_int(const CommandLine& line, const std::string& name) {
    if (const auto text = line.value(name)) return parse_int32(name, *text);
    return std::nullopt;
}

std::string required(const CommandLine& line, const std::string& name, const std::string& command) {
    const auto text = line.value(name);
    if (!text) throw ToolError(command + " necesita la opcion " + name);
    return *text;
}

int tone_of(const CommandLine& line) {
    if (line.has("--tone") && !line.has("--mask"))
        throw ToolError("--tone elige los pixeles de la mascara: falta --mask");
    return optional_int(line, "--tone").value_or(255);
}

RasterFormat format_of(const CommandLine& line, const std::string& default_driver) {
    RasterFormat format;
    format.driver = line.value("-of").value_or(default_driver);
    for (const auto& words : line.occurrences("-co")) format.creation_options.push_back(words.front());
    return format;
}

GDALDataType type_option(const std::string& text) {
    const GDALDataType type = GDALGetDataTypeByName(text.c_str());
    if (type == GDT_Unknown) throw ToolError("tipo de pixel desconocido para -ot: " + text);
    return type;
}

const OptionDef kFormat{"-of", 1, false, "--format"};
const OptionDef kCreation{"-co", 1, true};

// The options of the commands that write elevations as a GDAL raster
// (export, channel), after their own.
std::vector<OptionDef> with_elevation_output(std::vector<OptionDef> options) {
    options.insert(options.end(), {{"--nodata", 1}, {"--unscale"}, kFormat, kCreation, {"-ot", 1}});
    return options;
}

template <typename Options>
void read_elevation_output(const CommandLine& line, Options& options) {
    if (const auto nodata = line.value("--nodata")) options.nodata = parse_number("--nodata", *nodata);
    options.unscale = line.has("--unscale");
    if (const auto type = line.value("-ot")) options.type = type_option(*type);
    options.format = format_of(line, "GTiff");
}


// A source of channel: SRC and its options --NAME-layer, --NAME-where, --NAME-class.
std::optional<SourceChoice> channel_source(const CommandLine& line, const std::string& name) {
    const std::string option = "--" + name;
    const std::string prefix = option + "-";
    const auto path = line.value(option);
    if (!path) {
        for (const char* part : {"layer", "where", "class"})
            if (line.has(prefix + part)) throw ToolError(prefix + part + " necesita " + option + " SRC");
        return std::nullopt;
    }
    SourceChoice choice;
    choice.path = *path;
    choice.layer = line.value(prefix + "layer");
    choice.where = line.value(prefix + "where");
    if (const auto value = line.value(prefix + "class")) choice.class_value = parse_number(prefix + "class", *value);
    choice.all_touched = line.has("--all-touched");
    choice.assume_crs = line.value("--assume-crs");
    choice.option_prefix = prefix;
    choice.shared_options = true;
    return choice;
}

// The options that warp an elevation model on the way in (import-dem, channel), after their own.
std::vector<OptionDef> with_warp(std::vector<OptionDef> options) {
    options.insert(options.end(), {{"-t_srs", 1}, {"-tr", 2}, {"-r", 1}});
    return options;
}

WarpRequest warp_request(const CommandLine& line) {
    WarpRequest warp;
    warp.target_crs = line.value("-t_srs");
    if (line.has("-tr")) {
        const auto words = line.words("-tr");
        warp.resolution = {parse_positive("-tr", words[0]), parse_positive("-tr", words[1])};
    }
    warp.resampling = line.value("-r");
    return warp;
}

// --contour-altitude A, or an altitude per contour pixel: --contour-altitude dem, or
// --contour-altitude-field NAME (with which a number given as well is only checked, and serves
// the searches that meet nothing).
void read_contour_altitude(const CommandLine& line, ChannelOptions& options) {
    options.contour_altitude_field = line.value("--contour-altitude-field");
    if (const auto altitude = line.value("--contour-altitude")) {
        if (*altitude == "dem")
            options.contour_altitude_from_dem = true;
        else
            options.contour_altitude = parse_number("--contour-altitude", *altitude);
    }
    if (options.contour_altitude_field && options.contour_altitude_from_dem)
        throw ToolError("--contour-altitude dem y --contour-altitude-field se excluyen: elija de donde sale la altitud");
    if (!options.contour_altitude && !options.contour_altitude_field && !options.contour_altitude_from_dem)
        throw ToolError("channel necesita la opcion --contour-altitude (A, o dem) o --contour-altitude-field");
}

std::vector<OptionDef> channel_options() {
    std::vector<OptionDef> options = with_warp({{"--dem", 1},
                                                {"--band", 1},
                                                {"-o", 1},
                                                {"--conditioned", 1},
                                                {"--burn-only"},
                                                {"--conditioned-co", 1, true}});
    for (const char* name : {"--banks", "--zone", "--contour", "--lakes"})
        for (const char* part : {"", "-layer", "-where", "-class"}) options.push_back({std::string(name) + part, 1});
    options.insert(options.end(), {{"--railing-height", 1},
                                   {"--contour-altitude", 1},
                                   {"--contour-altitude-field", 1},
                                   {"--scale", 1},
                                   {"--all-touched"},
                                   {"--assume-crs", 1},
                                   {"--memory", 1},
                                   {"--tile", 1},
                                   {"--threads", 1}});
    return with_elevation_output(std::move(options));
}

}  // namespace

const std::vector<OptionDef>& common_options() {
    // GDAL's utilities spell them -overwrite and --quiet as well.
    static const std::vector<OptionDef> options = {
        {"-q", 0, false, "--quiet"}, {"--overwrite", 0, false, "-overwrite"}, {"--config", 2, true}};
    return options;
}

const std::vector<CommandDef>& command_table() {
    static const std::vector<CommandDef> table = {
        {"import-dem",
         {"SRC", "DIR/NOMBRE"},
         with_warp({{"--scale", 1}, {"--band", 1}, {"--nodata", 1}}),
         kImportDemHelp,
         [](const CommandLine& line, CommandContext& context) {
             ImportDemOptions options;
             options.source = line.positional[0];
             options.name = line.positional[1];
             if (const auto scale = line.value("--scale")) options.scale = parse_positive("--scale", *scale);
             options.band = optional_int(line, "--band");
             options.nodata = optional_int(line, "--nodata");
             options.warp = warp_request(line);
             import_dem(options, context);
         }},
        {"import-mask",
         {"SRC", "DIR/NOMBRE"},
         {{"--like", 1},
          {"--tone", 1},
          {"--where", 1},
          {"--layer", 1},
          {"--class", 1},
          {"--band", 1},
          {"--assume-crs", 1},
          {"--burn"},
          {"--all-touched"}},
         kImportMaskHelp,
         [](const CommandLine& line, CommandContext& context) {
             if (line.has("--where") && line.has("--burn"))
                 throw ToolError("--where y --burn se excluyen: --burn quema todos los objetos de la capa");
             ImportMaskOptions options;
             options.source.path = line.positional[0];
             options.name = line.positional[1];
             options.like = required(line, "--like", "import-mask");
             options.tone = optional_int(line, "--tone").value_or(255);
             options.source.band = optional_int(line, "--band").value_or(1);
             if (const auto value = line.value("--class"))
                 options.source.class_value = parse_number("--class", *value);
             options.source.layer = line.value("--layer");
             options.source.where = line.value("--where");
             options.source.all_touched = line.has("--all-touched");
             options.source.assume_crs = line.value("--assume-crs");
             import_mask(options, context);
         }},
        {"export",
         {"DIR/RESULTADO", "SALIDA"},
         with_elevation_output({{"--like", 1}, {"--mask", 1}, {"--tone", 1}}),
         kExportHelp,
         [](const CommandLine& line, CommandContext& context) {
             ExportOptions options;
             options.tone = tone_of(line);
             options.name = line.positional[0];
             options.output = line.positional[1];
             options.like = required(line, "--like", "export");
             options.mask = line.value("--mask");
             read_elevation_output(line, options);
             export_pair(options, context);
         }},
        {"preview",
         {"DIR/PAR", "SALIDA.png"},
         {{"--mask", 1}, {"--tone", 1}, {"--relief", 1}, {"--zfactor", 1}, kFormat, kCreation},
         kPreviewHelp,
         [](const CommandLine& line, CommandContext& context) {
             PreviewOptions options;
             options.tone = tone_of(line);
             options.name = line.positional[0];
             options.output = line.positional[1];
             options.mask = line.value("--mask");
             options.relief = line.value("--relief");
             if (const auto z = line.value("--zfactor")) options.z_factor = parse_positive("--zfactor", *z);
             options.format = format_of(line, "PNG");
             preview(options, context);
         }},
        {"channel",
         {},
         channel_options(),
         kChannelHelp,
         [](const CommandLine& line, CommandContext& context) {
             ChannelOptions options;
             options.dem = required(line, "--dem", "channel");
             options.band = optional_int(line, "--band");
             options.warp = warp_request(line);
             options.output = required(line, "-o", "channel");
             options.conditioned = line.value("--conditioned");
             if (line.has("--conditioned-co")) {
                 if (!options.conditioned) throw ToolError("--conditioned-co necesita --conditioned SALIDA_MDE");
                 options.conditioned_creation_options.emplace();
                 for (const auto& words : line.occurrences("--conditioned-co"))
                     options.conditioned_creation_options->push_back(words.front());
             }
             const auto needed = [&line](const std::string& name) {
                 const auto source = channel_source(line, name);
                 if (!source) throw ToolError("channel necesita la opcion --" + name);
                 return *source;
             };
             options.banks = needed("banks");
             options.banks.polygon_outlines = true;
             options.zone = needed("zone");
             options.contour = needed("contour");
             options.lakes = channel_source(line, "lakes");
             options.railing_height = parse_number("--railing-height", required(line, "--railing-height", "channel"));
             read_contour_altitude(line, options);
             options.burn_only = line.has("--burn-only");
             if (options.burn_only && !options.conditioned)
                 throw ToolError("--burn-only elige como se escribe --conditioned: falta --conditioned SALIDA_MDE");
             if (const auto scale = line.value("--scale")) options.scale = parse_positive("--scale", *scale);
             read_elevation_output(line, options);
             if (const auto memory = line.value("--memory")) options.memory = parse_memory("--memory", *memory);
             for (auto [name, into] : {std::pair{"--tile", &options.tile}, std::pair{"--threads", &options.threads}})
                 if (const auto text = line.value(name)) {
                     *into = parse_int32(name, *text);
                     if (**into < 1) throw ToolError(std::string("valor no valido para ") + name +
                                                     " (se espera un entero positivo): " + *text);
                 }
             channel_command(options, context);
         }},
    };
    return table;
}

#include "gis/channel_command.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <vector>

#include "parallel/band_threads.hpp"
#include "compute/channel.hpp"
#include "gis/conditioned_dem.hpp"
#include "gis/dem_source.hpp"
#include "gis/elevation_band.hpp"
#include "gis/grid_checks.hpp"
#include "gis/memory_budget.hpp"
#include "gis/output_files.hpp"
#include "files/rounding.hpp"
#include "gis/tool_error.hpp"

namespace {

// Every mask is burned with this tone, and the computation is told it.
constexpr uint8_t kTone = 255;

// A height in the model's units as the computation's integers: times the
// scale, rounded as import-dem rounds the model (halves away from zero).
int32_t scaled_height(const std::string& option, double value, double scale, Warnings& warnings) {
    const double product = value * scale;
    const double rounded = std::round(product);
    if (!(rounded >= static_cast<double>(std::numeric_limits<int32_t>::min()) &&
          rounded <= static_cast<double>(std::numeric_limits<int32_t>::max())))
        throw ToolError(option + " " + elevation_text(value) + " no cabe en 32 bits una vez multiplicado por --scale " +
                        elevation_text(scale));
    if (std::fabs(product - rounded) > 1e-9 * std::max(1.0, std::fabs(rounded)))
        warnings.add(option + " " + elevation_text(value) + " se toma como " + elevation_text(rounded / scale) +
                     ", la resolucion del calculo (--scale " + elevation_text(scale) + ")");
    return static_cast<int32_t>(rounded);
}

// One input mask: its source, the option that names it, and its pixels.
struct MaskInput {
    std::string option;  // "--banks"
    std::unique_ptr<GridSource> source;
    std::vector<uint8_t> pixels;
};

// Row pointers into a raster held line by line, for the computation's views.
template <typename T>
std::vector<const T*> rows_of(const std::vector<T>& pixels, int32_t lines, int32_t columns) {
    std::vector<const T*> rows(static_cast<std::size_t>(lines));
    for (int32_t i = 0; i < lines; ++i)
        rows[static_cast<std::size_t>(i)] = pixels.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(columns);
    return rows;
}

// The computation's progress as a share of one step of the command's line.
class ShareProgress final : public ChannelProgress {
public:
    explicit ShareProgress(ProgressSpan& span) : span_(span) {}
    void share_done(double share) override { span_.progress.update(share, span_.from, span_.to); }

private:
    ProgressSpan& span_;
};

std::string in_units(int32_t value, double scale, const std::string& unit) {
    return elevation_text(static_cast<double>(value) * (1.0 / scale)) + (unit.empty() ? "" : " " + unit);
}

}  // namespace

void channel_command(const ChannelOptions& options, CommandContext& context) {
    if (!(options.scale > 0.0) || !std::isfinite(options.scale))
        throw ToolError("--scale debe ser un numero positivo");
    const int32_t railing_height = scaled_height("--railing-height", options.railing_height, options.scale, context.warnings);
    const int32_t contour_altitude =
        scaled_height("--contour-altitude", options.contour_altitude, options.scale, context.warnings);
    const GDALDataType type = elevation_type(options.type, options.unscale, "channel");
    check_output_format(options.format, type);

    const DemSource dem(options.dem, 1, WarpRequest{});
    const Georef& grid = dem.grid();
    if (options.conditioned) {
        check_conditioned_type(dem);
        check_output_format(options.format, dem.data_type());
    }
    for (const std::string& warning : pixel_warnings(grid, options.dem, false)) context.warnings.add(warning);

    std::vector<MaskInput> masks;
    masks.push_back({"--banks", std::make_unique<GridSource>(options.banks), {}});
    masks.push_back({"--zone", std::make_unique<GridSource>(options.zone), {}});
    masks.push_back({"--contour", std::make_unique<GridSource>(options.contour), {}});
    if (options.lakes) masks.push_back({"--lakes", std::make_unique<GridSource>(*options.lakes), {}});

    OutputSet outputs(context.overwrite);
    outputs.protect(dem.files());
    for (const MaskInput& mask : masks) outputs.protect(mask.source->files());
    const OutputFile channel_file = outputs.add_dataset(options.output);
    std::optional<OutputFile> conditioned_file;
    if (options.conditioned) conditioned_file = outputs.add_dataset(*options.conditioned);

    const ChannelWindow window = ChannelWindow::whole(grid.lines, grid.columns);
    // The model as integers and its validity, four masks, the rounded
    // elevations, the band's values and the band in memory; the
    // computation's own work grids; the conditioned copy of the model.
    uint64_t bytes = raster_bytes(grid.lines, grid.columns, 5 + 4 + 4 + 8 + 8);
    bytes += channel_memory_bytes(window);
    if (options.conditioned) bytes += raster_bytes(grid.lines, grid.columns, conditioned_bytes_per_pixel(dem));
    require_memory(bytes, "calcular el cauce de " + options.dem);

    context.progress.update(0.0);
    ProgressSpan reading{context.progress, 0.0, 0.1};
    ScaledDem model = dem.read(options.scale, reading);
    // Pixels without data hold the lowest elevation, as import-dem fills them.
    model.fill_holes(model.lowest);

    const double mask_share = 0.1 / static_cast<double>(masks.size());
    for (std::size_t m = 0; m < masks.size(); ++m) {
        MaskInput& mask = masks[m];
        ProgressSpan span{context.progress, 0.1 + mask_share * static_cast<double>(m),
                          0.1 + mask_share * static_cast<double>(m + 1)};
        mask.pixels = mask.source->burn(grid, options.dem, kTone, span, context.warnings);
        // An empty mask is nearly always a wrong layer, filter or class.
        if (std::none_of(mask.pixels.begin(), mask.pixels.end(), [](uint8_t v) { return v != 0; }))
            throw ToolError(mask.option + ": ningun pixel de la rejilla de " + options.dem + " queda marcado: revise " +
                            mask.source->unmarked_hint());
    }
    const std::vector<uint8_t>& banks = masks[0].pixels;
    const std::vector<uint8_t>& zone = masks[1].pixels;
    const std::vector<uint8_t>& contour = masks[2].pixels;
    const std::vector<uint8_t>* lakes = options.lakes ? &masks[3].pixels : nullptr;

    // The lower boundary's elevations are read from the model: holes there are worth a notice.
    std::size_t boundary_holes = 0;
    for (std::size_t k = 0; k < model.valid.size(); ++k)
        if (model.valid[k] == 0 && (banks[k] != 0 || (lakes != nullptr && (*lakes)[k] != 0))) ++boundary_holes;
    if (boundary_holes > 0)
        context.warnings.add(std::to_string(boundary_holes) + " pixeles de las orillas" +
                             (lakes != nullptr ? " o de los lagos" : "") + " caen en pixeles sin dato de " +
                             options.dem + ": toman la elevacion mas baja del MDE (" +
                             in_units(model.lowest, options.scale, dem.units().unit) + ")");

    const int32_t lines = grid.lines;
    const int32_t columns = grid.columns;
    const auto model_rows = rows_of(model.values, lines, columns);
    const auto bank_rows = rows_of(banks, lines, columns);
    const auto zone_rows = rows_of(zone, lines, columns);
    const auto contour_rows = rows_of(contour, lines, columns);
    std::vector<const uint8_t*> lake_rows;
    if (lakes != nullptr) lake_rows = rows_of(*lakes, lines, columns);
    const ChannelInputs inputs{{model_rows.data(), lines, columns},
                               {bank_rows.data(), lines, columns},
                               {zone_rows.data(), lines, columns},
                               {contour_rows.data(), lines, columns},
                               lakes != nullptr ? GridView<const unsigned char>(lake_rows.data(), lines, columns)
                                                : GridView<const unsigned char>()};
    ChannelParameters parameters;
    parameters.zone_tone = kTone;
    parameters.railing_tone = kTone;
    parameters.contour_tone = kTone;
    parameters.perimeter_tone = kTone;
    parameters.railing_height = railing_height;
    parameters.contour_altitude = contour_altitude;
    parameters.water_bodies = lakes != nullptr;

    Elevations elevations = channel_elevations(inputs, kTone, window);
    ProgressSpan computing{context.progress, 0.2, 0.8};
    ShareProgress share(computing);
    const ChannelReport report =
        compute_channel(inputs, parameters, window, elevations, share, threads_from_environment());
    if (!report.computed) throw ToolError("no hay memoria suficiente para calcular el cauce");

    // Each elevation rounded as the console program writes it; 0 outside the channel.
    std::vector<int32_t> rounded(model.values.size(), 0);
    model = ScaledDem{};  // its memory goes to the outputs
    int64_t pixels = 0;
    int32_t low = std::numeric_limits<int32_t>::max();
    int32_t high = std::numeric_limits<int32_t>::min();
    for (int32_t i = 0; i < lines; ++i) {
        const std::size_t start = static_cast<std::size_t>(i) * static_cast<std::size_t>(columns);
        for (int32_t j = 0; j < columns; ++j) {
            if (zone[start + static_cast<std::size_t>(j)] != kTone) continue;
            const int32_t value = round_elevation(elevations.at(i, j));
            rounded[start + static_cast<std::size_t>(j)] = value;
            ++pixels;
            low = std::min(low, value);
            high = std::max(high, value);
        }
    }
    elevations = Elevations{};

    auto in_channel = [&zone](std::size_t k) { return zone[k] == kTone; };
    const double unit_per_integer = 1.0 / options.scale;
    std::vector<double> values = elevation_values(rounded, columns, options.unscale ? unit_per_integer : 1.0, 0.0,
                                                  type, in_channel);
    BandUnits band;
    band.unit = dem.units().unit;
    if (!options.unscale) band.scale = unit_per_integer;
    band.nodata = set_nodata_outside(values, columns, options.nodata.value_or(kDefaultNodata), type, in_channel,
                                     "--nodata");
    {
        Dataset memory = band_in_memory(grid, type, values.data(), GDT_Float64, band);
        values = std::vector<double>{};
        ProgressSpan writing{context.progress, 0.8, options.conditioned ? 0.9 : 1.0};
        write_raster(static_cast<GDALDatasetH>(memory.get()), channel_file, options.format, writing,
                     context.warnings, &band);
    }
    if (conditioned_file) {
        ProgressSpan writing{context.progress, 0.9, 1.0};
        write_conditioned_dem(
            dem, in_channel,
            [&](std::size_t k) { return static_cast<double>(rounded[k]) * unit_per_integer; }, *conditioned_file,
            options.format, writing, context.warnings);
    }
    outputs.commit(context.warnings);
    context.progress.update(1.0);

    if (context.summary == nullptr) return;
    std::string text = "Cauce: " + std::to_string(pixels) + " pixeles, elevacion de " +
                       in_units(low, options.scale, dem.units().unit) + " a " + in_units(high, options.scale, dem.units().unit) +
                       "\n";
    text += "Busquedas sin resultado a menos de " + std::to_string(kLargestRing) +
            " pixeles: " + std::to_string(report.contour_misses) + " de la curva de nivel, " +
            std::to_string(report.boundary_misses) + " del limite inferior\n";
    text += "Escrito " + options.output + (options.conditioned ? " y " + *options.conditioned : "") + "\n";
    std::fputs(text.c_str(), context.summary);
    if (std::fflush(context.summary) != 0 || std::ferror(context.summary))
        throw ToolError("no se puede escribir el resumen en la salida estandar (las salidas ya estan escritas)");
}

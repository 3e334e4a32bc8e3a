#include "gis/channel_sources.hpp"

#include <algorithm>

#include "gis/conditioned_dem.hpp"
#include "gis/elevation_band.hpp"
#include "gis/grid_checks.hpp"
#include "gis/tool_error.hpp"
#include "hydrology/fill_along.hpp"

ChannelSources::ChannelSources(const ChannelOptions& options, Warnings& warnings)
    : dem_name_(options.dem),
      contour_altitude_(options.contour_altitude),
      contour_altitude_field_(options.contour_altitude_field),
      contour_altitude_from_dem_(options.contour_altitude_from_dem),
      dem_(options.dem, options.band, options.warp) {
    if (options.conditioned) {
        check_conditioned_type(dem_);
        check_conditioned_warp(dem_, options.warp);
        check_output_format(options.conditioned_format(), dem_.data_type());
    }
    for (const std::string& warning : pixel_warnings(dem_.grid(), options.dem, false)) warnings.add(warning);
    masks_.push_back({"--banks", GridSource(options.banks)});
    masks_.push_back({"--zone", GridSource(options.zone)});
    masks_.push_back({"--contour", GridSource(options.contour)});
    if (options.lakes) masks_.push_back({"--lakes", GridSource(*options.lakes)});
}

std::vector<std::string> ChannelSources::files() const {
    std::vector<std::string> files = dem_.files();
    for (const Mask& mask : masks_) {
        const std::vector<std::string> own = mask.source.files();
        files.insert(files.end(), own.begin(), own.end());
    }
    return files;
}

ChannelGrids ChannelSources::read(double scale, ProgressSpan& progress, Warnings& warnings) const {
    const Georef& grid = dem_.grid();
    // Half of the step to the model, half to the masks.
    const double middle = progress.from + (progress.to - progress.from) / 2.0;
    ProgressSpan reading{progress.progress, progress.from, middle};
    ScaledDem model = dem_.read(scale, reading);
    model.grid.fill_holes(model.lowest);

    std::vector<GeoGrid<uint8_t>> burned;
    const double mask_share = (progress.to - middle) / static_cast<double>(masks_.size());
    for (std::size_t m = 0; m < masks_.size(); ++m) {
        const Mask& mask = masks_[m];
        ProgressSpan span{progress.progress, middle + mask_share * static_cast<double>(m),
                          middle + mask_share * static_cast<double>(m + 1)};
        burned.push_back(mask.source.burn(grid, dem_name_, kBurnTone, span, warnings));
        // An empty mask is nearly always a wrong layer, filter or class.
        const std::vector<uint8_t>& pixels = burned.back().values;
        if (std::none_of(pixels.begin(), pixels.end(), [](uint8_t v) { return v != 0; }))
            throw ToolError(mask.option + ": ningun pixel de la rejilla de " + dem_name_ + " queda marcado: revise " +
                            mask.source.unmarked_hint());
    }
    ChannelGrids grids{std::move(model.grid), model.lowest, std::move(burned[0]), std::move(burned[1]),
                       std::move(burned[2]), std::nullopt, std::nullopt, 0};
    if (burned.size() > 3) grids.lakes = std::move(burned[3]);

    // The lower boundary's elevations are read from the model: holes there
    // take their line's nearest elevation, and are worth a notice.
    std::vector<uint8_t> boundary(grids.model.values.size(), 0);
    for (std::size_t k = 0; k < boundary.size(); ++k)
        boundary[k] = grids.banks.values[k] != 0 || (grids.lakes && grids.lakes->values[k] != 0);
    const Georef& georef = grids.model.georef;
    const FillAlong along =
        fill_along_lines(georef.lines, georef.columns, grids.model.values, grids.model.has_data, boundary);
    if (along.filled + along.stranded > 0)
        warnings.add(boundary_holes_warning(along.filled, along.stranded, grids.lakes.has_value(), grids.lowest, scale,
                                            dem_.units().unit, dem_name_));
    read_contour_altitudes(grids, scale, progress, warnings);
    return grids;
}

namespace {

// The lowest, highest and median of `values` (not empty), as text at `scale`.
std::string spread_text(std::vector<int32_t> values, double scale, const std::string& unit) {
    std::sort(values.begin(), values.end());
    if (values.front() == values.back()) return scaled_text(values.front(), scale, unit);
    return "de " + scaled_text(values.front(), scale, unit) + " a " + scaled_text(values.back(), scale, unit) +
           ", mediana " + scaled_text(values[values.size() / 2], scale, unit);
}

}  // namespace

void ChannelSources::read_contour_altitudes(ChannelGrids& grids, double scale, ProgressSpan& progress,
                                            Warnings& warnings) const {
    const std::string& unit = dem_.units().unit;
    const GeoGrid<uint8_t>& contour = grids.contour;
    const std::size_t size = contour.values.size();
    std::optional<int32_t> given;
    if (contour_altitude_) given = scaled_elevation(*contour_altitude_, scale, 0, 0);
    const bool per_pixel = contour_altitude_field_ || contour_altitude_from_dem_;

    // The model along the line: what a single altitude is checked against,
    // and the altitudes of --contour-altitude dem.
    std::vector<int32_t> along_model;
    for (std::size_t k = 0; k < size; ++k)
        if (contour.values[k] != 0 && grids.model.holds_data(k)) along_model.push_back(grids.model.values[k]);
    if (!per_pixel) {
        warn_contour_altitude(contour_altitude_, scale, std::move(along_model), unit, warnings);
        return;
    }

    GeoGrid<int32_t> altitudes{grids.model.georef, std::vector<int32_t>(size, 0), std::vector<uint8_t>(size, 0)};
    std::string source = "el MDE";
    if (contour_altitude_from_dem_) {
        for (std::size_t k = 0; k < size; ++k)
            if (contour.values[k] != 0 && grids.model.holds_data(k)) {
                altitudes.values[k] = grids.model.values[k];
                altitudes.has_data[k] = 1;
            }
    } else {
        source = "el campo " + *contour_altitude_field_;
        const GridSource& line = masks_[2].source;
        const GeoGrid<double> field = line.burn_field(grids.model.georef, dem_name_, *contour_altitude_field_,
                                                      progress, warnings);
        for (std::size_t k = 0; k < size; ++k)
            if (contour.values[k] != 0 && field.holds_data(k)) {
                const auto width = static_cast<std::size_t>(grids.model.georef.columns);
                altitudes.values[k] = scaled_elevation(field.values[k], scale, static_cast<int32_t>(k / width),
                                                       static_cast<int32_t>(k % width));
                altitudes.has_data[k] = 1;
            }
    }
    std::vector<int32_t> held;
    for (std::size_t k = 0; k < size; ++k)
        if (altitudes.has_data[k] != 0) held.push_back(altitudes.values[k]);
    if (held.empty())
        throw ToolError("--contour: ningun pixel de la curva de nivel tiene altitud en " + source);
    const int32_t lowest = *std::min_element(held.begin(), held.end());
    if (given && (*given < lowest || *given > *std::max_element(held.begin(), held.end())))
        warnings.add("--contour-altitude " + scaled_text(*given, scale, unit) + " no coincide con " + source +
                     " a lo largo de la curva de nivel (" + spread_text(held, scale, unit) + ")");
    // Contour pixels without an altitude take their line's nearest, or the
    // given altitude (the lowest without one) where their piece has none.
    for (std::size_t k = 0; k < size; ++k)
        if (contour.values[k] != 0 && altitudes.has_data[k] == 0) altitudes.values[k] = given.value_or(lowest);
    const FillAlong along = fill_along_lines(grids.model.georef.lines, grids.model.georef.columns, altitudes.values,
                                             altitudes.has_data, contour.values);
    if (along.filled + along.stranded > 0)
        warnings.add(std::to_string(along.filled + along.stranded) + " pixeles de la curva de nivel no tienen altitud en " +
                     source + ": toman la del pixel con altitud mas cercano a lo largo de la curva" +
                     (along.stranded > 0 ? " (" + std::to_string(along.stranded) + ", sin ninguno en su tramo, " +
                                               scaled_text(given.value_or(lowest), scale, unit) + ")"
                                         : std::string()));
    grids.lowest_contour_altitude = lowest;
    grids.contour_altitudes = std::move(altitudes);
}

std::string boundary_holes_warning(std::size_t filled, std::size_t stranded, bool lakes, int32_t lowest_elevation,
                                   double scale, const std::string& unit, const std::string& dem_name) {
    const std::string lowest = "la elevacion mas baja del MDE (" + scaled_text(lowest_elevation, scale, unit) + ")";
    const std::string nearest = "la elevacion del pixel con dato mas cercano a lo largo de la orilla" +
                                std::string(lakes ? " o del lago" : "");
    return std::to_string(filled + stranded) + " pixeles de las orillas" + (lakes ? " o de los lagos" : "") +
           " caen en pixeles sin dato de " + dem_name + ": toman " +
           (stranded == 0  ? nearest
            : filled == 0  ? lowest
                           : std::to_string(filled) + " " + nearest + " y " + std::to_string(stranded) +
                                ", sin ninguno en su tramo, " + lowest);
}

void warn_contour_altitude(std::optional<double> altitude, double scale, std::vector<int32_t> along_model,
                           const std::string& unit, Warnings& warnings) {
    if (!altitude || along_model.empty()) return;
    const int32_t given = scaled_elevation(*altitude, scale, 0, 0);
    const auto [low, high] = std::minmax_element(along_model.begin(), along_model.end());
    if (given < *low || given > *high)
        warnings.add("--contour-altitude " + scaled_text(given, scale, unit) +
                     " no coincide con el MDE a lo largo de la curva de nivel (" +
                     spread_text(std::move(along_model), scale, unit) + ")");
}

#include "gis/channel_sources.hpp"

#include <algorithm>

#include "gis/conditioned_dem.hpp"
#include "gis/elevation_band.hpp"
#include "gis/grid_checks.hpp"
#include "gis/tool_error.hpp"

ChannelSources::ChannelSources(const ChannelOptions& options, Warnings& warnings)
    : dem_name_(options.dem), dem_(options.dem, options.band, options.warp) {
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
                       std::move(burned[2]), std::nullopt};
    if (burned.size() > 3) grids.lakes = std::move(burned[3]);

    // The lower boundary's elevations are read from the model: holes there are worth a notice.
    std::size_t boundary_holes = 0;
    for (std::size_t k = 0; k < grids.model.values.size(); ++k)
        if (!grids.model.holds_data(k) &&
            (grids.banks.values[k] != 0 || (grids.lakes && grids.lakes->values[k] != 0)))
            ++boundary_holes;
    if (boundary_holes > 0)
        warnings.add(std::to_string(boundary_holes) + " pixeles de las orillas" +
                     (grids.lakes ? " o de los lagos" : "") + " caen en pixeles sin dato de " + dem_name_ +
                     ": toman la elevacion mas baja del MDE (" + scaled_text(grids.lowest, scale, dem_.units().unit) +
                     ")");
    return grids;
}

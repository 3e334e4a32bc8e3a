// hydrology_check: the figures a conditioned DEM is judged by
// (hydrology/drainage_measures.hpp), for each model given, against the
// terrain it was made from and the river, zone and lakes it was made with:
//
//   hydrology_check --dem DEM --banks SRC --zone SRC [--lakes SRC]
//                   [--banks-layer L] [--zone-layer L] [--lakes-layer L] [--lakes-where EXPR]
//                   MODEL...
//
// Sources are burned onto the DEM's grid as lorvantide-raster channel burns
// them. One line per model: the river pixels whose steepest descent (D8) stays
// on the river, the rises along the river, the closed depressions and flats of
// the zone, the largest step at the zone's edge against the DEM's own there,
// and the edge pixels further from the DEM than their own largest step.
#include <gdal.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gis/gdal_env.hpp"
#include "gis/grid_source.hpp"
#include "gis/georef.hpp"
#include "gis/tool_error.hpp"
#include "gis/warnings.hpp"
#include "hydrology/drainage_measures.hpp"

namespace {

struct Model {
    Raster<double> values;
    Raster<uint8_t> valid;
    Georef grid;
};

// Band 1 in its units (raw x scale + offset), and which pixels have data.
Model read_model(const std::string& path) {
    Dataset dataset = open_source(path, GDAL_OF_RASTER);
    auto* handle = static_cast<GDALDatasetH>(dataset.get());
    Model model;
    model.grid = georef_of(handle);
    const int32_t lines = model.grid.lines, columns = model.grid.columns;
    model.values = Raster<double>(lines, columns);
    model.valid = Raster<uint8_t>(lines, columns);
    GDALRasterBandH band = GDALGetRasterBand(handle, 1);
    const BandUnits units = band_units(band);
    std::vector<double> line(static_cast<std::size_t>(columns));
    std::vector<uint8_t> valid(static_cast<std::size_t>(columns));
    for (int32_t i = 0; i < lines; ++i) {
        read_band_line(band, i, line, valid, path);
        for (int32_t j = 0; j < columns; ++j) {
            const std::size_t k = model.values.index(i, j);
            model.values[k] = line[static_cast<std::size_t>(j)] * units.scale + units.offset;
            model.valid[k] = valid[static_cast<std::size_t>(j)] != 0;
        }
    }
    return model;
}

Raster<uint8_t> burned(const SourceChoice& choice, const Model& dem, const std::string& dem_name) {
    Progress quiet(stderr, false);
    ProgressSpan span{quiet, 0.0, 1.0};
    Warnings warnings(stderr, false);
    GeoGrid<uint8_t> mask = GridSource(choice).burn(dem.grid, dem_name, 1, span, warnings);
    Raster<uint8_t> raster(dem.grid.lines, dem.grid.columns);
    raster.values = std::move(mask.values);
    return raster;
}

std::string figure(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    std::map<std::string, std::string> options;
    std::vector<std::string> models;
    for (int a = 1; a < argc; ++a) {
        const std::string word = argv[a];
        if (word.rfind("--", 0) == 0 && a + 1 < argc)
            options[word] = argv[++a];
        else
            models.push_back(word);
    }
    if (!options.count("--dem") || !options.count("--banks") || !options.count("--zone") || models.empty()) {
        std::fprintf(stderr, "usage: hydrology_check --dem DEM --banks SRC --zone SRC [--lakes SRC] "
                             "[--banks-layer L] [--zone-layer L] [--lakes-layer L] [--lakes-where EXPR] MODEL...\n");
        return 2;
    }
    GDALAllRegister();
    try {
        const Model dem = read_model(options["--dem"]);
        auto source = [&](const std::string& name) {
            SourceChoice choice;
            choice.path = options["--" + name];
            if (options.count("--" + name + "-layer")) choice.layer = options["--" + name + "-layer"];
            if (options.count("--" + name + "-where")) choice.where = options["--" + name + "-where"];
            choice.option_prefix = "--" + name + "-";
            return burned(choice, dem, options["--dem"]);
        };
        const Raster<uint8_t> banks = source("banks");
        const Raster<uint8_t> zone = source("zone");
        const Raster<uint8_t> lakes = options.count("--lakes") ? source("lakes") : Raster<uint8_t>();
        std::printf("%-28s %14s %7s %12s %6s %22s %16s\n", "model", "river on D8", "rises", "depressions", "flats",
                    "edge step (DEM's own)", "edge off relief");
        for (const std::string& path : models) {
            const Model model = read_model(path);
            if (model.grid.lines != dem.grid.lines || model.grid.columns != dem.grid.columns)
                throw ToolError(path + " is not on the grid of " + options["--dem"]);
            const DrainageMeasures m =
                measure_drainage(model.values, model.valid, dem.values, dem.valid, zone, banks, lakes);
            const double share = m.river_pixels > 0 ? 100.0 * static_cast<double>(m.along_river) /
                                                          static_cast<double>(m.river_pixels)
                                                    : 0.0;
            const std::string name = path.substr(path.find_last_of('/') + 1);
            std::printf("%-28s %6s%% of %-5lld %7lld %12lld %6lld %10s (%9s) %6lld of %lld\n", name.c_str(),
                        figure(share).c_str(), static_cast<long long>(m.river_pixels),
                        static_cast<long long>(m.rises), static_cast<long long>(m.depressions),
                        static_cast<long long>(m.flats), figure(m.edge_step).c_str(),
                        figure(m.terrain_edge_step).c_str(), static_cast<long long>(m.edge_beyond_relief),
                        static_cast<long long>(m.edge_pixels));
        }
    } catch (const ToolError& error) {
        std::fprintf(stderr, "hydrology_check: %s\n", error.what());
        return 1;
    }
    return 0;
}

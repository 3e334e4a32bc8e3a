// A source of a mask (a raster of classes, or a layer of vector features)
// read onto exactly the grid of an imported elevation model: each pixel of
// the grid that the feature covers gets the tone, every other pixel 0.
//
// A raster is taken pixel for pixel, so its grid must be the model's
// (resampling would move the banks); a grid that differs is refused with
// what differs. Vector features are burned with GDAL's rasterizer, reprojected
// when their CRS is not the grid's. A source that states no CRS is refused
// while the grid states one, unless the user says which CRS it is in
// (assume_crs); a source or grid without a CRS is warned about otherwise.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gis/gdal_env.hpp"
#include "gis/geo_grid.hpp"
#include "gis/georef.hpp"
#include "gis/progress.hpp"
#include "gis/warnings.hpp"

struct SourceChoice {
    std::string path;
    // Raster sources: the class value that marks the feature (default every
    // valid non-zero pixel; NaN and nodata pixels never do) and the band.
    std::optional<double> class_value;
    int band = 1;
    // Vector sources: the layer (needed when there are several), an
    // attribute filter, and GDAL's all-touched rule.
    std::optional<std::string> layer;
    std::optional<std::string> where;
    bool all_touched = false;
    // The CRS of a source that states none, as GDAL takes it ("EPSG:32614").
    std::optional<std::string> assume_crs;
    // How the options that choose this source start, for messages: "--" for
    // import-mask's --layer, --where and --class, "--zone-" for --zone-layer...
    std::string option_prefix = "--";
    // Polygons burned as their outlines, with a warning: the banks are
    // lines, and a filled polygon would make every pixel inside a bank.
    bool polygon_outlines = false;
    // all_touched and assume_crs were given once for several sources: they
    // apply to the sources they fit (vector layers; sources without a CRS)
    // and are never refused on the others.
    bool shared_options = false;
};

class GridSource {
public:
    // Opens the source and decides whether it is a raster or vector layers;
    // options meant for the other kind of source are refused, never ignored.
    explicit GridSource(const SourceChoice& choice);

    // What to look into when the source marks no pixel of the grid: "la
    // capa, el filtro --where y la extension de SRC" or "la clase y la banda
    // de SRC" (an empty mask is nearly always a wrong layer, filter or class).
    std::string unmarked_hint() const;
    // The files the source is made of.
    std::vector<std::string> files() const;

    // The mask on `grid`: `tone` on the pixels that the feature covers, 0
    // elsewhere (every pixel has data). `grid_name` names the elevation
    // model in messages.
    GeoGrid<uint8_t> burn(const Georef& grid, const std::string& grid_name, uint8_t tone, ProgressSpan& progress,
                          Warnings& warnings) const;

    // The mask on the window of `grid` whose first line and column are
    // `line` and `column`, of `lines` x `columns` pixels, into `rows` (a
    // pointer per line): for a vector source, the features that meet the
    // window's extent (a spatial filter) burned with the very rules of
    // burn(), their pixel positions reckoned on the whole grid; for a raster,
    // its pixels there. Not safe from two threads at once.
    void burn_window(const Georef& grid, const std::string& grid_name, uint8_t tone, int32_t line, int32_t column,
                     int32_t lines, int32_t columns, unsigned char* const* rows, Warnings& warnings) const;

    // The notice burn() gives about a vector layer's points, given once for
    // the windowed route, whose windows would each count their own.
    void warn_points(Warnings& warnings) const;

    // The value of the numeric attribute `field` of each feature burned onto
    // `grid` (a vector source only): pixels no feature covers, or covered by
    // one whose field is empty, have no data.
    GeoGrid<double> burn_field(const Georef& grid, const std::string& grid_name, const std::string& field,
                               ProgressSpan& progress, Warnings& warnings) const;

private:
    std::vector<uint8_t> burn_raster(const Georef& grid, const std::string& grid_name, uint8_t tone,
                                     ProgressSpan& progress, Warnings& warnings) const;
    std::vector<uint8_t> burn_vector(const Georef& grid, const std::string& grid_name, uint8_t tone,
                                     ProgressSpan& progress, Warnings& warnings) const;

    SourceChoice choice_;
    Dataset dataset_;
    bool vector_ = false;
};

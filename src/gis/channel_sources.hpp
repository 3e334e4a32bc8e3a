// Where channel reads: its GIS sources become grids on one ground. The
// elevation model is read and scaled as import-dem reads it (dem_source.hpp),
// its holes filled with its lowest elevation as import-dem fills them (and
// still marked), and the banks, the channel zone, the limiting contour line
// and the water bodies are burned onto its grid as import-mask burns them
// (grid_source.hpp). Every grid carries the model's georeferencing
// (geo_grid.hpp): past this point the command sees grids only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gis/channel_options.hpp"
#include "gis/dem_source.hpp"
#include "gis/geo_grid.hpp"
#include "gis/grid_source.hpp"
#include "gis/progress.hpp"
#include "gis/warnings.hpp"

// Every mask is burned with this tone, and the computation is told it.
inline constexpr uint8_t kBurnTone = 255;

// The inputs of the computation on the model's grid.
struct ChannelGrids {
    GeoGrid<int32_t> model;  // the scaled model; its holes hold `lowest`
    int32_t lowest = 0;      // the model's lowest elevation with data
    GeoGrid<uint8_t> banks;
    GeoGrid<uint8_t> zone;
    GeoGrid<uint8_t> contour;
    std::optional<GeoGrid<uint8_t>> lakes;
    // With an altitude per contour pixel (--contour-altitude dem or
    // --contour-altitude-field): each contour pixel's altitude at the scale,
    // 0 elsewhere; and the lowest of them.
    std::optional<GeoGrid<int32_t>> contour_altitudes;
    int32_t lowest_contour_altitude = 0;
};

class ChannelSources {
public:
    // Opens the model and the masks, in this order, and refuses what cannot
    // be read before any work: a model whose conditioned copy cannot be
    // written, a mask option that does not fit its source. Pixels the ring
    // search would mismeasure are warned about.
    ChannelSources(const ChannelOptions& options, Warnings& warnings);

    const DemSource& dem() const { return dem_; }
    // Every file the sources are made of, which no output may be.
    std::vector<std::string> files() const;

    // The grids, the model at `scale`. A mask that marks no pixel is
    // refused. Boundary pixels (banks, lakes) in the model's holes take the
    // elevation of the nearest boundary pixel with data along their line
    // (hydrology/fill_along.hpp), or the lowest elevation where their piece
    // of line has none; a warning counts them. A contour altitude given as a
    // number that lies outside the model's (or the field's) altitudes along
    // the contour line is warned about, with those figures.
    ChannelGrids read(double scale, ProgressSpan& progress, Warnings& warnings) const;

    // The masks' sources in the order above, with the option that names each
    // ("--banks"), for the windowed route (gdal_windows.hpp).
    std::size_t mask_count() const { return masks_.size(); }
    const GridSource& mask_source(std::size_t k) const { return masks_[k].source; }
    const std::string& mask_option(std::size_t k) const { return masks_[k].option; }

private:
    struct Mask {
        std::string option;  // "--banks"
        GridSource source;
    };
    void read_contour_altitudes(ChannelGrids& grids, double scale, ProgressSpan& progress, Warnings& warnings) const;

    std::string dem_name_;
    std::optional<double> contour_altitude_;
    std::optional<std::string> contour_altitude_field_;
    bool contour_altitude_from_dem_ = false;
    DemSource dem_;
    std::vector<Mask> masks_;  // banks, zone, contour and, when given, lakes
};

// The warning of boundary pixels (banks, lakes) in the model's holes:
// `filled` took their line's nearest elevation, `stranded` the lowest.
std::string boundary_holes_warning(std::size_t filled, std::size_t stranded, bool lakes, int32_t lowest_elevation,
                                   double scale, const std::string& unit, const std::string& dem_name);
// The warning of a contour altitude given as a number (none: nothing) that
// lies outside the model's elevations along the contour (`along_model`, at
// `scale`; none: nothing).
void warn_contour_altitude(std::optional<double> altitude, double scale, std::vector<int32_t> along_model,
                           const std::string& unit, Warnings& warnings);

// The window source and sink of channel's windowed route
// (windows/window_io.hpp): any GDAL raster read a window at a time, and the
// outputs written a core at a time, so that no whole raster is ever held.
//
// Source. The elevation model's window is read with RasterIO (a GeoTIFF, a
// VRT mosaic, a COG, a /vsicurl/ or /vsizip/ path: whatever GDAL opens) and
// scaled as import-dem scales it (exactly: exact_scaling.hpp; a warped model
// is read from the very VRT the whole route reads, dem_warp.hpp); its holes
// get the model's lowest elevation, found beforehand by one streaming pass
// over the model (scan_model), as the whole route finds it. Holes under a
// bank or a lake take, as on the whole route, the elevation of the nearest
// bank or lake pixel with data along the line they belong to
// (hydrology/fill_along.hpp): the reach map's pass lists those holes and
// the elevations along the contour, and fill_boundary_holes then walks
// from the pixels with data beside them, in the whole route's order, reading
// only those pixels' masks (from the mask cache) and model values. Each mask is burned into a window only
// (GridSource::burn_window: a spatial filter on the window's extent, the
// whole grid's pixel positions), so every window holds exactly the pixels of
// the whole-grid burn. The reach map's pass burns every line once, in bands
// as wide as the raster; with a mask cache (keep_masks), those bands are also
// written into a raw file of one byte per mask and pixel, from which the
// tiles then read their windows instead of burning again: GDAL's rasterizer
// visits every edge of a polygon on each line it fills, so a polygon of
// many vertices would otherwise cost once per window line, and the tiles'
// windows overlap. GDAL datasets are not safe from two threads, so reads
// are serialised here; the computation, which takes most of the time, is not.
//
// Sink. Each output is a tiled GeoTIFF (BigTIFF when it could pass 4 GB),
// created before the tiles and written core by core with RasterIO, under a
// lock; GDAL's block cache is held small, so partly written blocks cost
// little memory. The channel's band gets the values, nodata, scale and unit of
// the whole route; the conditioned model is first copied from the model block
// by block (GDAL's CreateCopy streams), then each core's channel pixels are
// written into it. Another format (-of COG...) is written from the tiled
// GeoTIFF, kept as a temporary beside the output, once every core is in.
//
// Processes. Two processes must never write one GDAL dataset: each keeps its
// own block cache, its own idea of the file's length and its own directory of
// tiles, so blocks appended by two of them land on the same bytes and
// whichever closes last writes a directory that misses the other's blocks.
// So under mpirun only rank 0 ever holds the outputs: every process writes
// the rounded cores of its tiles into two raw files (windows/core_files.hpp,
// positioned writes of disjoint bytes, which is safe), and once every tile is
// done rank 0 alone reads them back core by core into this sink. The cost is
// one write and one read of 5 bytes a pixel; a single process skips it and
// writes its cores straight into the sink.
#pragma once

#include <gdal.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "gis/channel_options.hpp"
#include "gis/channel_sources.hpp"
#include "gis/conditioned_dem.hpp"
#include "gis/exact_scaling.hpp"
#include "gis/gdal_env.hpp"
#include "gis/output_files.hpp"
#include "gis/progress.hpp"
#include "gis/warnings.hpp"
#include "windows/window_io.hpp"

class GdalWindowSource final : public WindowSource {
public:
    GdalWindowSource(const ChannelSources& sources, const std::string& dem_name, double scale, Warnings& warnings);

    int32_t lines() const override { return sources_.dem().grid().lines; }
    int32_t columns() const override { return sources_.dem().grid().columns; }
    bool water_bodies() const override { return sources_.mask_count() > 3; }
    void read(const RasterRect& rect, const WindowRows& rows) override;

    // The streaming pass over the model: its lowest elevation with data (the
    // holes' value), refusing what DemSource::read refuses. Before any read.
    void scan_model(ProgressSpan& progress);
    int32_t lowest() const { return lowest_; }
    // The lowest elevation another process scanned (an MPI run).
    void set_lowest(int32_t lowest) { lowest_ = lowest; }

    // The masks burned by the reach map's pass kept in `path` (created here,
    // or, with `join`, made by another process) for the tiles to read.
    void keep_masks(const std::string& path, bool join);
    const std::string& masks_path() const { return masks_path_; }
    void remove_masks();

    // After the reach map's pass (which reads every line of every mask once,
    // and the model's lines beneath the banks, lakes and contour): a mask
    // that marked no pixel is refused as the whole route refuses it; the
    // boundary pixels in the model's holes are given their elevations
    // (fill_boundary_holes) and warned about, and a contour altitude
    // `contour_altitude` outside the model's along the contour too.
    void check_masks(std::optional<double> contour_altitude, Warnings& warnings);

    // The elevations check_masks gave the holes under the banks and lakes,
    // for the other processes of an MPI run, and taken there.
    std::string filled_to_bytes() const;
    void filled_from_bytes(const std::string& bytes);

private:
    // Gives the holes under the banks and lakes their elevations; how many
    // took one, and how many had none in their piece of line.
    std::pair<std::size_t, std::size_t> fill_boundary_holes();

    const ChannelSources& sources_;
    std::string dem_name_;
    double scale_;
    ExactAffine to_integers_;
    Warnings& warnings_;
    Warnings silent_;  // for the repeated notices of every window after the first
    bool first_window_ = true;
    int32_t lowest_ = 0;
    std::mutex reading_;
    int64_t marked_[4] = {};   // pixels each mask marked in the pass without the model
    std::vector<uint64_t> boundary_holes_;  // line * columns + column, in the order of the lines
    std::vector<int32_t> along_contour_;     // the model's elevations under the contour, where it has data
    // The holes under the banks and lakes that took an elevation, by pixel index.
    std::vector<std::pair<uint64_t, int32_t>> filled_;
    std::string masks_path_;  // the mask cache: four bytes a pixel, one per mask (banks, zone, contour, lakes)
    int masks_fd_ = -1;
    bool masks_created_ = false;
    bool masks_complete_ = false;
};

class GdalWindowSink final : public WindowSink {
public:
    // Creates the outputs' tiled GeoTIFFs (the conditioned one copied from
    // the model, `copying` its progress).
    GdalWindowSink(const ChannelOptions& options, const ChannelSources& sources, GDALDataType type,
                   const OutputFile& channel, const std::optional<OutputFile>& conditioned, ProgressSpan& copying);
    ~GdalWindowSink() override;
    GdalWindowSink(const GdalWindowSink&) = delete;
    GdalWindowSink& operator=(const GdalWindowSink&) = delete;

    void write_core(const RasterRect& core, const CoreValues& values) override;

    // Closes the GeoTIFFs (and writes another format from them).
    void finish(ProgressSpan& progress, Warnings& warnings);

private:
    struct Output {
        OutputFile file;
        std::string tiled;  // the tiled GeoTIFF written core by core
        Dataset dataset;
    };
    const ChannelOptions& options_;
    const ChannelSources& sources_;
    GDALDataType type_;
    BandUnits band_;
    Output channel_;
    std::optional<Output> conditioned_;
    std::optional<RawConversion> to_raw_;       // the conditioned model's raw values
    GDALRasterBandH conditioned_mask_ = nullptr;  // the model's holes marked by a mask band
    std::mutex writing_;
    // A channel pixel that holds the nodata value: the first in the order of
    // the lines, refused by finish() with the whole route's words, which
    // name a free value from the channel's extremes.
    int64_t first_nodata_holder_ = -1;
    double held_low_ = 0.0, held_high_ = 0.0;
    bool any_held_ = false;
};

// The cache GDAL keeps for the windowed route's blocks, in bytes: the outputs'
// partly written blocks and the sources' blocks read.
inline constexpr uint64_t kGdalCacheBytes = uint64_t{32} << 20;
// GDAL's libraries and drivers, resident beside the program's own (about 35
// MB for lorvantide-raster against 5 MB for lorvantide-tiles, measured).
inline constexpr uint64_t kGdalLibraryBytes = uint64_t{32} << 20;

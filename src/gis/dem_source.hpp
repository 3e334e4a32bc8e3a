// An elevation model read from a band of any GDAL raster as the integers the
// console program computes with: each valid value in the band's own units
// (raw * band scale + band offset, when the band states them) times a
// positive scale, rounded to the nearest integer, halves away from zero (the
// scales taken as the decimals they are written as: exact_scaling.hpp). The
// model can be put on another CRS or pixel size on the way in (GDAL's warper).
#pragma once

#include <gdal.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "gis/dem_warp.hpp"
#include "gis/exact_scaling.hpp"
#include "gis/gdal_env.hpp"
#include "gis/geo_grid.hpp"
#include "gis/georef.hpp"
#include "gis/progress.hpp"

// The model as the computation's integers on its grid; a pixel without
// data (nodata, mask, NaN, outside a warp) is marked in grid.has_data and
// holds 0.
struct ScaledDem {
    GeoGrid<int32_t> grid;
    int32_t lowest = 0;  // the lowest value with data
};

class DemSource {
public:
    // `band` is the band chosen by the user; without one, a raster of
    // several bands is refused (model_band).
    DemSource(const std::string& path, std::optional<int> band, const WarpRequest& warp);

    // The grid the values are read on (the warped one, when warped).
    const Georef& grid() const { return grid_; }
    // The band's scale, offset and unit type (1, 0 and "" when it states none;
    // a scale of 0 counts as none) and its nodata value (raw, before its scale
    // and offset), whatever a warp reads it as.
    const BandUnits& units() const { return units_; }
    // The source band's own pixel type, whatever a warp reads it as.
    GDALDataType data_type() const { return data_type_; }
    // The source as opened, or, when warped, as gdalwarp writes it with the
    // same options (in its own pixel type, on the grid the values are read
    // on); and the band read from it.
    GDALDatasetH dataset() const;
    int band() const { return band_number_; }
    // The band the values are read from (the warped one in Float64, when
    // warped), for the windowed route's reads.
    GDALRasterBandH reading_band() const { return band_; }
    // The files the source is made of.
    std::vector<std::string> files() const;

    // Every pixel, scaled by `scale` (positive). Refuses a raster without
    // any valid pixel and a value that leaves the signed 32-bit range.
    ScaledDem read(double scale, ProgressSpan& progress) const;

    // The same a line at a time, never holding more than a band of lines:
    // `each` gets every line's scaled values (0 in a hole) and validity, in
    // order. Refuses a value that leaves the 32-bit range, not an empty raster.
    using LineVisit = std::function<void(int32_t line, const int32_t* values, const uint8_t* valid)>;
    void read_lines(double scale, const LineVisit& each, ProgressSpan& progress) const;

private:
    std::string path_;
    Dataset dataset_;
    Dataset warped_;
    WarpRequest warp_;
    mutable Dataset warped_as_source_;
    GDALRasterBandH band_ = nullptr;
    Georef grid_;
    BandUnits units_;
    GDALDataType data_type_ = GDT_Unknown;
    int band_number_ = 1;
};

// A raw value of the band as the computation's integer (exactly rounded,
// halves away from zero); a result outside the signed 32-bit range is
// refused, never wrapped.
int32_t scaled_elevation(double raw, const ExactAffine& to_integers, int32_t line, int32_t column);
// An altitude (typed, or a field's) times `scale`, both taken as decimals,
// rounded and refused the same way.
int32_t scaled_elevation(double value, double scale, int32_t line, int32_t column);

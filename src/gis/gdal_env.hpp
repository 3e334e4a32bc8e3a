// GDAL set up once per process, datasets closed by scope, and GDAL's own
// diagnostics folded into the command's Spanish message.
#pragma once

#include <gdal.h>
#include <ogr_srs_api.h>

#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

// Registers the drivers and routes GDAL's messages: errors are kept for the
// command's own message (see gdal_detail), warnings go to standard error
// unless quiet.
void start_gdal(bool quiet_warnings);

// " (GDAL: last error text)" or "" when GDAL said nothing; clears it.
std::string gdal_detail();

// A GDAL or OGR handle given back with `Release` when it goes out of scope.
template <typename Handle, auto Release>
struct HandleRelease {
    void operator()(Handle handle) const {
        if (handle != nullptr) Release(handle);
    }
};
template <typename Handle, auto Release>
using GdalHandle = std::unique_ptr<std::remove_pointer_t<Handle>, HandleRelease<Handle, Release>>;

using Dataset = GdalHandle<GDALDatasetH, GDALClose>;
using Srs = GdalHandle<OGRSpatialReferenceH, OSRDestroySpatialReference>;

// A list of GDAL option strings ("NAME=VALUE" or command-line words), freed by scope.
class StringList {
public:
    StringList() = default;
    explicit StringList(const std::vector<std::string>& words);
    ~StringList();
    StringList(const StringList&) = delete;
    StringList& operator=(const StringList&) = delete;
    void add(const std::string& word);
    void set(const std::string& name, const std::string& value);
    char** get() const { return list_; }

private:
    char** list_ = nullptr;
};

// Opens an existing source for reading. A path that does not exist and a
// file that no driver recognises get different messages, since the user
// fixes them differently. `flags` are GDAL_OF_RASTER and/or GDAL_OF_VECTOR.
Dataset open_source(const std::string& path, unsigned flags);

// Band `band` of `dataset`, refused (naming `source`) when it has no such band.
GDALRasterBandH band_of(GDALDatasetH dataset, int band, const std::string& source);

// One line of a band's values and of GDAL's validity mask for it (nodata,
// alpha or mask band, whichever the source uses), as many pixels as `values`
// holds; NaN is never valid. `source` names the file in the message.
void read_band_line(GDALRasterBandH band, int line, std::vector<double>& values, std::vector<uint8_t>& valid,
                    const std::string& source);

// GDAL's MEM driver, which holds rasters in memory.
GDALDriverH memory_driver();

// An empty in-memory raster of the given size, bands and pixel type.
Dataset memory_raster(int columns, int lines, int bands, GDALDataType type);

// Every file a dataset is made of (GDAL's own list: sidecars, sources of a
// virtual raster, parts of a shapefile), for keeping outputs off them.
std::vector<std::string> dataset_files(GDALDatasetH dataset);

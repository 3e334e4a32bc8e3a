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

#include "files/progress_line.hpp"

// Registers the drivers and routes GDAL's messages: errors are kept for the
// command's own message (see gdal_detail), warnings go to standard error
// unless quiet, and debug messages (--config CPL_DEBUG ON) too; a progress
// line drawn there is ended before each. Refused when the process could not
// even register the drivers; GDAL's block cache is kept to a quarter of the
// memory the process may have.
void start_gdal(bool quiet_warnings, ProgressLine* line = nullptr);
// GDAL's messages no longer end `line` (it is going): GDALDestroy still
// prints debug messages after the command.
void forget_progress_line(const ProgressLine* line);

// What GDAL needs to register its drivers, and to open, read or write a
// dataset, besides the pixels the commands count themselves. GDAL (and the
// libraries under it) abort, or worse, when an allocation fails inside:
// the command refuses before it gets there.
inline constexpr std::uint64_t kGdalStartBytes = 8u << 20;
inline constexpr std::uint64_t kGdalWorkBytes = 16u << 20;

// Before GDAL opens, reads or writes a dataset: refused (naming `what`)
// unless kGdalWorkBytes can be had, and GDAL's block cache kept to a quarter
// of what the process may still take.
void prepare_gdal_memory(const std::string& what);

// GDAL said it ran out of memory during this process.
bool gdal_ran_out_of_memory();

// " (GDAL: last error text)" or "" when GDAL said nothing; clears it.
std::string gdal_detail();
// The same for a write that failed, with the system's reason when the last
// system call left one that GDAL's message does not give (a full device, a
// quota, an input/output error): GDAL says only "Write error at scanline".
std::string gdal_write_detail();

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

// Opens an existing source for reading. A path that does not exist, a file
// that cannot be read (the system's reason), too little memory and a file
// that no driver recognises get different messages, since the user fixes
// them differently. The source must be a regular file (or a folder of
// vector files) and no file beside it named after it may be a FIFO or a
// device, which GDAL would block on. `flags` are GDAL_OF_RASTER and/or
// GDAL_OF_VECTOR.
Dataset open_source(const std::string& path, unsigned flags);

// The checks of open_source on a file that exists, before GDAL opens it:
// regular, readable (else the system's reason), and no FIFO or device beside it.
void check_source_file(const std::string& path);

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

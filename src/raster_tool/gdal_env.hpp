// GDAL set up once per process, datasets closed by scope, and GDAL's own
// diagnostics folded into the command's Spanish message.
#pragma once

#include <gdal.h>

#include <memory>
#include <string>

// Registers the drivers and routes GDAL's messages: errors are kept for the
// command's own message (see gdal_detail), warnings go to standard error
// unless quiet.
void start_gdal(bool quiet_warnings);

// " (GDAL: last error text)" or "" when GDAL said nothing; clears it.
std::string gdal_detail();

struct DatasetCloser {
    void operator()(void* dataset) const {
        if (dataset != nullptr) GDALClose(static_cast<GDALDatasetH>(dataset));
    }
};
using Dataset = std::unique_ptr<void, DatasetCloser>;

// Opens an existing source for reading. A path that does not exist and a
// file that no driver recognises get different messages, since the user
// fixes them differently. `flags` are GDAL_OF_RASTER and/or GDAL_OF_VECTOR.
Dataset open_source(const std::string& path, unsigned flags);

// An empty in-memory raster of the given size, bands and pixel type.
Dataset memory_raster(int columns, int lines, int bands, GDALDataType type);

// Writes `source` to `path` with the named driver. The partial file of a
// failed write is removed.
void write_with_driver(GDALDatasetH source, const std::string& format, const std::string& path,
                       GDALProgressFunc progress, void* progress_data);

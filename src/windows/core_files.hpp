// The cores of a windowed run kept in two raw files of the raster's size (the
// rounded elevations, 4 bytes a pixel, and the channel flags, 1 byte), which
// every process of an MPI run writes with positioned writes of its own cores
// only (disjoint ranges of bytes, so no lock and no cache to merge), and
// which one process then reads core by core to give the cores to a sink that
// only it may write (gis/gdal_windows.hpp says why a GDAL dataset is such a
// sink).
#pragma once

#include <cstdint>
#include <string>

#include "windows/window_io.hpp"

class CoreFiles final : public WindowSink {
public:
    CoreFiles() = default;
    ~CoreFiles() override;
    CoreFiles(const CoreFiles&) = delete;
    CoreFiles& operator=(const CoreFiles&) = delete;

    // Creates both files (`prefix` + ".elevaciones.raw" and ".cauce.raw") of
    // their full size on the disk, so that a disk too small is told now.
    // Throws WindowError with the message.
    void create(const std::string& prefix, int32_t lines, int32_t columns);
    // Opens the files another process created.
    void join(const std::string& prefix, int32_t lines, int32_t columns);
    // Makes sure what this process wrote reached the disk; WindowError otherwise.
    void flush();
    // Removes the files (the process that created them).
    void remove();

    void write_core(const RasterRect& core, const CoreValues& values) override;
    // Reads one core back into `rounded` and `channel` (core.lines x core.columns each).
    void read_core(const RasterRect& core, int32_t* rounded, unsigned char* channel) const;

private:
    void open(const std::string& prefix, int32_t lines, int32_t columns, bool create);

    std::string paths_[2];
    int fds_[2] = {-1, -1};
    int32_t columns_ = 0;
    bool created_ = false;
};

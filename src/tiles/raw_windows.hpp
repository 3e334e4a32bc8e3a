// The window source and sink of lorvantide-tiles (windows/window_io.hpp):
// the inputs read from the job's raw files and the cores written into the
// result's raw raster, both with positioned reads and writes, so that every
// thread and process uses the files at once without a lock.
#pragma once

#include <string>

#include "tiles/job.hpp"
#include "windows/window_io.hpp"

class RawWindowSource final : public WindowSource {
public:
    explicit RawWindowSource(const OpenJob& open, bool water_bodies) : open_(open), water_(water_bodies) {}
    int32_t lines() const override { return open_.lines; }
    int32_t columns() const override { return open_.columns; }
    bool water_bodies() const override { return water_; }
    void read(const RasterRect& rect, const WindowRows& rows) override;

private:
    const OpenJob& open_;
    bool water_;
};

class RawWindowSink final : public WindowSink {
public:
    // The result raster open on `fd`, named `path` in messages.
    RawWindowSink(int fd, std::string path, int32_t columns) : fd_(fd), path_(std::move(path)), columns_(columns) {}
    void write_core(const RasterRect& core, const CoreValues& values) override;

private:
    int fd_;
    std::string path_;
    int32_t columns_;
};

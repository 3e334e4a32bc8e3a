// The progress lines of the computation: pass 1 prints one per fourth column
// of every fourth line, tens of megabytes on a large raster. Each line is
// formatted with std::to_chars (the bytes of "\tLinea %d    Columna %d
// \r     " and "\tLinea %d          \r     ") into a batch that goes to the
// sink a few dozen kilobytes at a time. Nothing is formatted for a sink that
// does not want the text.
#pragma once

#include <cstdint>
#include <string>

#include "compute/channel.hpp"

class ProgressLines {
public:
    explicit ProgressLines(ChannelProgress& sink);
    ~ProgressLines() { flush(); }
    ProgressLines(const ProgressLines&) = delete;
    ProgressLines& operator=(const ProgressLines&) = delete;

    // "\tLinea <line>    Columna <column>          \r     " (pass 1).
    void position(int32_t line, int32_t column);
    // "\tLinea <line>          \r     " (passes 2 to 7).
    void line(int32_t line);
    // Hands what is batched to the sink.
    void flush();

private:
    // One line, with its column when there is one; batched.
    void add(int32_t line, const int32_t* column);

    ChannelProgress& sink_;
    bool wanted_;
    std::string batch_;
};

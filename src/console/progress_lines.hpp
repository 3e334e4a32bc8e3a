// The computation's progress as the console program prints it: a heading when
// a pass begins ("\n\n primer paso\n\n" ... "\n\n septimo paso\n\n"), then
// "\tLinea %d    Columna %d          \r     " for every position of pass 1
// (line and column counted from 0) and "\tLinea %d          \r     " for every
// line of passes 2 to 7 (counted from 1). Pass 1 reaches one position in
// sixteen, tens of megabytes of lines on a large raster: each is formatted
// with std::to_chars into a batch that goes to the console a few dozen
// kilobytes at a time.
#pragma once

#include <cstdint>
#include <string>
#include <functional>
#include <string_view>
#include <utility>

#include "compute/channel_progress.hpp"

class ProgressLines final : public ChannelProgress {
public:
    // `print` takes the bytes, a batch at a time (the console's progress).
    template <typename Print>
    explicit ProgressLines(Print print) : print_(std::move(print)) {
        batch_.reserve(kBatch + kLongestLine);
    }
    ~ProgressLines() override { flush(); }
    ProgressLines(const ProgressLines&) = delete;
    ProgressLines& operator=(const ProgressLines&) = delete;

    void pass_begun(int pass) override;
    void position_reached(int32_t line, int32_t column) override { add(line, &column); }
    void line_reached(int32_t line) override { add(line + 1, nullptr); }
    bool wants_positions() const override { return true; }
    void share_done(double) override { flush(); }
    // Hands what is batched to the console.
    void flush();

    // The heading of pass `pass` (1 to 7).
    static std::string_view heading(int pass);

private:
    static constexpr std::size_t kBatch = std::size_t{1} << 16;
    static constexpr std::size_t kLongestLine = 64;
    // One line, with its column when there is one; batched.
    void add(int32_t line, const int32_t* column);

    std::function<void(std::string_view)> print_;
    std::string batch_;
};

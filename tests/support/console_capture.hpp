// A Console over string streams, for running stages in-process: the answers
// are given as text, every printed byte is kept, and fatal-stop key waits are
// counted instead of read from a terminal.
#pragma once

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>

#include "console/console.hpp"

struct ConsoleCapture {
    explicit ConsoleCapture(const std::string& answers) : in(answers), console(in, out) {
        console.wait_for_key = [this] { ++key_waits; };
    }
    std::string printed() const { return out.str(); }

    std::istringstream in;
    std::ostringstream out;
    Console console;
    int key_waits = 0;
};

// Points the image root at `root` for the life of the object (the stages read
// LORVANTIDE_IMAGES when they build paths).
class ScopedImageRoot {
public:
    explicit ScopedImageRoot(const std::string& root) {
        if (const char* previous = std::getenv("LORVANTIDE_IMAGES")) previous_ = previous;
        setenv("LORVANTIDE_IMAGES", root.c_str(), 1);
    }
    ~ScopedImageRoot() {
        if (previous_) setenv("LORVANTIDE_IMAGES", previous_->c_str(), 1);
        else unsetenv("LORVANTIDE_IMAGES");
    }
    ScopedImageRoot(const ScopedImageRoot&) = delete;
    ScopedImageRoot& operator=(const ScopedImageRoot&) = delete;

private:
    std::optional<std::string> previous_;
};

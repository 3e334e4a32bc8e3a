#include "console_capture.hpp"

#include <cstdlib>

ScopedImageRoot::ScopedImageRoot(const std::string& root) {
    if (const char* previous = std::getenv("LORVANTIDE_IMAGES")) {
        had_value_ = true;
        previous_ = previous;
    }
    setenv("LORVANTIDE_IMAGES", root.c_str(), 1);
}

ScopedImageRoot::~ScopedImageRoot() {
    if (had_value_) setenv("LORVANTIDE_IMAGES", previous_.c_str(), 1);
    else unsetenv("LORVANTIDE_IMAGES");
}

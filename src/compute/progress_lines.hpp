// The two progress lines of the computation, formatted without printf: pass 1
// prints about one per sixteen pixels, tens of megabytes on a large raster, so
// each line is built in a small buffer with std::to_chars. The bytes are those
// of "\tLinea %d    Columna %d          \r     " and "\tLinea %d          \r     ".
#pragma once

#include <cstdint>
#include <string_view>

class ProgressLines {
public:
    // "\tLinea <line>    Columna <column>          \r     " (pass 1).
    std::string_view position(int32_t line, int32_t column);
    // "\tLinea <line>          \r     " (passes 2 to 7).
    std::string_view line(int32_t line);

private:
    char text_[80];
};

// Numbers as the tool writes them: printf's "%.*g" with `digits` significant
// digits. 17 give back the very double (GDAL options, the sidecar's XML), 15
// what a person reads in a message.
#pragma once

#include <cstdio>
#include <string>

inline std::string number_text(double value, int digits = 17) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    return text;
}

#include "files/input_checks.hpp"

#include <cerrno>

#include "files/raster_pair.hpp"

namespace {

InputProblem problem(InputProblem::Kind kind, const std::string& path) {
    InputProblem found;
    found.kind = kind;
    found.path = path;
    return found;
}

}  // namespace

InputCheck open_input(const std::string& path, const char* mode, File& file) {
    switch (open_regular_input(path, mode, file)) {
        case InputOpen::ok:
            return std::nullopt;
        case InputOpen::missing:
            return problem(InputProblem::Kind::missing, path);
        case InputOpen::not_regular:
            return problem(InputProblem::Kind::not_regular, path);
        case InputOpen::denied:
            return problem(InputProblem::Kind::denied, path);
        case InputOpen::failed:
            break;
    }
    InputProblem failed = problem(InputProblem::Kind::unopenable, path);
    failed.error = errno;
    return failed;
}

InputCheck read_descriptor_size(std::FILE* descriptor, const std::string& path, int32_t* values, int wanted) {
    // Read into a copy first: a descriptor refused here must not leave half a
    // size behind.
    int32_t read[6] = {};
    const int count = read_descriptor_ints(descriptor, read, wanted < 6 ? wanted : 6);
    if (std::ferror(descriptor) != 0) return problem(InputProblem::Kind::unreadable, path);
    if (count < 2 || read[0] < 0 || read[1] < 0) return problem(InputProblem::Kind::bad_descriptor, path);
    for (int k = 0; k < count; ++k) values[k] = read[k];
    return std::nullopt;
}

InputCheck same_size_as_slope(Role role, int32_t lines, int32_t columns, int32_t slope_lines, int32_t slope_columns) {
    if (lines == slope_lines && columns == slope_columns) return std::nullopt;
    InputProblem differs;
    differs.kind = InputProblem::Kind::size_differs;
    differs.role = role;
    return differs;
}

InputCheck raw_long_enough(uint64_t held, const std::string& path, int32_t lines, int32_t columns, int pixel_bytes) {
    if (lines <= 0 || columns <= 0) return std::nullopt;
    // Below (2^31)^2 * 4 = 2^64, and a file size below 2^63: no overflow.
    const uint64_t needed = static_cast<uint64_t>(lines) * static_cast<uint64_t>(columns) *
                            static_cast<uint64_t>(pixel_bytes);
    if (held * 2 >= needed) return std::nullopt;
    InputProblem short_file = problem(InputProblem::Kind::raw_too_short, path);
    short_file.held = held;
    short_file.needed = needed;
    return short_file;
}

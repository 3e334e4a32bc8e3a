// The checks of an input raster pair, made before anything of it is read into
// memory, by the console dialog and by the batch command alike: both files
// present and regular, a descriptor that starts with the size, a mask of the
// slope model's size, a raw file that holds at least half of its pixels.
//
// Each check returns what is wrong as an InputProblem, the parts of its
// message and nothing printed: each program words it in its own form (the
// console's lines in console/input_pair.cpp, the batch command's one-line
// messages in tiles/tiles_error.cpp).
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "files/raster_role.hpp"
#include "files/regular_file.hpp"

struct InputProblem {
    enum class Kind {
        missing,         // there is no file at `path`
        not_regular,     // `path` is a folder, a FIFO or a device
        denied,          // this user may not read `path`
        unopenable,      // `path` could not be opened otherwise (`error`: an I/O error...)
        unreadable,      // reading `path` failed (an I/O error, not its end)
        bad_descriptor,  // the descriptor `path` does not start with two non-negative decimal integers
        raw_too_short,   // the raw file `path` holds `held` bytes of the `needed` its descriptor says
        size_differs,    // the mask of `role` has not the slope model's lines and columns
    };
    Kind kind = Kind::missing;
    std::string path;
    Role role = Role::slope;
    uint64_t held = 0;
    uint64_t needed = 0;
    int error = 0;  // the system's reason, for unopenable
};

// None when every check passed.
using InputCheck = std::optional<InputProblem>;

// Opens `path` with the stdio `mode` into `file` only when it is a regular
// file (regular_file.hpp): missing, not_regular, denied or unopenable
// otherwise.
InputCheck open_input(const std::string& path, const char* mode, File& file);

// Reads up to `wanted` (at most 6) integers of the descriptor open on
// `descriptor`, whose path is `path`, into `values`; those not present stay
// as they were, and a descriptor refused leaves all of them so. It must start
// with the lines and the columns as two non-negative decimal integers
// (bad_descriptor), and be read without an error (unreadable).
InputCheck read_descriptor_size(std::FILE* descriptor, const std::string& path, int32_t* values, int wanted);

// The mask of `role` must have the slope model's size, since every raster of
// a run is read into grids of that size (size_differs).
InputCheck same_size_as_slope(Role role, int32_t lines, int32_t columns, int32_t slope_lines, int32_t slope_columns);

// A raw file `path` of `held` bytes, shorter than half of what `lines` x
// `columns` pixels of `pixel_bytes` need, is refused (raw_too_short): its
// descriptor is wrong, or it is not the file meant. A file only a little
// short is read, the missing pixels as 0, and its missing lines reported.
InputCheck raw_long_enough(uint64_t held, const std::string& path, int32_t lines, int32_t columns, int pixel_bytes);

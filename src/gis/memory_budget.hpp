// Work is refused before it starts when the process could not have the memory
// it needs (the available memory, or the limits RLIMIT_AS and RLIMIT_DATA the
// process runs under), instead of failing half-way or being killed.
#pragma once

#include <cstdint>
#include <string>

// Bytes of `lines` x `columns` pixels of `bytes_per_pixel` each, saturating
// instead of overflowing.
std::uint64_t raster_bytes(std::int64_t lines, std::int64_t columns, std::uint64_t bytes_per_pixel);

// What the process may still take: the least of the available memory and
// what RLIMIT_AS and RLIMIT_DATA leave.
std::uint64_t available_memory();

// Throws a ToolError naming `what` when `bytes` cannot be had.
void require_memory(std::uint64_t bytes, const std::string& what);

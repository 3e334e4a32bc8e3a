// Work split into bands over a few threads, for computations whose result does
// not depend on how they are split (each band writes only its own part).
// LORVANTIDE_THREADS sets the number of threads (1 forces the calling thread
// alone); by default, one per processor.
#pragma once

#include <cstdint>
#include <functional>

// How many threads a split may use: at least 1.
int32_t fast_thread_count();

// Calls work(first, end) for consecutive bands covering [0, count), each on
// its own thread (the calling thread takes the first), and waits for all.
void split_in_bands(int64_t count, const std::function<void(int64_t first, int64_t end)>& work);
// The same on at most `threads` threads (0: fast_thread_count()).
void split_in_bands(int64_t count, int32_t threads, const std::function<void(int64_t first, int64_t end)>& work);

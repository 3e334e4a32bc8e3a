// Work split into bands over a few threads, for computations whose result does
// not depend on how they are split (each band writes only its own part).
#pragma once

#include <cstdint>
#include <functional>
#include <thread>

// The number of threads a run uses: LORVANTIDE_THREADS when it holds a whole
// number from 1 up (1 forces the calling thread alone; at most 64), otherwise
// one per processor. Read once, by the program's entry point.
int32_t threads_from_environment();

// Calls work(first, end) for consecutive bands covering [0, count), each on
// its own thread (the calling thread takes the first), on at most `threads`
// threads, and waits for all. A band whose thread cannot be started is done
// on the calling thread, so the work is always done whole. An exception
// thrown by a band, on any thread, is thrown to the caller once every band
// has ended (the first one, when several throw).
using BandWork = std::function<void(int64_t first, int64_t end)>;
void split_in_bands(int64_t count, int32_t threads, const BandWork& work);

// The same, with the helper threads started by `start` (std::thread by
// default); one that throws std::system_error stands for a system that has no
// thread to give.
using HelperStart = std::thread (*)(const BandWork& work, int64_t first, int64_t end);
void split_in_bands(int64_t count, int32_t threads, const BandWork& work, HelperStart start);

// The result pair of a batch run, written whole or not at all
// (atomic_outputs.hpp): rank 0 holds both files and creates their
// temporaries beside them, the raster's at its full size at once; every
// process writes its cores into that raster by its path; rank 0 then writes
// the descriptor and puts both in place, the raster first. Each failure is a
// TilesError naming the file.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "files/atomic_outputs.hpp"
#include "files/raster_pair.hpp"

// Holds the result's two files and creates their temporaries, the raster's
// of `raw_bytes` bytes on the disk (a disk too small is told before any tile
// is computed). A result a killed run left half in place is first made whole,
// and `notices` say so.
std::unique_ptr<AtomicOutputs> start_result(const PairPaths& result, uint64_t raw_bytes,
                                            std::vector<std::string>& notices);

// Opens the raster's temporary rank 0 created, on another process.
void join_result(JoinedTemporary& raster, const std::string& temporary);

// Makes sure what this process wrote into the raster reached the disk.
void close_joined_result(JoinedTemporary& raster, const PairPaths& result);

// Writes the six-integer descriptor and puts the pair in place. Returns the
// notices of a pair put in place: a replaced file whose owner could not be kept.
std::vector<std::string> commit_result(AtomicOutputs& outputs, const PairPaths& result, const int32_t descriptor[6]);

// The files a GDAL driver writes beside an output, kept off the inputs.
//
// A driver may write more than the file named: ERS writes X.ers and its
// data in X, ENVI X and X.hdr, GDAL itself X.aux.xml. All of them are
// written into the output's private temporary folder and renamed beside
// the target with it (atomic_outputs.hpp), so a companion named like an
// input would replace it: `channel --dem dem -o dem.ers -of ERS` over an
// ENVI model `dem` would put the channel in its place. Before anything is
// renamed, every file in the temporary folder is named as it will be once
// in place and compared with the inputs (device and inode); the listing of
// the folder, rather than GDAL's own list of the dataset's files, is what
// the renames will move, files written on closing included.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

// An input as OutputSet keeps it: its name and its (device, inode).
using ProtectedInput = std::pair<std::string, std::pair<dev_t, ino_t>>;

// Refuses, naming the file it would replace, an output (`target`, written
// as `temporary` in its temporary folder) of which any file written would
// land on an input.
void refuse_companions_over_inputs(const std::string& target, const std::string& temporary,
                                   const std::vector<ProtectedInput>& inputs);

// The outputs of one command, never written in place (atomic_outputs.hpp):
// each is written into a private temporary folder beside its target, and
// only when every output of the command has been written are they renamed
// over their targets, in the order declared (for a pair: the raw file, then
// the descriptor, then the georeferencing). A command that fails, or a
// process stopped by SIGINT, SIGTERM or SIGHUP, leaves the earlier files
// exactly as they were; a signal that comes while the outputs are being put
// in place lets them all be put in place first.
//
// Declaring an output checks it at once, before any long work: an output that
// is one of the command's inputs (same device and inode) is refused, as is an
// existing output without --overwrite, one that is not a regular file or may
// not be written, one that another run is writing, and one whose folder
// cannot take a temporary. A target that is a symbolic link is written
// through it: the file it points to is replaced, so the link stays a link; an
// existing file keeps its permissions.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "files/atomic_outputs.hpp"
#include "gis/warnings.hpp"

struct OutputFile {
    std::string target;     // as the user named it, for messages
    std::string temporary;  // where to write it
};

class OutputSet {
public:
    explicit OutputSet(bool overwrite) : overwrite_(overwrite) {}

    // A file the command reads; missing files are ignored (they are not
    // outputs of anyone). Call before declaring the outputs.
    void protect(const std::string& input);
    void protect(const std::vector<std::string>& inputs);

    // An output this program writes itself, byte by byte.
    OutputFile add_file(const std::string& target);
    // An output a GDAL driver writes: it may put files of its own beside it
    // (out.img.aux.xml, out.hdr), which move with it. GDAL keeps what it
    // learns of a raster (statistics, metadata) in NAME.aux.xml beside it:
    // the one of a replaced raster goes with it unless the new one has its
    // own, lest it describe the new raster with the old one's facts.
    OutputFile add_dataset(const std::string& target);

    // Renames every output over its target, in the order declared. Throws a
    // ToolError naming the output that could not be put in place, or whose
    // renaming could not be made sure to reach the disk (it is in place
    // then). A replaced file whose owner could not be kept is a warning.
    void commit(Warnings& warnings);

private:
    OutputFile add(const std::string& target, AtomicOutputs::Kind kind, std::vector<std::string> describing = {});

    bool overwrite_;
    std::vector<std::pair<std::string, std::pair<dev_t, ino_t>>> inputs_;
    AtomicOutputs outputs_;
};

// Opens `output.temporary` with the stdio `mode` and hands it to `write`,
// which returns false when a write failed; the message names the target.
void write_output(const OutputFile& output, const char* mode, const std::function<bool(std::FILE*)>& write);

// Writes `bytes` to `output.temporary`; the message names the target.
void write_output_bytes(const OutputFile& output, const std::string& bytes);

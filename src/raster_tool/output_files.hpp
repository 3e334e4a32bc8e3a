// The outputs of one command, never written in place. Each output is
// written into a private temporary folder made beside its target, and only
// when every output of the command has been written are they renamed over
// their targets, in the order declared (for a pair: the raw file, then the
// descriptor, then the georeferencing). A command that fails, or a process
// stopped by SIGINT, SIGTERM or SIGHUP, removes its temporaries and leaves
// the earlier files exactly as they were.
//
// Declaring an output checks it at once, before any long work: an output that
// is one of the command's inputs (same device and inode) is refused, as is an
// existing output without --overwrite, one that is not a regular file, and
// one whose folder cannot take a temporary. A target that is a symbolic link
// is written through it: the temporary goes beside the file it points to,
// which is replaced, so the link stays a link; an existing file keeps its
// permissions.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

struct OutputFile {
    std::string target;     // as the user named it, for messages
    std::string temporary;  // where to write it
};

class OutputSet {
public:
    explicit OutputSet(bool overwrite) : overwrite_(overwrite) {}
    ~OutputSet();
    OutputSet(const OutputSet&) = delete;
    OutputSet& operator=(const OutputSet&) = delete;

    // A file the command reads; missing files are ignored (they are not
    // outputs of anyone). Call before declaring the outputs.
    void protect(const std::string& input);
    void protect(const std::vector<std::string>& inputs);

    // An output this program writes itself, byte by byte.
    OutputFile add_file(const std::string& target);
    // An output a GDAL driver writes: it may put files of its own beside it
    // (out.img.aux.xml, out.hdr), which move with it.
    OutputFile add_dataset(const std::string& target);

    // Renames every output over its target, in the order declared. Throws a
    // ToolError naming the output that could not be put in place.
    void commit();

private:
    struct Entry {
        std::string target;    // as named
        std::string resolved;  // the file a symbolic link leads to, or the target
        std::string folder;    // the temporary folder
        std::string temporary;
        bool dataset = false;
        bool existed = false;
        mode_t mode = 0;
        bool done = false;
    };
    OutputFile add(const std::string& target, bool dataset);

    bool overwrite_;
    std::vector<std::pair<std::string, std::pair<dev_t, ino_t>>> inputs_;
    std::vector<Entry> entries_;
};

// Writes `bytes` to `output.temporary`; the message names the target.
void write_output_bytes(const OutputFile& output, const std::string& bytes);

// Removes the temporaries of every unfinished OutputSet when the process gets
// SIGINT, SIGTERM or SIGHUP, then ends it by the same signal. A signal that
// was ignored when the program started (nohup) stays ignored.
void install_signal_cleanup();

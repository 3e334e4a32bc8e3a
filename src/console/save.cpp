// The result writer: every elevation rounded to an integer, the raster
// written, then its descriptor, both into the temporaries of the result pair,
// which then replace the pair's files (atomic_outputs.hpp). A result that could
// not be written completely is reported and replaces nothing: it must never
// look like a finished run. One whose renames could not be made sure to
// reach the disk is in place, and reported as a failure too.
//
// Only the channel has data: every pixel outside the columns a line holds
// (elevations.hpp) is 0. The raster file is first given its whole size, which
// reads as zeros (holes, on file systems that have them), and then only the
// stretches of the file that hold pixels other than 0 are written, with the
// zeros between two of them when they lie close (kJoinedGap). A channel that
// covers part of a large raster leaves the rest of it unwritten; one that
// crosses every line is written from its first line to its last, in long
// writes. Where the file cannot be sized that way, every line is written.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "files/atomic_outputs.hpp"
#include "parallel/band_threads.hpp"
#include "files/raster_pair.hpp"
#include "files/rounding.hpp"
#include "console/stages.hpp"

namespace {

constexpr int64_t kChunkBytes = int64_t{1} << 20;

// The temporaries are removed at once: a failed run leaves nothing behind.
Outcome lost(Run& run, Console& console, const std::string& path) {
    run.result_writer.reset();
    console.sayf("\n No se pudo escribir completo el archivo %s: no se escribio ningun resultado \n", path.c_str());
    return Outcome::failed;
}

struct Extremes {
    int32_t min = kResultMinimumStart;
    int32_t max = kResultMaximumStart;
    std::mutex lock;
    void take(int32_t low, int32_t high) {
        const std::lock_guard<std::mutex> held(lock);
        if (low < min) min = low;
        if (high > max) max = high;
    }
};

// Every line written whole, about a megabyte of lines at a time: rounded on
// the threads, a band of lines each, then written in the order of the lines.
bool write_every_line(Run& run, std::FILE* raster, Extremes& extremes) {
    const auto columns = static_cast<int64_t>(run.nb_col);
    const int64_t chunk_lines = std::max<int64_t>(1, kChunkBytes / (columns * 4));
    std::vector<int32_t> chunk(static_cast<std::size_t>(std::min<int64_t>(chunk_lines, run.nb_lig) * columns));
    for (int64_t first = 0; first < run.nb_lig; first += chunk_lines) {
        const int64_t lines = std::min<int64_t>(chunk_lines, run.nb_lig - first);
        split_in_bands(lines, run.threads, [&](int64_t band, int64_t end) {
            int32_t low = kResultMinimumStart;
            int32_t high = kResultMaximumStart;
            for (int64_t k = band; k < end; ++k)
                round_result_line(run.dtab.line(first + k), 0, run.nb_col, chunk.data() + k * columns, low, high);
            extremes.take(low, high);
        });
        // The chunk's lines lie one after the other: one write for all of them.
        if (!write_elevation_line(raster, chunk.data(), static_cast<int32_t>(lines * columns))) return false;
    }
    return true;
}

// `count` pixels at pixel `offset` of the file (swapped in place first where
// the host needs it); false with errno.
bool write_at(int fd, int32_t* pixels, int64_t count, int64_t offset) {
    if constexpr (!kLittleEndianHost) swap_pixel_bytes(pixels, static_cast<std::size_t>(count));
    const auto* bytes = reinterpret_cast<const char*>(pixels);
    auto left = static_cast<std::size_t>(count) * sizeof(int32_t);
    auto at = static_cast<off_t>(offset * static_cast<int64_t>(sizeof(int32_t)));
    while (left > 0) {
        const ssize_t done = pwrite(fd, bytes, left, at);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        bytes += done;
        left -= static_cast<std::size_t>(done);
        at += done;
    }
    return true;
}

// Pixels other than 0 less than this far apart in the file (32 KiB) go out in
// one write, the zeros between them written as they are. A stretch written
// apart costs the file system a block of its own and an extent, about 60 us
// from the pwrite to the end of the fsync on ext4 here, where writing and
// syncing the zeros between takes about 2.4 ns a byte: 4096 separate
// stretches 16 KiB apart (a river across every line of a 4096 x 4096 raster)
// took 0.29 s, the whole 64 MiB file 0.16 s; 1024 stretches 64 KiB apart
// took 0.06 s.
constexpr int64_t kJoinedGap = 8192;

// Writes the pixels other than 0 of a file that already reads as zeros, given
// in the file's order, a joined piece at a time.
class PieceWriter {
public:
    explicit PieceWriter(int fd) : fd_(fd) {}

    // The pixels from file pixel `start` on; false when a write failed.
    bool add(const int32_t* pixels, int64_t count, int64_t start) {
        for (int64_t j = 0; j < count;) {
            if (pixels[j] == 0) {
                ++j;
                continue;
            }
            int64_t k = j + 1;
            while (k < count && pixels[k] != 0) ++k;
            const int64_t at = start + j;
            const int64_t piece_end = piece_start_ + static_cast<int64_t>(piece_.size());
            if (piece_.empty() || at - piece_end > kJoinedGap || piece_.size() >= kPiecePixels) {
                if (!flush()) return false;
                piece_start_ = at;
            } else {
                piece_.resize(piece_.size() + static_cast<std::size_t>(at - piece_end), 0);
            }
            piece_.insert(piece_.end(), pixels + j, pixels + k);
            j = k;
        }
        return true;
    }
    bool flush() {
        const bool written = piece_.empty() || write_at(fd_, piece_.data(), static_cast<int64_t>(piece_.size()), piece_start_);
        piece_.clear();
        return written;
    }

private:
    static constexpr std::size_t kPiecePixels = std::size_t{1} << 18;
    int fd_;
    std::vector<int32_t> piece_;
    int64_t piece_start_ = 0;
};

// The held columns of every line, into a file already of the raster's size
// (zeros). A run of lines at a time, its held pixels about a megabyte: the
// lines rounded on the threads, then their pixels other than 0 written in
// the file's order.
bool write_held_columns(Run& run, int fd, Extremes& extremes) {
    const auto columns = static_cast<int64_t>(run.nb_col);
    PieceWriter writer(fd);
    std::vector<int32_t> chunk;
    std::vector<int64_t> place;  // where each line of the run of lines starts in `chunk`
    for (int64_t first = 0; first < run.nb_lig;) {
        place.clear();
        int64_t size = 0;
        int64_t end = first;
        for (; end < run.nb_lig && size < kChunkBytes / 4; ++end) {
            place.push_back(size);
            size += run.dtab.line(end).count;
        }
        chunk.resize(static_cast<std::size_t>(size));
        split_in_bands(end - first, run.threads, [&](int64_t band, int64_t band_end) {
            int32_t low = kResultMinimumStart;
            int32_t high = kResultMaximumStart;
            for (int64_t k = band; k < band_end; ++k) {
                const Elevations::Span& held = run.dtab.line(first + k);
                if (held.count > 0)
                    round_result_line(held, held.first, held.count, chunk.data() + place[static_cast<std::size_t>(k)],
                                      low, high);
            }
            extremes.take(low, high);
        });
        for (int64_t k = 0; k < end - first; ++k) {
            const Elevations::Span& held = run.dtab.line(first + k);
            if (!writer.add(chunk.data() + place[static_cast<std::size_t>(k)], held.count,
                            (first + k) * columns + held.first))
                return false;
        }
        first = end;
    }
    return writer.flush();
}

// The raster of the result; false when it could not be written completely.
bool write_raster(Run& run, std::FILE* raster, Extremes& extremes) {
    const auto columns = static_cast<int64_t>(run.nb_col);
    bool every_pixel_held = true;
    for (int64_t i = 0; i < run.nb_lig && every_pixel_held; ++i) every_pixel_held = run.dtab.line(i).count == columns;
    const int fd = fileno(raster);
    const auto bytes = static_cast<off_t>(int64_t{run.nb_lig} * columns * static_cast<int64_t>(sizeof(int32_t)));
    if (every_pixel_held || std::fflush(raster) != 0 || ftruncate(fd, bytes) != 0)
        return write_every_line(run, raster, extremes);
    // The pixels no line holds are 0, and count among the extremes.
    extremes.take(0, 0);
    return write_held_columns(run, fd, extremes);
}

}  // namespace

Outcome save(Run& run, Console& console) {
    const FilePair& result = run.pair(Role::result);
    AtomicOutputs* const pair = run.result_writer.get();
    Extremes extremes;
    bool raster_written = pair != nullptr;
    if (raster_written && run.has_pixels()) raster_written = write_raster(run, pair->stream(0), extremes);
    if (!raster_written) return lost(run, console, result.raw_path);

    const int32_t descriptor[6] = {run.nb_lig, run.nb_col, 4, extremes.min, extremes.max, run.pix_size};
    if (!write_six_descriptor(pair->stream(1), descriptor)) return lost(run, console, result.descriptor_path);
    const AtomicOutputs::Result committed = pair->commit();
    run.result_writer.reset();
    for (const std::size_t k : committed.owner_changed)
        console.sayf("\n Aviso: no se pudo conservar el dueno del archivo %s: ahora es de este usuario \n",
                     (k == 0 ? result.raw_path : result.descriptor_path).c_str());
    const std::string& failed_path = committed.output == 0 ? result.raw_path : result.descriptor_path;
    if (committed.status == AtomicOutputs::Result::Status::done ||
        committed.status == AtomicOutputs::Result::Status::unsynced)
        run.result_state = ResultState::in_place;
    switch (committed.status) {
        case AtomicOutputs::Result::Status::done:
            return Outcome::go_on;
        case AtomicOutputs::Result::Status::unwritten:
            return lost(run, console, failed_path);
        case AtomicOutputs::Result::Status::unplaced:
            // The renames made were undone: the earlier pair is whole.
            console.sayf("\n No se pudo poner en su sitio el archivo %s: no se escribio ningun resultado y el "
                         "anterior queda como estaba \n",
                         failed_path.c_str());
            return Outcome::failed;
        case AtomicOutputs::Result::Status::mixed:
            run.result_state = ResultState::mixed;
            console.sayf("\n No se pudo poner en su sitio el archivo %s ni volver al resultado anterior: la "
                         "proxima ejecucion que lo escriba lo dejara entero (%s) \n",
                         failed_path.c_str(), committed.file.c_str());
            return Outcome::failed;
        case AtomicOutputs::Result::Status::unsynced:
            // Both files are the new ones, but a crash could still bring the earlier ones back.
            console.sayf("\n No se pudo asegurar en el disco el archivo %s: el resultado esta en su sitio, pero una "
                         "caida del sistema podria deshacerlo \n",
                         (committed.output == 0 ? result.raw_path : result.descriptor_path).c_str());
            return Outcome::failed;
    }
    return Outcome::failed;
}

// A whole console run, in-process, over tiny rasters made of the fuzz input:
// its answers and the bytes of the ten input files (descriptors and raw
// files of the slope model and the four masks), sections separated by a line
// "%%". Whatever they hold, the run ends (status 0, 1 or 2 never comes from a
// crash), no input changes, nothing is left beside the files (no temporary,
// no lock), an earlier result is replaced only by a complete one (status 0:
// a raster of 4 bytes per pixel and a six-line descriptor of its size), and
// stays whole otherwise.
//
// Rasters are kept tiny (a descriptor beyond 64 x 64 is skipped) and names
// may not hold a separator, so that a run stays inside its temporary folder.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/console_capture.hpp"
#include "console/driver.hpp"
#include "files/raster_pair.hpp"
#include "console/stages.hpp"

namespace fs = std::filesystem;

namespace {

constexpr const char* kFiles[] = {"valle_m4.txt", "valle_m4.raw", "bar.txt",   "bar.raw",  "cauce.txt",
                                  "cauce.raw",    "curva.txt",    "curva.raw", "lago.txt", "lago.raw"};
constexpr std::size_t kFileCount = std::size(kFiles);
const std::string kEarlier = "earlier result";

void check(bool holds) {
    if (!holds) std::abort();
}

// The run's folder: <tmp>/root/images/rio1, made once; "root" is emptied
// before each run, so that a sub-folder ".." still lies inside it. In memory
// (/dev/shm) where there is one: the writer's fsync then costs nothing.
const fs::path& root() {
    static const fs::path made = [] {
        const fs::path base = access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "lorvantide-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        setenv("LORVANTIDE_IMAGES", (fs::path(pattern) / "root/images").c_str(), 1);
        // Removed at exit: libFuzzer ends the process with exit().
        static const std::string remove_at_exit = pattern;
        std::atexit([] { fs::remove_all(remove_at_exit); });
        return fs::path(pattern) / "root";
    }();
    return made;
}

std::vector<std::string> sections(const std::string& input) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = input.find("\n%%\n", start);
        parts.push_back(input.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = end + 4;
    }
    return parts;
}

std::optional<std::string> contents(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write(const fs::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// The size a descriptor claims, when it claims one.
std::optional<std::pair<int32_t, int32_t>> claimed_size(const std::string& descriptor) {
    std::string copy = descriptor.empty() ? std::string(" ") : descriptor;
    std::FILE* f = fmemopen(copy.data(), copy.size(), "r");
    if (f == nullptr) return std::nullopt;
    int32_t size[2] = {};
    const int count = read_descriptor_ints(f, size, 2);
    std::fclose(f);
    if (count < 2) return std::nullopt;
    return std::pair{size[0], size[1]};
}

// Whether every entry under `folder` is one of `expected` (a temporary or a
// lock left behind is not). A result name may itself start with a dot.
bool only_expected_under(const fs::path& folder, const std::vector<fs::path>& expected) {
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        bool known = false;
        for (const fs::path& path : expected) known = known || entry.path().lexically_normal() == path.lexically_normal();
        if (!known) return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::vector<std::string> parts = sections(std::string(reinterpret_cast<const char*>(data), size));
    const std::string& answers = parts[0];
    if (answers.find_first_of("/\\") != std::string::npos) return 0;
    const auto slope = claimed_size(parts.size() > 1 ? parts[1] : std::string());
    if (slope && (slope->first > 64 || slope->second > 64)) return 0;

    const fs::path folder = root() / "images/rio1";
    fs::remove_all(root());
    fs::create_directories(folder);
    for (std::size_t k = 0; k < kFileCount && k + 1 < parts.size(); ++k) write(folder / kFiles[k], parts[k + 1]);
    write(folder / "resultado_m4.raw", kEarlier);
    write(folder / "resultado_m4.txt", kEarlier);

    int status = 0;
    std::string result_raw;
    std::string result_descriptor;
    {
        ConsoleCapture io(answers);
        ::Run run;
        run.threads = 1;
        status = run_program(run, io.console, kConsoleStages);
        result_raw = run.pair(Role::result).raw_path;
        result_descriptor = run.pair(Role::result).descriptor_path;
        if (status == 0) {
            // A complete result, of the slope model's size.
            const auto raster = contents(result_raw);
            check(raster && raster->size() == 4 * static_cast<std::size_t>(run.nb_lig) *
                                                   static_cast<std::size_t>(run.nb_col));
            const auto descriptor = contents(result_descriptor);
            check(descriptor && descriptor->rfind(std::to_string(run.nb_lig) + "\n" + std::to_string(run.nb_col) +
                                                      "\n4\n", 0) == 0);
        }
    }
    check(status == 0 || status == 1);
    // The inputs as they were written.
    for (std::size_t k = 0; k < kFileCount && k + 1 < parts.size(); ++k) check(contents(folder / kFiles[k]) == parts[k + 1]);
    // The earlier result, unless a run wrote that very pair.
    const bool replaced = status == 0 && fs::path(result_raw) == folder / "resultado_m4.raw";
    if (!replaced) {
        check(contents(folder / "resultado_m4.raw") == kEarlier);
        check(contents(folder / "resultado_m4.txt") == kEarlier);
    }
    std::vector<fs::path> expected = {root() / "images", folder, folder / "resultado_m4.raw", folder / "resultado_m4.txt"};
    for (std::size_t k = 0; k < kFileCount && k + 1 < parts.size(); ++k) expected.push_back(folder / kFiles[k]);
    if (status == 0) {
        expected.push_back(result_raw);
        expected.push_back(result_descriptor);
    }
    check(only_expected_under(root(), expected));
    return 0;
}

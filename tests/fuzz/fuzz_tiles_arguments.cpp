// The command-line reader of lorvantide-tiles on any words (one per line of
// the input): it returns the options or throws TilesError with its message,
// never anything else (an --answers file it names is read, never written).
// Each word is also read as a byte count and checked against a plain
// reading: digits, then at most one of K, M, G (powers of 1024, either case),
// more than zero and within 64 bits.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "tiles/batch.hpp"
#include "tiles/tiles_error.hpp"

namespace {

std::optional<uint64_t> plain_bytes(const std::string& text) {
    if (text.empty()) return std::nullopt;
    unsigned shift = 0;
    std::string digits = text;
    const char last = text.back();
    if (last == 'K' || last == 'k') shift = 10;
    if (last == 'M' || last == 'm') shift = 20;
    if (last == 'G' || last == 'g') shift = 30;
    if (shift != 0) digits.pop_back();
    if (digits.empty() || digits.size() > 18) return std::nullopt;
    unsigned __int128 value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    value <<= shift;
    if (value == 0 || value > UINT64_MAX) return std::nullopt;
    return static_cast<uint64_t>(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> words(1);
    for (size_t k = 0; k < size; ++k) {
        if (data[k] == '\n') words.emplace_back();
        else words.back().push_back(static_cast<char>(data[k]));
    }
    for (const std::string& word : words) {
        std::optional<uint64_t> read;
        try {
            read = parse_bytes("--memory", word);
        } catch (const TilesError&) {
        }
        if (read != plain_bytes(word)) std::abort();
    }
    try {
        const BatchOptions options = parse_batch_options(words);
        if (options.tile && *options.tile < 1) std::abort();
        if (options.threads && *options.threads < 1) std::abort();
    } catch (const TilesError&) {
    }
    return 0;
}

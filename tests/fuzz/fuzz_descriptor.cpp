// The descriptor reader on any bytes: the integers it takes are exactly those
// a plain reading of the same bytes finds (optional sign and decimal digits
// after white space, within the signed 32-bit range, up to six), nothing is
// read out of bounds, and a descriptor the dialog accepts starts with two
// sizes that are not negative.
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "files/input_checks.hpp"
#include "files/raster_pair.hpp"

namespace {

// The same grammar, read from memory by index.
int plain_reading(const std::vector<unsigned char>& bytes, int32_t* values, int wanted) {
    std::size_t at = 0;
    int count = 0;
    while (count < wanted) {
        while (at < bytes.size() && std::isspace(bytes[at])) ++at;
        if (at == bytes.size()) break;
        bool negative = false;
        if (bytes[at] == '+' || bytes[at] == '-') negative = bytes[at++] == '-';
        if (at == bytes.size() || !std::isdigit(bytes[at])) break;
        long long magnitude = 0;
        while (at < bytes.size() && std::isdigit(bytes[at])) {
            if (magnitude <= 2147483648LL) magnitude = magnitude * 10 + (bytes[at] - '0');
            ++at;
        }
        const long long value = negative ? -magnitude : magnitude;
        if (value > 2147483647LL || value < -2147483648LL) break;
        values[count++] = static_cast<int32_t>(value);
    }
    return count;
}

std::FILE* open_bytes(std::vector<unsigned char>& bytes) {
    if (!bytes.empty()) return fmemopen(bytes.data(), bytes.size(), "r");
    // fmemopen refuses an empty buffer: an empty file is a buffer of one byte,
    // already read.
    static unsigned char none = 0;
    std::FILE* f = fmemopen(&none, 1, "r");
    if (f != nullptr) std::fgetc(f);
    return f;
}

void check(bool holds) {
    if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::vector<unsigned char> bytes(data, data + size);
    for (const int wanted : {2, 6}) {
        int32_t read[6] = {7, 7, 7, 7, 7, 7};
        int32_t expected[6] = {7, 7, 7, 7, 7, 7};
        std::FILE* f = open_bytes(bytes);
        if (f == nullptr) return 0;
        const int count = read_descriptor_ints(f, read, wanted);
        std::fclose(f);
        check(count == plain_reading(bytes, expected, wanted));
        check(std::memcmp(read, expected, sizeof read) == 0);
    }
    // The dialogs' check: accepted only with two sizes that are not negative,
    // and then with the values read; refused, every value as it was.
    std::FILE* f = open_bytes(bytes);
    if (f == nullptr) return 0;
    int32_t values[6] = {7, 7, 7, 7, 7, 7};
    const InputCheck refused = read_descriptor_size(f, "fuzz.txt", values, 6);
    std::fclose(f);
    int32_t expected[6] = {7, 7, 7, 7, 7, 7};
    const int count = plain_reading(bytes, expected, 6);
    if (!refused) {
        check(count >= 2 && values[0] >= 0 && values[1] >= 0);
        check(std::memcmp(values, expected, sizeof values) == 0);
    } else {
        check(refused->kind == InputProblem::Kind::bad_descriptor && refused->path == "fuzz.txt");
        check(count < 2 || expected[0] < 0 || expected[1] < 0);
        check(values[0] == 7 && values[5] == 7);
    }
    return 0;
}

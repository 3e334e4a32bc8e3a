#include "tests/tiles/tile_scenarios.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

void draw_segment(std::vector<unsigned char>& mask, int32_t lines, int32_t columns, std::mt19937& random,
                  unsigned char tone) {
    std::uniform_int_distribution<int32_t> line(0, lines - 1), column(0, columns - 1);
    int32_t i = line(random), j = column(random);
    const int32_t length = std::uniform_int_distribution<int32_t>(3, 3 + (lines + columns) / 3)(random);
    const int di = std::uniform_int_distribution<int>(-1, 1)(random);
    const int dj = di == 0 ? 1 : std::uniform_int_distribution<int>(-1, 1)(random);
    for (int32_t k = 0; k < length && i >= 0 && i < lines && j >= 0 && j < columns; ++k, i += di, j += dj)
        mask[static_cast<std::size_t>(i) * static_cast<std::size_t>(columns) + static_cast<std::size_t>(j)] = tone;
}

}  // namespace

void TileScenario::write(const std::string& root) const {
    const std::string folder = root + "/" + answers.folder;
    write_elevation_pair(folder, answers.slope, lines, columns, slope);
    write_mask_pair(folder, answers.railing, lines, columns, railing);
    write_mask_pair(folder, answers.channel, lines, columns, zone);
    write_mask_pair(folder, answers.contour, lines, columns, contour);
    write_mask_pair(folder, answers.perimeter, lines, columns, perimeter);
}

TileScenario make_scenario(uint32_t seed, int32_t lines, int32_t columns, Flavour flavour, bool water_bodies) {
    std::mt19937 random(seed);
    TileScenario s;
    s.lines = lines;
    s.columns = columns;
    const auto pixels = static_cast<std::size_t>(lines) * static_cast<std::size_t>(columns);
    s.slope.resize(pixels);
    s.railing.assign(pixels, 0);
    s.zone.assign(pixels, 0);
    s.contour.assign(pixels, 0);
    s.perimeter.assign(pixels, 0);
    const unsigned char channel = 200, railing = 1, contour = 10, shore = 50;
    // Whole answers built as new strings (assigning a short literal to a
    // string trips a false -Wrestrict of GCC 12).
    s.answers.presence = std::to_string(water_bodies ? 1 : 0);
    s.answers.tono_cauce = std::to_string(channel);
    s.answers.tono_bar = std::to_string(railing);
    s.answers.tono_lim = std::to_string(contour);
    s.answers.tono_perim = std::to_string(shore);
    s.answers.alti_bar = std::to_string(std::uniform_int_distribution<int32_t>(-5, 40)(random));
    s.answers.alti_lim = std::to_string(std::uniform_int_distribution<int32_t>(500, 3000)(random));
    std::uniform_int_distribution<int32_t> noise(-30, 30);
    const double tilt_i = std::uniform_real_distribution<double>(-3, 3)(random);
    const double tilt_j = std::uniform_real_distribution<double>(-3, 3)(random);
    for (int32_t i = 0; i < lines; ++i)
        for (int32_t j = 0; j < columns; ++j)
            s.slope[static_cast<std::size_t>(i) * static_cast<std::size_t>(columns) + static_cast<std::size_t>(j)] =
                1000 + static_cast<int32_t>(tilt_i * i + tilt_j * j) + noise(random);
    if (pixels == 0) return s;

    const int segments = 1 + static_cast<int>(pixels / 400);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    switch (flavour) {
        case Flavour::blobs:
        case Flavour::tones_outside: {
            // Rectangles of channel (a good share of the raster, borders included).
            const int patches = 2 + static_cast<int>(pixels / 300);
            for (int p = 0; p < patches; ++p) {
                const int32_t i0 = std::uniform_int_distribution<int32_t>(-3, lines - 1)(random);
                const int32_t j0 = std::uniform_int_distribution<int32_t>(-3, columns - 1)(random);
                const int32_t h = std::uniform_int_distribution<int32_t>(1, 1 + lines / 2)(random);
                const int32_t w = std::uniform_int_distribution<int32_t>(1, 1 + columns / 2)(random);
                for (int32_t i = std::max(i0, 0); i < std::min(i0 + h, lines); ++i)
                    for (int32_t j = std::max(j0, 0); j < std::min(j0 + w, columns); ++j)
                        s.zone[static_cast<std::size_t>(i) * static_cast<std::size_t>(columns) +
                               static_cast<std::size_t>(j)] = channel;
            }
            for (int k = 0; k < segments; ++k) draw_segment(s.railing, lines, columns, random, railing);
            for (int k = 0; k < segments; ++k) draw_segment(s.contour, lines, columns, random, contour);
            for (int k = 0; k < segments; ++k) draw_segment(s.perimeter, lines, columns, random, shore);
            if (flavour == Flavour::tones_outside) {
                s.answers.tono_bar = std::to_string(257);
                s.answers.tono_perim = std::to_string(-1);
            }
            break;
        }
        case Flavour::everywhere:
            for (std::size_t k = 0; k < pixels; ++k) s.zone[k] = chance(random) < 0.97 ? channel : 0;
            for (int k = 0; k < segments; ++k) draw_segment(s.railing, lines, columns, random, railing);
            for (int k = 0; k < segments; ++k) draw_segment(s.contour, lines, columns, random, contour);
            for (int k = 0; k < segments; ++k) draw_segment(s.perimeter, lines, columns, random, shore);
            break;
        case Flavour::no_contour:
            for (std::size_t k = 0; k < pixels; ++k) s.zone[k] = chance(random) < 0.8 ? channel : 0;
            for (int k = 0; k < segments; ++k) draw_segment(s.railing, lines, columns, random, railing);
            break;
        case Flavour::far_boundary:
            // Railing in the first few columns only, the contour line in the
            // last ones: on a raster wider than the largest ring, the pixels
            // far from either miss it.
            for (std::size_t k = 0; k < pixels; ++k) s.zone[k] = chance(random) < 0.9 ? channel : 0;
            for (int32_t i = 0; i < lines; ++i) {
                const std::size_t row = static_cast<std::size_t>(i) * static_cast<std::size_t>(columns);
                s.railing[row + static_cast<std::size_t>(std::min(3, columns - 1))] = railing;
                s.contour[row + static_cast<std::size_t>(std::max(0, columns - 2))] = contour;
                if (i % 3 == 0) s.perimeter[row + static_cast<std::size_t>(columns / 3)] = shore;
            }
            break;
    }
    // With water bodies a lake shore is no channel, as in a real survey.
    if (water_bodies)
        for (std::size_t k = 0; k < pixels; ++k)
            if (s.perimeter[k] == shore && chance(random) < 0.5) s.zone[k] = 0;
    return s;
}

ChildRequest child_request(const std::string& binary, const std::vector<std::string>& arguments,
                           const std::string& work_dir, const std::string& input,
                           const std::map<std::string, std::string>& env) {
    return ChildRequest{binary, arguments, work_dir, input, env};
}

std::string console_binary() { return LORVANTIDE_BINARY; }
std::string tiles_binary() { return LORVANTIDE_TILES_BINARY; }

std::vector<std::string> warnings_in(const std::string& text) {
    std::vector<std::string> found;
    for (std::size_t at = text.find("Aviso:"); at != std::string::npos; at = text.find("Aviso:", at + 1))
        found.push_back(text.substr(at, text.find('\n', at) - at));
    return found;
}

ResultPair console_run(const TempFolder& root, const std::string& answers, const std::string& folder,
                       const std::string& result) {
    const BinaryRun run = run_child(child_request(console_binary(), {}, root.path().string(), answers,
                                                  {{"LORVANTIDE_IMAGES", root.path().string()}}));
    EXPECT_EQ(run.exit_status, 0) << run.out;
    const std::string base = root / (folder + "/" + result + "_m4");
    ResultPair pair{read_file(base + ".raw"), read_file(base + ".txt"), warnings_in(run.out)};
    std::filesystem::remove(base + ".raw");
    std::filesystem::remove(base + ".txt");
    return pair;
}

void expect_result_and_remove(const TempFolder& root, const std::string& folder, const BinaryRun& run,
                              const ResultPair& expected, const std::vector<std::string>& before,
                              const std::string& label) {
    ASSERT_EQ(run.exit_status, 0) << label << "\n" << run.err;
    const std::string base = root / (folder + "/resultado_m4");
    EXPECT_TRUE(read_file(base + ".raw") == expected.raw) << label;
    EXPECT_EQ(read_file(base + ".txt"), expected.descriptor) << label;
    EXPECT_EQ(warnings_in(run.err), expected.warnings) << label << "\n" << run.err;
    std::filesystem::remove(base + ".raw");
    std::filesystem::remove(base + ".txt");
    EXPECT_EQ(names_in(root / folder), before) << label;
}

std::string write_answers(const TempFolder& root, const std::string& answers, const std::string& name) {
    const std::string path = root / name;
    write_file(path, answers);
    return path;
}

#include "tests/scenarios/floodplain.hpp"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <stdexcept>

#include "tests/scenarios/scenario_drawing.hpp"
#include "tests/scenarios/scenario_files.hpp"

namespace {

constexpr ScenarioTones kTones{};
constexpr auto kZone = static_cast<unsigned char>(kTones.cauce);
constexpr auto kRailing = static_cast<unsigned char>(kTones.bar);
constexpr auto kContour = static_cast<unsigned char>(kTones.lim);
constexpr auto kPerimeter = static_cast<unsigned char>(kTones.perim);

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File create(const std::string& path) {
    File f(std::fopen(path.c_str(), "wb"));
    if (!f) throw std::runtime_error("cannot create " + path);
    return f;
}

void put(std::FILE* f, const void* data, std::size_t bytes, const std::string& what) {
    if (std::fwrite(data, 1, bytes, f) != bytes) throw std::runtime_error("cannot write " + what);
}

}  // namespace

double Floodplain::Valley::centre(double i) const {
    return centre_col + 500 * scale * std::sin(kTwoPi * i / (1500 * scale)) +
           150 * scale * std::sin(kTwoPi * i / (430 * scale) + 1.3);
}
double Floodplain::Valley::half_width(double i) const { return std::max(2.0, (15 + 5 * std::sin(i / 97.0)) * scale); }
double Floodplain::Valley::left_plain(double i) const {
    return (350 + 250 * std::sin(kTwoPi * i / (2300 * scale) + 0.4)) * scale;
}
double Floodplain::Valley::right_plain(double i) const {
    return (350 + 250 * std::sin(kTwoPi * i / (1700 * scale) + 2.1)) * scale;
}

Floodplain::Floodplain(int32_t lines, int32_t columns) : lines_(lines), columns_(columns) {
    const int valleys = std::max(1, static_cast<int>(columns / 4096.0 + 0.5));
    share_ = static_cast<double>(columns) / valleys;
    for (int v = 0; v < valleys; ++v)
        valleys_.push_back({std::min(1.0, std::min<double>(lines, share_) / 4096.0), (v + 0.5) * share_});
    std::mt19937_64 random(4096);
    const int count = std::max(1, static_cast<int>(6.0 * lines / 4096.0 * columns / 4096.0 + 0.5));
    for (int k = 0; k < count; ++k) {
        const Valley& vy = valleys_[static_cast<std::size_t>(k / 2) % valleys_.size()];
        const double i = std::uniform_real_distribution<double>(0.05, 0.95)(random) * lines;
        const double radius = std::max(3.0, std::uniform_real_distribution<double>(20, 60)(random) * vy.scale);
        const bool left = k % 2 == 0;
        const double j = left ? vy.left_bank(i) - vy.left_plain(i) / 2 : vy.right_bank(i) + vy.right_plain(i) / 2;
        lakes_.push_back({i, j, std::min(radius, (left ? vy.left_plain(i) : vy.right_plain(i)) / 3)});
    }
}

void Floodplain::line(int32_t i, FloodplainLine& out) const {
    const auto n = static_cast<std::size_t>(columns_);
    out.slope.assign(n, 0);
    out.railing.assign(n, 0);
    out.zone.assign(n, 0);
    out.contour.assign(n, 0);
    out.perimeter.assign(n, 0);
    const auto all = [](int64_t) { return true; };
    for (const Valley& vy : valleys_) {
        draw_curve_on_line(i, out.railing.data(), columns_, kRailing, [&](double x) { return vy.left_bank(x); }, all);
        draw_curve_on_line(i, out.railing.data(), columns_, kRailing, [&](double x) { return vy.right_bank(x); }, all);
        draw_curve_on_line(i, out.contour.data(), columns_, kContour, [&](double x) { return vy.left_contour(x); }, all);
        draw_curve_on_line(i, out.contour.data(), columns_, kContour, [&](double x) { return vy.right_contour(x); }, all);
    }
    for (const Lake& lake : lakes_) {
        if (i < static_cast<int64_t>(lake.i - lake.radius - 2) || i > lake.i + lake.radius + 2) continue;
        for (auto j = static_cast<int64_t>(lake.j - lake.radius - 2); j <= lake.j + lake.radius + 2; ++j) {
            if (j < 0 || j >= columns_) continue;
            const double d = std::hypot(i - lake.i, j - lake.j);
            const auto k = static_cast<std::size_t>(j);
            if (d < lake.radius + 0.75) out.zone[k] = 1;  // not channel: lake or shore
            if (std::abs(d - lake.radius) < 0.75) out.perimeter[k] = kPerimeter;
        }
    }
    std::vector<double> bounds(valleys_.size() * 5);
    for (std::size_t v = 0; v < valleys_.size(); ++v) {
        bounds[5 * v] = valleys_[v].centre(i);
        bounds[5 * v + 1] = valleys_[v].left_contour(i);
        bounds[5 * v + 2] = valleys_[v].left_bank(i);
        bounds[5 * v + 3] = valleys_[v].right_bank(i);
        bounds[5 * v + 4] = valleys_[v].right_contour(i);
    }
    for (int32_t j = 0; j < columns_; ++j) {
        const auto v = std::min<std::size_t>(valleys_.size() - 1, static_cast<std::size_t>(j / share_));
        const double c = bounds[5 * v], lc = bounds[5 * v + 1], lb = bounds[5 * v + 2];
        const double rb = bounds[5 * v + 3], rc = bounds[5 * v + 4];
        const bool plain = (j > lc + 1 && j < lb - 1) || (j > rb + 1 && j < rc - 1);
        const auto k = static_cast<std::size_t>(j);
        if (plain && out.zone[k] == 0 && out.railing[k] != kRailing && out.contour[k] != kContour)
            out.zone[k] = kZone;
        else if (out.zone[k] == 1)
            out.zone[k] = 0;
        out.slope[k] = 60000 - static_cast<int32_t>(12.0 * i * (4096.0 / lines_)) +
                       static_cast<int32_t>(4.0 * std::abs(j - c)) + noise(i, j, 25);
    }
}

std::string Floodplain::answers(const std::string& folder) const {
    return scenario_answers(Scenario{}, folder, "resultado");  // water bodies, the default tones
}

void Floodplain::write_files(const std::string& directory) const {
    std::filesystem::create_directories(directory);
    const std::string base = directory + "/";
    const File slope = create(base + "valle_m4.raw");
    const File railing = create(base + "bar.raw");
    const File zone = create(base + "cauce.raw");
    const File contour = create(base + "curva.raw");
    const File perimeter = create(base + "lago.raw");
    FloodplainLine row;
    int32_t low = INT32_MAX, high = INT32_MIN;
    const auto n = static_cast<std::size_t>(columns_);
    std::vector<unsigned char> bytes(4 * n);
    for (int32_t i = 0; i < lines_; ++i) {
        line(i, row);
        for (const int32_t v : row.slope) {
            low = std::min(low, v);
            high = std::max(high, v);
        }
        for (std::size_t k = 0; k < n; ++k)
            for (int b = 0; b < 4; ++b)
                bytes[4 * k + static_cast<std::size_t>(b)] =
                    static_cast<unsigned char>((static_cast<uint32_t>(row.slope[k]) >> (8 * b)) & 0xFFu);
        put(slope.get(), bytes.data(), bytes.size(), "valle_m4.raw");
        put(railing.get(), row.railing.data(), n, "bar.raw");
        put(zone.get(), row.zone.data(), n, "cauce.raw");
        put(contour.get(), row.contour.data(), n, "curva.raw");
        put(perimeter.get(), row.perimeter.data(), n, "lago.raw");
    }
    for (const File* f : {&slope, &railing, &zone, &contour, &perimeter})
        if (std::fflush(f->get()) != 0) throw std::runtime_error("cannot write under " + directory);
    const std::string size = std::to_string(lines_) + "\n" + std::to_string(columns_) + "\n";
    auto text = [&](const std::string& name, const std::string& content) {
        const File f = create(base + name);
        put(f.get(), content.data(), content.size(), name);
    };
    if (low > high) low = high = 0;  // no pixel
    text("valle_m4.txt", size + "4\n" + std::to_string(low) + "\n" + std::to_string(high) + "\n1\n");
    for (const char* mask : {"bar.txt", "cauce.txt", "curva.txt", "lago.txt"}) text(mask, size);
}

Scenario make_floodplain(int32_t lines, int32_t columns) {
    Scenario s;
    s.name = "dense";
    s.nb_lig = lines;
    s.nb_col = columns;
    s.allocate();
    const Floodplain floodplain(lines, columns);
    FloodplainLine row;
    for (int32_t i = 0; i < lines; ++i) {
        floodplain.line(i, row);
        const std::size_t at = s.at(i, 0);
        std::copy(row.slope.begin(), row.slope.end(), s.slope.begin() + static_cast<std::ptrdiff_t>(at));
        std::copy(row.railing.begin(), row.railing.end(), s.railing.begin() + static_cast<std::ptrdiff_t>(at));
        std::copy(row.zone.begin(), row.zone.end(), s.zone.begin() + static_cast<std::ptrdiff_t>(at));
        std::copy(row.contour.begin(), row.contour.end(), s.contour.begin() + static_cast<std::ptrdiff_t>(at));
        std::copy(row.perimeter.begin(), row.perimeter.end(), s.perimeter.begin() + static_cast<std::ptrdiff_t>(at));
    }
    return s;
}

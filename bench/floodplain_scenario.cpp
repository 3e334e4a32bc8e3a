#include "floodplain_scenario.hpp"

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "scenario_drawing.hpp"

namespace {

struct Valley {
    double scale;  // 1 for a valley 4096 pixels across (or more), less for smaller ones
    double centre_col;
    double centre(double i) const {
        return centre_col + 500 * scale * std::sin(kTwoPi * i / (1500 * scale)) +
               150 * scale * std::sin(kTwoPi * i / (430 * scale) + 1.3);
    }
    double half_width(double i) const { return std::max(2.0, (15 + 5 * std::sin(i / 97.0)) * scale); }
    double left_plain(double i) const { return (350 + 250 * std::sin(kTwoPi * i / (2300 * scale) + 0.4)) * scale; }
    double right_plain(double i) const { return (350 + 250 * std::sin(kTwoPi * i / (1700 * scale) + 2.1)) * scale; }
    double left_bank(double i) const { return centre(i) - half_width(i); }
    double right_bank(double i) const { return centre(i) + half_width(i); }
    double left_contour(double i) const { return left_bank(i) - left_plain(i); }
    double right_contour(double i) const { return right_bank(i) + right_plain(i); }
};

}  // namespace

Scenario make_floodplain(int32_t nb_lig, int32_t nb_col) {
    Scenario s;
    s.name = "dense";
    s.nb_lig = nb_lig;
    s.nb_col = nb_col;
    s.allocate();
    const ScenarioTones& tones = s.tones;

    // One valley per 4096 columns, side by side, so that a larger raster holds
    // more river of the same kind rather than wider floodplains.
    const int valleys = std::max(1, static_cast<int>(nb_col / 4096.0 + 0.5));
    const double share = static_cast<double>(nb_col) / valleys;
    std::vector<Valley> valley;
    for (int v = 0; v < valleys; ++v)
        valley.push_back({std::min(1.0, std::min<double>(nb_lig, share) / 4096.0), (v + 0.5) * share});
    const auto bar = static_cast<uint8_t>(tones.bar);
    const auto lim = static_cast<uint8_t>(tones.lim);
    for (const Valley& vy : valley) {
        draw_curve(s.railing, nb_lig, nb_col, bar, [&](double i) { return vy.left_bank(i); });
        draw_curve(s.railing, nb_lig, nb_col, bar, [&](double i) { return vy.right_bank(i); });
        draw_curve(s.contour, nb_lig, nb_col, lim, [&](double i) { return vy.left_contour(i); });
        draw_curve(s.contour, nb_lig, nb_col, lim, [&](double i) { return vy.right_contour(i); });
    }

    // Lakes in the floodplains, about six per 4096 x 4096.
    struct Lake {
        double i, j, radius;
    };
    std::vector<Lake> lakes;
    std::mt19937_64 random(4096);
    const int count = std::max(1, static_cast<int>(6.0 * nb_lig / 4096.0 * nb_col / 4096.0 + 0.5));
    for (int k = 0; k < count; ++k) {
        const Valley& vy = valley[static_cast<std::size_t>(k / 2) % valley.size()];
        const double i = std::uniform_real_distribution<double>(0.05, 0.95)(random) * nb_lig;
        const double radius = std::max(3.0, std::uniform_real_distribution<double>(20, 60)(random) * vy.scale);
        const bool left = k % 2 == 0;
        const double j = left ? vy.left_bank(i) - vy.left_plain(i) / 2 : vy.right_bank(i) + vy.right_plain(i) / 2;
        lakes.push_back({i, j, std::min(radius, (left ? vy.left_plain(i) : vy.right_plain(i)) / 3)});
    }
    const auto perim = static_cast<uint8_t>(tones.perim);
    for (const Lake& lake : lakes)
        for (auto i = static_cast<int64_t>(lake.i - lake.radius - 2); i <= lake.i + lake.radius + 2; ++i)
            for (auto j = static_cast<int64_t>(lake.j - lake.radius - 2); j <= lake.j + lake.radius + 2; ++j) {
                if (i < 0 || i >= nb_lig || j < 0 || j >= nb_col) continue;
                const double d = std::hypot(i - lake.i, j - lake.j);
                if (d < lake.radius + 0.75) s.zone[s.at(i, j)] = 1;  // not channel: lake or shore
                if (std::abs(d - lake.radius) < 0.75) s.perimeter[s.at(i, j)] = perim;
            }

    const auto cauce = static_cast<uint8_t>(tones.cauce);
    std::vector<double> bounds(valley.size() * 5);
    for (int32_t i = 0; i < nb_lig; ++i) {
        for (std::size_t v = 0; v < valley.size(); ++v) {
            bounds[5 * v] = valley[v].centre(i);
            bounds[5 * v + 1] = valley[v].left_contour(i);
            bounds[5 * v + 2] = valley[v].left_bank(i);
            bounds[5 * v + 3] = valley[v].right_bank(i);
            bounds[5 * v + 4] = valley[v].right_contour(i);
        }
        for (int32_t j = 0; j < nb_col; ++j) {
            // The valley of this column: the one whose centre is nearest.
            const auto v = std::min<std::size_t>(valley.size() - 1, static_cast<std::size_t>(j / share));
            const double c = bounds[5 * v], lc = bounds[5 * v + 1], lb = bounds[5 * v + 2];
            const double rb = bounds[5 * v + 3], rc = bounds[5 * v + 4];
            const bool plain = (j > lc + 1 && j < lb - 1) || (j > rb + 1 && j < rc - 1);
            const std::size_t p = s.at(i, j);
            if (plain && s.zone[p] == 0 && s.railing[p] != bar && s.contour[p] != lim)
                s.zone[p] = cauce;
            else if (s.zone[p] == 1)
                s.zone[p] = 0;
            // Down the valley 12 units per line, up its sides 4 per column.
            s.slope[p] = 60000 - static_cast<int32_t>(12.0 * i * (4096.0 / nb_lig)) +
                         static_cast<int32_t>(4.0 * std::abs(j - c)) + noise(i, j, 25);
        }
    }
    return s;
}

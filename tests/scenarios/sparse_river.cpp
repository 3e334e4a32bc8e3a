#include "tests/scenarios/sparse_river.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

#include "tests/scenarios/scenario_drawing.hpp"

namespace {

// The valley sides rise 2 dm per pixel from the water up to a rim this far
// away, where the plateau begins.
constexpr double kRim = 300;

// Widths are measured across the stream and turned into widths along a line
// of the raster by the stretch, so that the band keeps its width in bends.
struct River {
    double scale;  // 1 for a river 4096 pixels long and wide (or more), less for smaller ones
    double centre_col;
    double phase;
    double centre(double i) const {
        return centre_col + 600 * scale * std::sin(kTwoPi * i / (2400 * scale) + phase) +
               120 * scale * std::sin(kTwoPi * i / (900 * scale) + 1.1 + phase);
    }
    double drift(double i) const {  // d centre / d line
        return 600 * kTwoPi / 2400 * std::cos(kTwoPi * i / (2400 * scale) + phase) +
               120 * kTwoPi / 900 * std::cos(kTwoPi * i / (900 * scale) + 1.1 + phase);
    }
    double bend(double i) const {  // the sign of d drift / d line: the side the river turns to
        return -(600 / (2400.0 * 2400) * std::sin(kTwoPi * i / (2400 * scale) + phase) +
                 120 / (900.0 * 900) * std::sin(kTwoPi * i / (900 * scale) + 1.1 + phase));
    }
    double stretch(double i) const { return std::sqrt(1 + drift(i) * drift(i)); }
    double half_width(double i) const { return std::max(1.5, (7 + 3 * std::sin(i / (83 * scale))) * scale); }
    double left_plain(double i) const {
        return std::max(3.0, (15 + 7 * std::sin(kTwoPi * i / (1300 * scale) + 0.4)) * scale);
    }
    double right_plain(double i) const {
        return std::max(3.0, (15 + 7 * std::sin(kTwoPi * i / (1700 * scale) + 2.1)) * scale);
    }
    double left_bank(double i) const { return centre(i) - half_width(i) * stretch(i); }
    double right_bank(double i) const { return centre(i) + half_width(i) * stretch(i); }
    double left_contour(double i) const { return left_bank(i) - left_plain(i) * stretch(i); }
    double right_contour(double i) const { return right_bank(i) + right_plain(i) * stretch(i); }
    // Bed elevation in decimetres: 150 m of fall over 4096 lines from 2400 m.
    double bed(double i) const { return 24000 - 1500 * i / (4096 * scale); }
};

// A lake's shore is the circle of `radius`; its zone reaches `margin` further,
// up to its contour line. Around it the ground is level with its surface.
struct Lake {
    double i, j, radius, margin, level;
    double distance(double row, double col) const { return std::hypot(row - i, col - j); }
    double reach() const { return radius + margin; }
};

struct Geometry {
    std::vector<River> rivers;
    std::vector<Lake> lakes;
    double strip = 0;  // columns per river
    std::size_t river_index(int64_t j) const {
        return std::min<std::size_t>(rivers.size() - 1, static_cast<std::size_t>(static_cast<double>(j) / strip));
    }
    const River& river_of(int64_t j) const { return rivers[river_index(j)]; }
    // Whether (i, j) lies within `slack` outside some lake's shore, or its
    // contour line, or further in.
    bool inside_shore(int64_t i, int64_t j, double slack) const {
        for (const Lake& l : lakes)
            if (l.distance(static_cast<double>(i), static_cast<double>(j)) < l.radius + slack) return true;
        return false;
    }
    bool inside_reach(int64_t i, int64_t j, double slack) const {
        for (const Lake& l : lakes)
            if (l.distance(static_cast<double>(i), static_cast<double>(j)) < l.reach() + slack) return true;
        return false;
    }
};

Geometry plan(int32_t nb_lig, int32_t nb_col) {
    Geometry g;
    const int count = std::max(1, static_cast<int>(nb_col / 4096.0 + 0.5));
    g.strip = static_cast<double>(nb_col) / count;
    const double scale = std::min(1.0, std::min<double>(nb_lig, g.strip) / 4096.0);
    for (int v = 0; v < count; ++v) g.rivers.push_back({scale, (v + 0.5) * g.strip, 0.9 * v});
    // Two lakes per 4096 lines of each river: on it, then beside it.
    const int per_river = 2 * std::max(1, static_cast<int>(nb_lig / 4096.0 + 0.5));
    for (const River& r : g.rivers)
        for (int k = 0; k < per_river; ++k) {
            const double i = std::floor(nb_lig * (k + 0.5) / per_river);
            const double margin = std::max(4.0, 24 * r.scale);
            if (k % 2 == 0) {
                const double radius = 240 * r.scale;
                g.lakes.push_back({i, r.centre(i), radius, margin, r.bed(i)});
            } else {
                // Beside the stream, on the outside of its bend, a little off its bank.
                const double radius = 90 * r.scale;
                const double side = r.bend(i) > 0 ? -1 : 1;
                const double off = (r.half_width(i) + radius + std::max(3.0, 12 * r.scale)) * r.stretch(i);
                g.lakes.push_back({i, r.centre(i) + side * off, radius, margin, r.bed(i)});
            }
        }
    return g;
}

}  // namespace

Scenario make_sparse_river(int32_t nb_lig, int32_t nb_col) {
    Scenario s;
    s.name = "sparse";
    s.nb_lig = nb_lig;
    s.nb_col = nb_col;
    s.tones.alti_bar = 15;     // 1.5 m
    s.tones.alti_lim = 24500;  // 2450 m
    s.allocate();
    const Geometry g = plan(nb_lig, nb_col);
    const auto bar = static_cast<uint8_t>(s.tones.bar);
    const auto lim = static_cast<uint8_t>(s.tones.lim);
    const auto perim = static_cast<uint8_t>(s.tones.perim);

    // Banks stop at the lake shores; the river's contour lines give way to
    // those of the lakes.
    const auto off_shore = [&](int32_t i, int64_t j) { return !g.inside_shore(i, j, 0.75); };
    const auto off_reach = [&](int32_t i, int64_t j) { return !g.inside_reach(i, j, 0.75); };
    for (const River& r : g.rivers) {
        draw_curve(s.railing, nb_lig, nb_col, bar, [&](double i) { return r.left_bank(i); }, off_shore);
        draw_curve(s.railing, nb_lig, nb_col, bar, [&](double i) { return r.right_bank(i); }, off_shore);
        draw_curve(s.contour, nb_lig, nb_col, lim, [&](double i) { return r.left_contour(i); }, off_reach);
        draw_curve(s.contour, nb_lig, nb_col, lim, [&](double i) { return r.right_contour(i); }, off_reach);
    }
    for (const Lake& l : g.lakes) {
        const auto top = std::max<int64_t>(0, static_cast<int64_t>(l.i - l.reach() - 2));
        const auto bottom = std::min<int64_t>(nb_lig - 1, static_cast<int64_t>(l.i + l.reach() + 2));
        const auto left = std::max<int64_t>(0, static_cast<int64_t>(l.j - l.reach() - 2));
        const auto right = std::min<int64_t>(nb_col - 1, static_cast<int64_t>(l.j + l.reach() + 2));
        for (int64_t i = top; i <= bottom; ++i)
            for (int64_t j = left; j <= right; ++j) {
                const double d = l.distance(static_cast<double>(i), static_cast<double>(j));
                if (std::abs(d - l.radius) < 0.75) s.perimeter[s.at(i, j)] = perim;
                if (std::abs(d - l.reach()) >= 0.75) continue;
                // The lake's contour line only outside the river's band and the other lakes.
                const River& r = g.river_of(j);
                const double di = static_cast<double>(i), dj = static_cast<double>(j);
                bool other = false;
                for (const Lake& o : g.lakes) other = other || (&o != &l && o.distance(di, dj) < o.reach());
                if (!other && (dj < r.left_contour(di) || dj > r.right_contour(di))) s.contour[s.at(i, j)] = lim;
            }
    }

    // Line by line: each river's curves once per line, then its pixels with
    // only the lakes that can reach them.
    const auto cauce = static_cast<uint8_t>(s.tones.cauce);
    struct Across {
        double centre, stretch, half_width, left_contour, left_bank, right_bank, right_contour, bed;
    };
    std::vector<Across> across(g.rivers.size());
    std::vector<const Lake*> near;
    for (int32_t i = 0; i < nb_lig; ++i) {
        const double di = i;
        for (std::size_t v = 0; v < g.rivers.size(); ++v) {
            const River& r = g.rivers[v];
            across[v] = {r.centre(di),    r.stretch(di),    r.half_width(di),    r.left_contour(di),
                         r.left_bank(di), r.right_bank(di), r.right_contour(di), r.bed(di)};
        }
        near.clear();
        for (const Lake& l : g.lakes)
            if (std::abs(di - l.i) < l.radius + kRim) near.push_back(&l);
        for (int64_t j = 0; j < nb_col; ++j) {
            const Across& a = across[g.river_index(j)];
            const std::size_t p = s.at(i, j);
            const double dj = static_cast<double>(j);
            // Distance to open water, across the stream or from a lake shore,
            // and the level of the ground there.
            double water = std::max(0.0, std::abs(dj - a.centre) / a.stretch - a.half_width);
            double base = a.bed;
            bool in_lake = false, in_reach = false;
            for (const Lake* l : near) {
                if (std::abs(dj - l->j) >= l->radius + kRim) continue;
                const double d = l->distance(di, dj);
                in_lake = in_lake || d < l->radius;
                in_reach = in_reach || d < l->reach();
                water = std::min(water, std::max(0.0, d - l->radius));
                // Level around the lake, blending into the valley's fall a radius away.
                const double blend = std::clamp((d - l->reach()) / l->radius, 0.0, 1.0);
                base = l->level + (base - l->level) * blend;
            }
            const bool on_line = s.railing[p] == bar || s.contour[p] == lim || s.perimeter[p] == perim;
            const bool in_band = dj > a.left_contour && dj < a.right_contour;
            const bool in_stream = dj >= a.left_bank && dj <= a.right_bank;
            if (!on_line && (in_lake || ((in_band || in_reach) && !in_stream))) s.zone[p] = cauce;
            s.slope[p] = static_cast<int32_t>(base + 2 * std::min(water, kRim)) + noise(i, static_cast<int32_t>(j), 4);
        }
    }
    return s;
}

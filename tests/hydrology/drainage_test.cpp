// The conditioned model that drains (hydrology/drainage.hpp), judged by its
// promises on many random models: valleys with a meandering river, a second
// bank, a lake and holes, and models whose masks are noise. Each promise is
// checked on the output by a plain loop of its own, not by the pass's code.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>

#include "hydrology/drainage.hpp"
#include "hydrology/drainage_measures.hpp"

namespace {

struct Model {
    Raster<double> terrain, channel;
    Raster<uint8_t> valid, zone, river, lakes;
    DrainageParameters parameters;
};

ValueLattice random_lattice(std::mt19937& random) {
    switch (std::uniform_int_distribution<int>(0, 2)(random)) {
        case 0: return {ValueLattice::Raw::real32, 1.0, 0.0};
        case 1: return {ValueLattice::Raw::integer, 0.1, 100.0};
        default: return {ValueLattice::Raw::real64, 1.0, 0.0};
    }
}

// A valley falling toward the last line with a river meandering down it, its
// second bank two columns east, a lake on it, holes, and a channel that stands
// above or below the terrain by up to `relief`; or, with `noise`, every mask
// drawn at random.
Model random_model(std::mt19937& random, bool noise) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const int32_t lines = std::uniform_int_distribution<int32_t>(3, 40)(random);
    const int32_t columns = std::uniform_int_distribution<int32_t>(3, 40)(random);
    Model m;
    for (auto* r : {&m.terrain, &m.channel}) *r = Raster<double>(lines, columns);
    for (auto* r : {&m.valid, &m.zone, &m.river, &m.lakes}) *r = Raster<uint8_t>(lines, columns);
    const double fall = 0.5 * unit(random), side = 0.2 + unit(random), relief = 3.0 * unit(random);
    const double amplitude = columns / 4.0 * unit(random), half_width = 2.0 + columns / 3.0 * unit(random);
    const double holes = 0.1 * unit(random);
    const bool lake = unit(random) < 0.5, second_bank = unit(random) < 0.5;
    const int32_t lake_line = std::uniform_int_distribution<int32_t>(0, lines - 1)(random);
    for (int32_t i = 0; i < lines; ++i) {
        const double centre = columns / 2.0 + amplitude * std::sin(i / 5.0);
        const auto river_column = static_cast<int32_t>(std::lround(centre));
        for (int32_t j = 0; j < columns; ++j) {
            const std::size_t k = m.terrain.index(i, j);
            const double across = std::fabs(j - centre);
            m.terrain[k] = 100.0 - fall * i + side * across + 0.7 * unit(random);
            m.channel[k] = m.terrain[k] + relief * (2.0 * unit(random) - 1.0);
            m.valid[k] = unit(random) >= holes;
            if (noise) {
                m.zone[k] = unit(random) < 0.8;
                m.river[k] = unit(random) < 0.15;
                m.lakes[k] = unit(random) < 0.05;
            } else {
                m.zone[k] = across < half_width;
                m.river[k] = j == river_column || (second_bank && j == river_column + 2);
                m.lakes[k] = lake && std::abs(i - lake_line) <= 1 && std::abs(j - river_column) <= 2;
            }
        }
    }
    m.parameters.railing_height = unit(random) < 0.5 ? 0.0 : 1.0;
    m.parameters.blend_width = std::uniform_int_distribution<int32_t>(0, 4)(random);
    m.parameters.lattice = random_lattice(random);
    // A model read from a band holds the band's values.
    for (std::size_t k = 0; k < m.terrain.size(); ++k) {
        m.terrain[k] = m.parameters.lattice.nearest(m.terrain[k]);
        m.channel[k] = m.parameters.lattice.nearest(m.channel[k]);
    }
    return m;
}

Raster<double> condition(const Model& m, DrainageReport& report) {
    return drained_dem({m.terrain, m.valid, m.channel, m.zone, m.river, m.lakes}, m.parameters, report);
}

bool network(const Model& m, std::size_t k) { return m.zone[k] && (m.river[k] || m.lakes[k]); }
bool river(const Model& m, std::size_t k) { return m.zone[k] && m.river[k] && !m.lakes[k]; }

// The promises of drainage.hpp on one model; the failures name the pixel.
void expect_promises(const Model& m, const Raster<double>& z, const DrainageReport& report, const std::string& label) {
    const ValueLattice& lattice = m.parameters.lattice;
    int failures = 0;
    auto fail = [&](const std::string& what, std::size_t k) {
        if (++failures <= 5) ADD_FAILURE() << label << ": " << what << " at pixel " << k;
    };
    for (std::size_t k = 0; k < z.size(); ++k) {
        if (!m.zone[k]) {
            if (z[k] != m.terrain[k]) fail("a pixel outside the zone changed", k);
            continue;
        }
        if (lattice.nearest(z[k]) != z[k]) fail("a value the band cannot hold", k);
        bool lower_network = false, lower_other = false, higher_network = false, data_outside = false;
        bool drains_off = on_raster_edge(z, k);
        double steepest_network = 0.0, steepest_other = 0.0;
        for_each_neighbour(z, k, [&](std::size_t n, const Step& step) {
            if (!m.zone[n] && !m.valid[n]) {
                drains_off = true;
                return;
            }
            data_outside |= !m.zone[n];
            const double slope = (z[k] - z[n]) / step.length;
            if (network(m, n)) {
                lower_network |= z[n] < z[k];
                higher_network |= z[n] >= z[k];
                steepest_network = std::max(steepest_network, slope);
            } else {
                lower_other |= z[n] < z[k];
                if (m.zone[n]) steepest_other = std::max(steepest_other, slope);
            }
        });
        if (river(m, k)) {
            if (z[k] > m.terrain[k] || z[k] > m.channel[k]) fail("a river pixel above the terrain or the channel", k);
            // Along the river: a lower river neighbour, and no steeper way out inside the zone.
            if (lower_network && steepest_other > steepest_network) fail("a river pixel drains off the river", k);
        } else if (!network(m, k)) {
            if (higher_network && !lower_network && [&] {
                    bool beside_lower_or_equal = false;
                    for_each_neighbour(z, k, [&](std::size_t n, const Step&) {
                        beside_lower_or_equal |= network(m, n) && z[n] >= z[k];
                    });
                    return beside_lower_or_equal;
                }())
                fail("a pixel beside the river not above it", k);
            if (!drains_off && !lower_network && !lower_other) fail("a closed depression or flat", k);
        }
    }
    // Each connected piece of the network falls to its outlets: every river
    // pixel has a lower network neighbour, but where the river leaves the zone
    // or the raster (where an outlet is) or at the lowest of a piece.
    std::vector<int> piece(z.size(), -1);
    int pieces = 0;
    for (std::size_t k = 0; k < z.size(); ++k) {
        if (!network(m, k) || piece[k] >= 0) continue;
        std::vector<std::size_t> pixels{k};
        piece[k] = pieces;
        double lowest = z[k];
        for (std::size_t p = 0; p < pixels.size(); ++p)
            for_each_neighbour(z, pixels[p], [&](std::size_t n, const Step&) {
                if (network(m, n) && piece[n] < 0) {
                    piece[n] = pieces;
                    pixels.push_back(n);
                    lowest = std::min(lowest, z[n]);
                }
            });
        for (std::size_t p : pixels) {
            bool edge = on_raster_edge(z, p);
            for_each_neighbour(z, p, [&](std::size_t n, const Step&) { edge |= !m.zone[n] && (m.river[n] || m.lakes[n]); });
            if (z[p] == lowest || m.lakes[p] || edge) continue;
            bool lower = false;
            for_each_neighbour(z, p, [&](std::size_t n, const Step&) { lower |= network(m, n) && z[n] < z[p]; });
            if (!lower) fail("a river pixel with no way down the river", p);
        }
        // A lake is flat, at or below its shore.
        for (std::size_t p : pixels)
            for_each_neighbour(z, p, [&](std::size_t n, const Step&) {
                if (m.zone[p] && m.lakes[p] && m.zone[n] && m.lakes[n] && z[n] != z[p]) fail("a lake that is not flat", p);
            });
        ++pieces;
    }
    int64_t river_pixels = 0;
    for (std::size_t k = 0; k < z.size(); ++k) river_pixels += river(m, k);
    EXPECT_EQ(report.river_pixels, river_pixels) << label;
    EXPECT_EQ(failures, 0) << label;
}

TEST(Drainage, KeepsItsPromisesOnRandomModels) {
    std::mt19937 random(1807);
    for (int n = 0; n < 400; ++n) {
        const Model m = random_model(random, n % 4 == 3);
        DrainageReport report;
        const Raster<double> z = condition(m, report);
        expect_promises(m, z, report, "model " + std::to_string(n));
    }
}

// Given its own output as the channel, with no blending, the pass changes nothing.
TEST(Drainage, IsIdempotentWithoutBlending) {
    std::mt19937 random(44);
    for (int n = 0; n < 200; ++n) {
        Model m = random_model(random, n % 3 == 2);
        m.parameters.blend_width = 0;
        DrainageReport report;
        const Raster<double> once = condition(m, report);
        m.channel = once;
        const Raster<double> twice = condition(m, report);
        int differing = 0;
        for (std::size_t k = 0; k < once.size(); ++k) differing += once[k] != twice[k];
        EXPECT_EQ(differing, 0) << "model " << n;
        EXPECT_EQ(report.raised, 0) << "model " << n;
    }
}

// The blend: the zone's pixels beside the terrain take its value, unless the
// depressions needed them, and no breach cuts below the terrain there.
TEST(Drainage, TheZonesEdgeMeetsTheTerrain) {
    std::mt19937 random(9);
    for (int n = 0; n < 200; ++n) {
        Model m = random_model(random, false);
        std::fill(m.valid.values.begin(), m.valid.values.end(), 1);
        std::fill(m.river.values.begin(), m.river.values.end(), 0);
        std::fill(m.lakes.values.begin(), m.lakes.values.end(), 0);
        m.parameters.blend_width = 3;
        DrainageReport report;
        const Raster<double> z = condition(m, report);
        for (std::size_t k = 0; k < z.size(); ++k) {
            if (!m.zone[k]) continue;
            bool beside_terrain = false;
            for_each_neighbour(z, k, [&](std::size_t q, const Step&) { beside_terrain |= !m.zone[q]; });
            // The depressions' pass may raise it; never lower it below the terrain.
            if (!beside_terrain) continue;
            EXPECT_GE(z[k], m.terrain[k]) << "model " << n << " pixel " << k;
            if (report.raised == 0 && report.breached == 0) {
                EXPECT_EQ(z[k], m.terrain[k]) << "model " << n << " pixel " << k;
            }
        }
    }
}

}  // namespace

namespace {

// The lattice of values a band holds: every value it gives is one the band
// stores exactly, and its steps are the smallest the band tells apart.
TEST(ValueLattice, GivesOnlyValuesTheBandHoldsAndItsSmallestSteps) {
    std::mt19937 random(5);
    std::uniform_real_distribution<double> value(-500.0, 5000.0);
    const ValueLattice lattices[] = {{ValueLattice::Raw::real32, 1.0, 0.0},
                                     {ValueLattice::Raw::real32, 0.5, -20.0},
                                     {ValueLattice::Raw::integer, 0.1, 100.0},
                                     {ValueLattice::Raw::integer, -2.0, 0.0},
                                     {ValueLattice::Raw::real64, 1.0, 0.0}};
    for (const ValueLattice& lattice : lattices)
        for (int n = 0; n < 2000; ++n) {
            const double v = value(random);
            const double held = lattice.at_most(v);
            ASSERT_LE(held, v);
            ASSERT_GT(lattice.above(held), v);
            ASSERT_EQ(lattice.nearest(held), held);
            ASSERT_LT(lattice.below(held), held);
            ASSERT_EQ(lattice.below(lattice.above(held)), held);
            ASSERT_EQ(lattice.nearest(lattice.above(held)), lattice.above(held));
        }
    // One float step, one integer step.
    const ValueLattice single(ValueLattice::Raw::real32, 1.0, 0.0);
    EXPECT_EQ(single.above(200.0), static_cast<double>(std::nextafter(200.0f, 1000.0f)));
    EXPECT_DOUBLE_EQ(ValueLattice(ValueLattice::Raw::integer, 0.1, 100.0).above(200.0), 200.1);
}

// The figures of drainage_measures.hpp against the pass: no rise on the
// drained models, and rises on the burned channels they came from, so the
// figure can tell the two apart.
TEST(DrainageMeasures, SeeNoRiseAfterThePassAndRisesBefore) {
    std::mt19937 random(77);
    int64_t rises_before = 0;
    for (int n = 0; n < 150; ++n) {
        const Model m = random_model(random, n % 4 == 3);
        DrainageReport report;
        const Raster<double> z = condition(m, report);
        // The zone holds values where the terrain has none.
        Raster<uint8_t> written = m.valid;
        Raster<double> burned = m.terrain;
        for (std::size_t k = 0; k < z.size(); ++k)
            if (m.zone[k]) {
                burned[k] = m.channel[k];
                written[k] = 1;
            }
        const DrainageMeasures after = measure_drainage(z, written, m.terrain, m.valid, m.zone, m.river, m.lakes);
        const DrainageMeasures before =
            measure_drainage(burned, written, m.terrain, m.valid, m.zone, m.river, m.lakes);
        EXPECT_EQ(after.rises, 0) << "model " << n;
        EXPECT_EQ(after.river_pixels, report.river_pixels) << "model " << n;
        rises_before += before.rises;
    }
    EXPECT_GT(rises_before, 100);
}

}  // namespace

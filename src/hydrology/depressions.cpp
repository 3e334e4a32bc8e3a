#include "hydrology/depressions.hpp"

#include <algorithm>
#include <functional>
#include <limits>
#include <optional>
#include <queue>
#include <utility>

namespace {

constexpr double kInfinity = std::numeric_limits<double>::infinity();

// A pixel waiting in a priority queue: the lowest value first, then the first in line order.
using Waiting = std::pair<double, std::size_t>;
using LowestFirst = std::priority_queue<Waiting, std::vector<Waiting>, std::greater<Waiting>>;

// Every drain beside a free pixel, at its own value.
void push_drains(const Raster<double>& surface, const std::vector<DrainRole>& roles, LowestFirst& queue,
                 std::vector<uint8_t>& visited) {
    for (std::size_t k = 0; k < surface.size(); ++k) {
        if (roles[k] != DrainRole::drain) continue;
        bool beside_free = false;
        for_each_neighbour(surface, k, [&](std::size_t n, const Step&) { beside_free |= roles[n] == DrainRole::free; });
        if (!beside_free) continue;
        visited[k] = 1;
        queue.push({surface[k], k});
    }
}

// The plain Priority-Flood fill: the level each free pixel fills to.
std::vector<double> filled_levels(const Raster<double>& surface, const std::vector<DrainRole>& roles) {
    std::vector<double> level = surface.values;
    std::vector<uint8_t> visited(surface.size(), 0);
    LowestFirst queue;
    push_drains(surface, roles, queue, visited);
    while (!queue.empty()) {
        const double value = queue.top().first;  // named, not bound: clang 14 cannot capture bindings
        const std::size_t k = queue.top().second;
        queue.pop();
        for_each_neighbour(surface, k, [&](std::size_t n, const Step&) {
            if (visited[n] || roles[n] != DrainRole::free) return;
            visited[n] = 1;
            level[n] = std::max(surface[n], value);
            queue.push({level[n], n});
        });
    }
    return level;
}

struct Depression {
    std::size_t pit = 0;      // its lowest pixel
    double fill_cost = 0.0;   // what filling it raises, summed over its pixels
    int32_t id = 0;
};

// The least-cost breach of one depression (Lindsay 2016): a path from its pit
// to a lower pixel that drains, lowered to fall one lattice step per pixel at
// least. Applied, and true, when it keeps every pixel at or above its lowest
// allowed value and lowers less in total than filling would raise.
class Breacher {
public:
    Breacher(Raster<double>& surface, const std::vector<DrainRole>& roles, const std::vector<double>& lowest,
             const std::vector<double>& level, const std::vector<int32_t>& depression_of, const ValueLattice& lattice)
        : surface_(surface),
          roles_(roles),
          lowest_(lowest),
          level_(level),
          depression_of_(depression_of),
          lattice_(lattice),
          cost_(surface.size(), kInfinity),
          from_(surface.size(), 0) {}

    bool breach(const Depression& depression, std::size_t size) {
        const std::size_t pit = depression.pit;
        const double bottom = surface_[pit];
        // A tiny cost per step makes the shortest of equally cheap paths win.
        const double per_step = 1e-9 * std::max(1.0, depression.fill_cost);
        const std::size_t budget = 64 * size + 4096;
        LowestFirst queue;
        touch(pit, 0.0, pit);
        queue.push({0.0, pit});
        std::optional<std::size_t> end;
        std::size_t popped = 0;
        while (!queue.empty() && ++popped <= budget) {
            const double cost = queue.top().first;  // named, not bound: clang 14 cannot capture bindings
            const std::size_t k = queue.top().second;
            queue.pop();
            if (cost > cost_[k]) continue;
            if (cost > depression.fill_cost) break;
            if (k != pit && surface_[k] < bottom &&
                (roles_[k] == DrainRole::drain || (depression_of_[k] < 0 && level_[k] == surface_[k]))) {
                end = k;
                break;
            }
            if (k != pit && roles_[k] == DrainRole::drain) continue;  // never crossed
            for_each_neighbour(surface_, k, [&](std::size_t n, const Step& step) {
                if (roles_[n] == DrainRole::closed) return;
                if (roles_[n] == DrainRole::drain && !(surface_[n] < bottom)) return;
                const double next = cost + (std::max(0.0, surface_[n] - bottom) + per_step) * step.length;
                if (next < cost_[n]) {
                    touch(n, next, k);
                    queue.push({next, n});
                }
            });
        }
        bool done = false;
        if (end) done = lower_path(pit, *end, depression.fill_cost);
        for (std::size_t k : touched_) cost_[k] = kInfinity;
        touched_.clear();
        return done;
    }

private:
    void touch(std::size_t k, double cost, std::size_t from) {
        if (cost_[k] == kInfinity) touched_.push_back(k);
        cost_[k] = cost;
        from_[k] = from;
    }

    bool lower_path(std::size_t pit, std::size_t end, double fill_cost) {
        std::vector<std::size_t> path;
        for (std::size_t k = from_[end]; k != pit; k = from_[k]) path.push_back(k);
        std::reverse(path.begin(), path.end());
        std::vector<double> values(path.size());
        double value = surface_[pit];
        double lowered = 0.0;
        for (std::size_t p = 0; p < path.size(); ++p) {
            const std::size_t k = path[p];
            value = std::min(surface_[k], lattice_.below(value));
            if (value < lowest_[k]) return false;
            lowered += surface_[k] - value;
            values[p] = value;
        }
        if (!(value > surface_[end]) || lowered > fill_cost) return false;
        for (std::size_t p = 0; p < path.size(); ++p) surface_[path[p]] = values[p];
        return true;
    }

    Raster<double>& surface_;
    const std::vector<DrainRole>& roles_;
    const std::vector<double>& lowest_;
    const std::vector<double>& level_;
    const std::vector<int32_t>& depression_of_;
    const ValueLattice& lattice_;
    std::vector<double> cost_;
    std::vector<std::size_t> from_;
    std::vector<std::size_t> touched_;
};

// Priority-Flood with a lattice step: each free pixel, reached from a lower
// one, is set one step above it when it is not already higher.
void fill_with_steps(Raster<double>& surface, const std::vector<DrainRole>& roles, const ValueLattice& lattice,
                     DrainageReport& report) {
    std::vector<uint8_t> visited(surface.size(), 0);
    LowestFirst queue;
    push_drains(surface, roles, queue, visited);
    while (!queue.empty()) {
        const double value = queue.top().first;  // named, not bound: clang 14 cannot capture bindings
        const std::size_t k = queue.top().second;
        queue.pop();
        for_each_neighbour(surface, k, [&](std::size_t n, const Step&) {
            if (visited[n] || roles[n] != DrainRole::free) return;
            visited[n] = 1;
            if (!(surface[n] > value)) {
                const double raised = lattice.above(value);
                ++report.raised;
                report.highest_raise = std::max(report.highest_raise, raised - surface[n]);
                surface[n] = raised;
            }
            queue.push({surface[n], n});
        });
    }
}

}  // namespace

void drain_depressions(Raster<double>& surface, const std::vector<DrainRole>& roles, const std::vector<double>& lowest,
                       const ValueLattice& lattice, DrainageReport& report) {
    // The depressions: 8-connected free pixels that the plain fill raises.
    const std::vector<double> level = filled_levels(surface, roles);
    std::vector<int32_t> depression_of(surface.size(), -1);
    std::vector<Depression> depressions;
    std::vector<std::size_t> sizes;
    for (std::size_t k = 0; k < surface.size(); ++k) {
        if (roles[k] != DrainRole::free || !(level[k] > surface[k]) || depression_of[k] >= 0) continue;
        Depression depression{k, 0.0, static_cast<int32_t>(depressions.size())};
        std::vector<std::size_t> pixels{k};
        depression_of[k] = depression.id;
        for (std::size_t next = 0; next < pixels.size(); ++next) {
            const std::size_t p = pixels[next];
            depression.fill_cost += level[p] - surface[p];
            if (surface[p] < surface[depression.pit] || (surface[p] == surface[depression.pit] && p < depression.pit))
                depression.pit = p;
            for_each_neighbour(surface, p, [&](std::size_t n, const Step&) {
                if (roles[n] == DrainRole::free && level[n] > surface[n] && depression_of[n] < 0) {
                    depression_of[n] = depression.id;
                    pixels.push_back(n);
                }
            });
        }
        depressions.push_back(depression);
        sizes.push_back(pixels.size());
    }
    report.depressions += static_cast<int64_t>(depressions.size());

    // The lowest first, so that a breach may end in one already drained.
    std::vector<std::size_t> order(depressions.size());
    for (std::size_t d = 0; d < order.size(); ++d) order[d] = d;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const double za = surface[depressions[a].pit];
        const double zb = surface[depressions[b].pit];
        return za < zb || (za == zb && depressions[a].pit < depressions[b].pit);
    });
    Breacher breacher(surface, roles, lowest, level, depression_of, lattice);
    for (std::size_t d : order) report.breached += breacher.breach(depressions[d], sizes[d]);

    fill_with_steps(surface, roles, lattice, report);
}

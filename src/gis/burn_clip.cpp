#include "gis/burn_clip.hpp"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace {

struct Point {
    double x;
    double y;
};

bool inside(const Point& p, const BurnBox& box) {
    return p.x >= box.min_x && p.x <= box.max_x && p.y >= box.min_y && p.y <= box.max_y;
}

// Liang and Barsky: the part [t0, t1] of the segment a + t (b - a), 0 <= t <= 1,
// inside the box; false when none is.
bool clip_segment(const Point& a, const Point& b, const BurnBox& box, double& t0, double& t1) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const std::array<std::pair<double, double>, 4> edges = {
        std::pair{-dx, a.x - box.min_x}, {dx, box.max_x - a.x}, {-dy, a.y - box.min_y}, {dy, box.max_y - a.y}};
    t0 = 0.0;
    t1 = 1.0;
    for (const auto& [p, q] : edges) {
        if (p == 0.0) {
            if (q < 0.0) return false;
            continue;
        }
        const double t = q / p;
        if (p < 0.0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return false;
    }
    return true;
}

Point along(const Point& a, const Point& b, double t) { return {a.x + t * (b.x - a.x), a.y + t * (b.y - a.y)}; }

std::vector<Point> points_of(const OGRSimpleCurve& curve) {
    std::vector<Point> points(static_cast<std::size_t>(curve.getNumPoints()));
    for (int k = 0; k < curve.getNumPoints(); ++k) points[static_cast<std::size_t>(k)] = {curve.getX(k), curve.getY(k)};
    return points;
}

// The parts of a line inside the box, each a line of its own.
std::unique_ptr<OGRGeometry> clip_line(const OGRLineString& line, const BurnBox& box) {
    const std::vector<Point> points = points_of(line);
    auto parts = std::make_unique<OGRMultiLineString>();
    if (points.size() == 1 && inside(points[0], box)) {
        auto single = std::make_unique<OGRLineString>();
        single->addPoint(points[0].x, points[0].y);
        parts->addGeometryDirectly(single.release());
    }
    OGRLineString* current = nullptr;
    for (std::size_t k = 0; k + 1 < points.size(); ++k) {
        const Point& a = points[k];
        const Point& b = points[k + 1];
        double t0 = 0.0;
        double t1 = 1.0;
        if (!clip_segment(a, b, box, t0, t1)) {
            current = nullptr;
            continue;
        }
        const Point start = t0 > 0.0 ? along(a, b, t0) : a;
        const Point end = t1 < 1.0 ? along(a, b, t1) : b;
        if (current == nullptr || t0 > 0.0) {
            auto part = std::make_unique<OGRLineString>();
            part->addPoint(start.x, start.y);
            current = part.get();
            parts->addGeometryDirectly(part.release());
        }
        current->addPoint(end.x, end.y);
        if (t1 < 1.0) current = nullptr;
    }
    if (parts->getNumGeometries() == 0) return nullptr;
    return parts;
}

// One edge of the box for Sutherland and Hodgman: which side is kept, and
// where a segment crosses it.
struct Edge {
    int axis;  // 0: x, 1: y
    double at;
    bool keep_above;

    bool keeps(const Point& p) const {
        const double v = axis == 0 ? p.x : p.y;
        return keep_above ? v >= at : v <= at;
    }
    Point crossing(const Point& a, const Point& b) const {
        const double t = axis == 0 ? (at - a.x) / (b.x - a.x) : (at - a.y) / (b.y - a.y);
        Point p = along(a, b, t);
        (axis == 0 ? p.x : p.y) = at;
        return p;
    }
};

// A ring (without its closing point) cut by the box; fewer than three
// points when nothing of it is inside.
std::vector<Point> clip_ring(std::vector<Point> ring, const BurnBox& box) {
    const Edge edges[] = {{0, box.min_x, true}, {0, box.max_x, false}, {1, box.min_y, true}, {1, box.max_y, false}};
    for (const Edge& edge : edges) {
        std::vector<Point> kept;
        for (std::size_t k = 0; k < ring.size(); ++k) {
            const Point& from = ring[(k + ring.size() - 1) % ring.size()];
            const Point& to = ring[k];
            if (edge.keeps(to)) {
                if (!edge.keeps(from)) kept.push_back(edge.crossing(from, to));
                kept.push_back(to);
            } else if (edge.keeps(from)) {
                kept.push_back(edge.crossing(from, to));
            }
        }
        ring = std::move(kept);
    }
    return ring;
}

std::unique_ptr<OGRLinearRing> clipped_ring(const OGRLinearRing& ring, const BurnBox& box) {
    std::vector<Point> points = points_of(ring);
    if (points.size() > 1 && points.front().x == points.back().x && points.front().y == points.back().y)
        points.pop_back();
    points = clip_ring(std::move(points), box);
    if (points.size() < 3) return nullptr;
    auto result = std::make_unique<OGRLinearRing>();
    for (const Point& p : points) result->addPoint(p.x, p.y);
    result->closeRings();
    return result;
}

std::unique_ptr<OGRGeometry> clip_polygon(const OGRPolygon& polygon, const BurnBox& box) {
    const OGRLinearRing* exterior = polygon.getExteriorRing();
    if (exterior == nullptr) return nullptr;
    auto outer = clipped_ring(*exterior, box);
    if (!outer) return nullptr;
    auto result = std::make_unique<OGRPolygon>();
    result->addRingDirectly(outer.release());
    for (int k = 0; k < polygon.getNumInteriorRings(); ++k)
        if (auto hole = clipped_ring(*polygon.getInteriorRing(k), box)) result->addRingDirectly(hole.release());
    return result;
}

// A linear, two-dimensional geometry cut to the box.
std::unique_ptr<OGRGeometry> clip_linear(const OGRGeometry& geometry, const BurnBox& box) {
    switch (wkbFlatten(geometry.getGeometryType())) {
        case wkbPoint: {
            const auto& point = static_cast<const OGRPoint&>(geometry);
            if (point.IsEmpty() || !inside({point.getX(), point.getY()}, box)) return nullptr;
            return std::unique_ptr<OGRGeometry>(point.clone());
        }
        case wkbLineString:
        case wkbLinearRing:
            return clip_line(static_cast<const OGRLineString&>(geometry), box);
        case wkbPolygon:
        case wkbTriangle:
            return clip_polygon(static_cast<const OGRPolygon&>(geometry), box);
        case wkbMultiPoint:
        case wkbMultiLineString:
        case wkbMultiPolygon:
        case wkbGeometryCollection: {
            const auto& collection = static_cast<const OGRGeometryCollection&>(geometry);
            auto result = std::make_unique<OGRGeometryCollection>();
            for (int k = 0; k < collection.getNumGeometries(); ++k)
                if (auto part = clip_linear(*collection.getGeometryRef(k), box))
                    result->addGeometryDirectly(part.release());
            if (result->getNumGeometries() == 0) return nullptr;
            return result;
        }
        default:
            // Anything else (a TIN, a polyhedral surface) goes as it was.
            return std::unique_ptr<OGRGeometry>(geometry.clone());
    }
}

}  // namespace

BurnBox burn_box(const Georef& grid) {
    const auto& t = grid.transform;
    BurnBox box{0.0, 0.0, 0.0, 0.0};
    bool first = true;
    for (const double column : {-2.0, static_cast<double>(grid.columns) + 2.0})
        for (const double line : {-2.0, static_cast<double>(grid.lines) + 2.0}) {
            const double x = t[0] + column * t[1] + line * t[2];
            const double y = t[3] + column * t[4] + line * t[5];
            box = first ? BurnBox{x, y, x, y}
                        : BurnBox{std::min(box.min_x, x), std::min(box.min_y, y), std::max(box.max_x, x),
                                  std::max(box.max_y, y)};
            first = false;
        }
    return box;
}

std::unique_ptr<OGRGeometry> clipped_to_box(std::unique_ptr<OGRGeometry> geometry, const BurnBox& box) {
    if (!geometry || geometry->IsEmpty()) return geometry;
    OGREnvelope envelope;
    geometry->getEnvelope(&envelope);
    if (envelope.MinX >= box.min_x && envelope.MaxX <= box.max_x && envelope.MinY >= box.min_y &&
        envelope.MaxY <= box.max_y)
        return geometry;
    if (geometry->hasCurveGeometry()) geometry.reset(geometry->getLinearGeometry());
    if (!geometry) return nullptr;
    geometry->flattenTo2D();
    return clip_linear(*geometry, box);
}

#include "devices/morpheus/LbFgShapeGeometry.h"

#include <cstddef>

namespace {

constexpr int32 kCurveSteps = 16;

struct UnitPoint {
    float u;
    float v;
};

// A drawing in the unit square: (0,0) is A, (1,1) is B. Curves give two control points,
// polylines their inner corners.
struct FixedDrawing {
    bool curve;
    UnitPoint points[6];
    int count;
};

// Shapes 8..35 in order.
const FixedDrawing kFixed[] = {
    {true, {{0.0f, 0.40f}, {0.60f, 1.0f}}, 2},                                 // circle 1.4
    {true, {{0.0f, 0.55f}, {0.45f, 1.0f}}, 2},                                 // circle 1.6
    {true, {{0.0f, 0.70f}, {0.30f, 1.0f}}, 2},                                 // circle 1.8
    {true, {{0.0f, 0.85f}, {0.15f, 1.0f}}, 2},                                 // circle 1.16
    {true, {{0.5f, 0.0f}, {0.5f, 1.0f}}, 2},                                   // squeeze
    {false, {{0.25f, 1.0f}}, 1},                                               // fast line 1
    {false, {{0.15f, 1.0f}}, 1},                                               // fast line 2
    {false, {{0.08f, 1.0f}}, 1},                                               // fast line 3
    {false, {{0.5f, 0.8f}}, 1},                                                // medium line 1
    {false, {{0.4f, 0.6f}}, 1},                                                // medium line 2
    {false, {{0.75f, 0.25f}}, 1},                                              // slow ramp 1
    {false, {{0.75f, 0.25f}}, 1},                                              // slow ramp 2 (drawn alike)
    {true, {{0.6f, -0.2f}, {0.4f, 1.3f}}, 2},                                  // bloom
    {true, {{0.7f, -0.3f}, {0.5f, 1.2f}}, 2},                                  // bloom 2
    {true, {{0.85f, 0.0f}, {1.0f, 0.15f}}, 2},                                 // circle 1.16 R
    {true, {{0.70f, 0.0f}, {1.0f, 0.30f}}, 2},                                 // circle 1.8 R
    {true, {{0.55f, 0.0f}, {1.0f, 0.45f}}, 2},                                 // circle 1.6 R
    {true, {{0.40f, 0.0f}, {1.0f, 0.60f}}, 2},                                 // circle 1.4 R
    {true, {{0.5f, 0.0f}, {1.0f, 0.5f}}, 2},                                   // slow curve 1
    {true, {{0.7f, 0.0f}, {1.0f, 0.3f}}, 2},                                   // slow curve 2
    {false, {{0.9f, 0.0f}}, 1},                                                // delay DC
    {false, {{0.1f, 1.0f}}, 1},                                                // DC delay
    {false, {{0.25f, 0.75f}, {0.5f, 0.5f}, {0.75f, 1.0f}}, 3},                 // curve 2x
    {false, {{0.2f, 0.6f}, {0.5f, 0.4f}, {0.8f, 1.0f}}, 3},                    // curve 2x B
    {false, {{0.3f, 0.9f}, {0.5f, 0.6f}, {0.7f, 1.0f}}, 3},                    // curve 2x C
    {false, {{0.33f, 0.8f}, {0.66f, 0.2f}}, 2},                                // zig-zag 1
    {false, {{0.2f, 0.6f}, {0.4f, 0.2f}, {0.6f, 0.9f}, {0.8f, 0.4f}}, 4},      // zig-zag 2
    {false, {{0.15f, 0.7f}, {0.3f, 0.1f}, {0.45f, 0.8f}, {0.6f, 0.2f}, {0.75f, 0.9f}, {0.9f, 0.5f}}, 6},  // zig-zag 3
};

constexpr int32 kFirstFixed = 8;

BPoint Map(BPoint a, BPoint b, UnitPoint p)
{
    return BPoint(a.x + p.u * (b.x - a.x), a.y + p.v * (b.y - a.y));
}

std::vector<BPoint> Straight(BPoint a, BPoint b)
{
    return {a, b};
}

// Swings around the straight line, the wider the larger the factor.
std::vector<BPoint> Chaos(BPoint a, BPoint b, float factor)
{
    const int steps = 12;
    float height = b.y - a.y;
    float swing = factor * (height != 0 ? (height < 0 ? -height : height) : 10.0f);
    std::vector<BPoint> path{a};
    for (int i = 1; i < steps; i++) {
        float t = float(i) / steps;
        float side = (i % 2 == 0) ? 1.0f : -1.0f;
        path.emplace_back(a.x + t * (b.x - a.x), a.y + t * height + side * swing * (1.0f - t));
    }
    path.push_back(b);
    return path;
}

// Steps at pseudo-random levels between A and B; the same shape always draws alike.
std::vector<BPoint> Random(BPoint a, BPoint b, int32 shape)
{
    const int steps = 8;
    uint32 seed = 2166136261u ^ uint32(shape);
    std::vector<BPoint> path{a};
    float level = a.y;
    for (int i = 1; i < steps; i++) {
        seed = seed * 1664525u + 1013904223u;
        float t = float(i) / steps;
        float x = a.x + t * (b.x - a.x);
        path.emplace_back(x, level);
        level = a.y + float((seed >> 8) & 0xFFFF) / 65535.0f * (b.y - a.y);
        path.emplace_back(x, level);
    }
    path.emplace_back(b.x, level);
    path.push_back(b);
    return path;
}

} // namespace

std::vector<BPoint> LbSampleBezier(BPoint a, BPoint c1, BPoint c2, BPoint b, int32 steps)
{
    if (steps < 1) steps = 1;
    std::vector<BPoint> path;
    path.reserve(size_t(steps) + 1);
    path.push_back(a);
    for (int32 i = 1; i < steps; i++) {
        float t = float(i) / float(steps);
        float s = 1.0f - t;
        float w0 = s * s * s, w1 = 3 * s * s * t, w2 = 3 * s * t * t, w3 = t * t * t;
        path.emplace_back(w0 * a.x + w1 * c1.x + w2 * c2.x + w3 * b.x, w0 * a.y + w1 * c1.y + w2 * c2.y + w3 * b.y);
    }
    path.push_back(b);
    return path;
}

std::vector<BPoint> LbFgSegmentPath(int32 shape, BPoint a, BPoint b)
{
    if (shape >= 1 && shape <= LB_FG_SHAPE_LAST_EXPONENTIAL) {
        float f = 0.12f * float(shape);
        return LbSampleBezier(a, BPoint(a.x, a.y + f * (b.y - a.y)), BPoint(b.x + f * (a.x - b.x), b.y), b,
                              kCurveSteps);
    }
    if (shape >= kFirstFixed && shape < LB_FG_SHAPE_FIRST_CHAOS) {
        const FixedDrawing& drawing = kFixed[shape - kFirstFixed];
        if (drawing.curve)
            return LbSampleBezier(a, Map(a, b, drawing.points[0]), Map(a, b, drawing.points[1]), b, kCurveSteps);
        std::vector<BPoint> path{a};
        for (int i = 0; i < drawing.count; i++) path.push_back(Map(a, b, drawing.points[i]));
        path.push_back(b);
        return path;
    }
    if (shape >= LB_FG_SHAPE_FIRST_CHAOS && shape <= LB_FG_SHAPE_LAST_CHAOS)
        return Chaos(a, b, 0.083f * float(shape - (LB_FG_SHAPE_FIRST_CHAOS - 1)));
    if (shape >= LB_FG_SHAPE_FIRST_RANDOM && shape <= LB_FG_SHAPE_LAST) return Random(a, b, shape);
    return Straight(a, b);
}

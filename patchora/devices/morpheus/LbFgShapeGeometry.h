#pragma once
// How a function-generator segment of a given shape is drawn: the points of a polyline from
// A (the previous point) to B (this point). A display aid only: stored data never depends
// on it. Every path starts exactly at A and ends exactly at B.
#include "kernel/Geometry.h"

#include <vector>

// Shape values as the shape menu numbers them.
constexpr int32 LB_FG_SHAPE_LINEAR = 0;
constexpr int32 LB_FG_SHAPE_LAST_EXPONENTIAL = 7;
constexpr int32 LB_FG_SHAPE_FIRST_CHAOS = 36;
constexpr int32 LB_FG_SHAPE_LAST_CHAOS = 47;
constexpr int32 LB_FG_SHAPE_FIRST_RANDOM = 48;
constexpr int32 LB_FG_SHAPE_LAST = 62;

// The polyline of `shape` from a to b; unknown shapes and 0 are a straight line.
std::vector<BPoint> LbFgSegmentPath(int32 shape, BPoint a, BPoint b);

// A cubic Bezier curve sampled into `steps` + 1 points (both ends included).
std::vector<BPoint> LbSampleBezier(BPoint a, BPoint c1, BPoint c2, BPoint b, int32 steps);

// Plain geometry and colour records shared by messages and views: BPoint, BRect,
// rgb_color. Value types; no locking, no drawing.
#pragma once

#include "kernel/SupportDefs.h"

struct rgb_color {
	uint8 red;
	uint8 green;
	uint8 blue;
	uint8 alpha;

	bool operator==(const rgb_color& o) const = default;
};

struct BPoint {
	float x = 0;
	float y = 0;

	constexpr BPoint() = default;
	constexpr BPoint(float px, float py) : x(px), y(py) {}
	bool operator==(const BPoint& o) const = default;
};

// A rectangle by its edges; right and bottom are inside it (width = right - left).
struct BRect {
	float left = 0;
	float top = 0;
	float right = -1;
	float bottom = -1;

	constexpr BRect() = default;
	constexpr BRect(float l, float t, float r, float b) : left(l), top(t), right(r), bottom(b) {}
	constexpr float Width() const { return right - left; }
	constexpr float Height() const { return bottom - top; }
	constexpr bool IsValid() const { return left <= right && top <= bottom; }
	constexpr BPoint LeftTop() const { return BPoint(left, top); }
	bool operator==(const BRect& o) const = default;
};

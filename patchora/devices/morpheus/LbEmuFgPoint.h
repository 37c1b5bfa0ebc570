#pragma once
// One point of the function-generator curve: its time (x), level (y) and the shape of the
// segment that leads to it, read from and written to a patch block through their
// parameters, and told about changes made elsewhere.
//
// The curve editor's own point class (drawing, dragging, handles) is a view concern; this
// class holds the model side every such point needs.
#include "kernel/Geometry.h"
#include "kernel/SupportDefs.h"

#include <vector>

class LbDataI;
class LbIntParam;
class LbParam;

class LbEmuFgPoint {
public:
    // Either parameter may be null (a point without time or level) and be set later.
    LbEmuFgPoint(LbIntParam* x, LbIntParam* y);
    virtual ~LbEmuFgPoint() = default;

    void SetEditableX(LbIntParam* x);
    void SetEditableY(LbIntParam* y);
    void SetShapeParam(LbIntParam* shape) { mShape = shape; }
    LbIntParam* ShapeParam() const { return mShape; }

    int32 XValue() const { return mX; }
    int32 YValue() const { return mY; }
    int32 ShapeValue() const { return mShapeValue; }
    rgb_color LineColor() const { return mLineColor; }

    // The shape first (a failed read keeps the cached shape), then time and level.
    status_t ReadValueFromPatch(const LbDataI* data);
    // The cached shape, then time and level; the first failure is returned.
    status_t WriteValueToPatch(LbDataI* data) const;
    // A value changed elsewhere: true when it is one of this point's and differs (the curve
    // is then drawn again).
    bool IntChange(const LbParam* param, int32 value);
    // The polyline from the previous point to this one, both moved by `origin`: the shape's
    // drawing when a shape is bound and not linear, else a straight line.
    std::vector<BPoint> LinePath(BPoint previous, BPoint self, BPoint origin) const;

private:
    LbIntParam* mXParam;       // not owned
    LbIntParam* mYParam;       // not owned
    LbIntParam* mShape = nullptr;   // not owned
    int32 mX = 0;
    int32 mY = 0;
    int32 mShapeValue = 0;
    rgb_color mLineColor = {0, 0, 0, 255};
};

// Empties a vector of points, destroying each.
void DeleteFgPointVector(std::vector<LbEmuFgPoint*>* points);

#include "devices/morpheus/LbEmuFgPoint.h"

#include "devices/morpheus/LbFgShapeGeometry.h"
#include "params/LbParam.h"

LbEmuFgPoint::LbEmuFgPoint(LbIntParam* x, LbIntParam* y) : mXParam(nullptr), mYParam(nullptr)
{
    SetEditableX(x);
    SetEditableY(y);
}

void LbEmuFgPoint::SetEditableX(LbIntParam* x)
{
    mXParam = x;
    mX = x ? x->Min(0) : 0;
}

void LbEmuFgPoint::SetEditableY(LbIntParam* y)
{
    mYParam = y;
    mY = y ? y->Min(0) : 0;
}

status_t LbEmuFgPoint::ReadValueFromPatch(const LbDataI* data)
{
    if (data == nullptr) return B_ERROR;
    status_t result = B_OK;
    int32 value;
    if (mShape != nullptr) {
        if (mShape->ReadSysEx(data, 0, &value) == B_OK)
            mShapeValue = value;
        else
            result = B_ERROR;
    }
    if (mXParam != nullptr) {
        if (mXParam->ReadSysEx(data, 0, &value) == B_OK)
            mX = value;
        else
            result = B_ERROR;
    }
    if (mYParam != nullptr) {
        if (mYParam->ReadSysEx(data, 0, &value) == B_OK)
            mY = value;
        else
            result = B_ERROR;
    }
    return result;
}

status_t LbEmuFgPoint::WriteValueToPatch(LbDataI* data) const
{
    if (data == nullptr) return B_ERROR;
    status_t result = B_OK;
    auto write = [&](LbIntParam* param, int32 value) {
        if (param == nullptr) return;
        status_t status = param->WriteSysEx(data, 0, value);
        if (result == B_OK) result = status;
    };
    write(mShape, mShapeValue);
    write(mXParam, mX);
    write(mYParam, mY);
    return result;
}

bool LbEmuFgPoint::IntChange(const LbParam* param, int32 value)
{
    if (param == nullptr) return false;
    if (param == mShape) {
        if (value == mShapeValue) return false;
        mShapeValue = value;
        return true;
    }
    if (param == mXParam && value != mX) {
        mX = value;
        return true;
    }
    if (param == mYParam && value != mY) {
        mY = value;
        return true;
    }
    return false;
}

std::vector<BPoint> LbEmuFgPoint::LinePath(BPoint previous, BPoint self, BPoint origin) const
{
    BPoint a(previous.x + origin.x, previous.y + origin.y);
    BPoint b(self.x + origin.x, self.y + origin.y);
    if (mShape == nullptr || mShapeValue == LB_FG_SHAPE_LINEAR) return {a, b};
    return LbFgSegmentPath(mShapeValue, a, b);
}

void DeleteFgPointVector(std::vector<LbEmuFgPoint*>* points)
{
    if (points == nullptr) return;
    for (LbEmuFgPoint* point : *points) delete point;
    points->clear();
}

#pragma once
// One cell of a parameter grid: the parameter, which of its views to show, and the views
// once made. The grid places the cell's current view at the cell's origin; a placed view
// belongs to the window it was placed in, the others to the cell.
#include "kernel/SupportDefs.h"

class LbParam;
class QWidget;

class LbParamCell {
public:
    LbParamCell(LbParam* param, int32 viewType);
    ~LbParamCell();
    LbParamCell(const LbParamCell&) = delete;
    LbParamCell& operator=(const LbParamCell&) = delete;

    void SetCurrentViewType(int32 viewType) { mViewType = viewType; }
    int32 CurrentViewType() const { return mViewType; }
    bool ParamMatches(const LbParam* param) const { return param == mParam; }

    void SetOrigin(int32 x, int32 y) { mOriginX = x; mOriginY = y; }
    // The view of the current kind, made on first use and moved to the cell's origin; null
    // when the cell is hidden or the parameter has no such view.
    QWidget* CurrentView();
    void Dimensions(float* width, float* height);
    // The kind of view handed out for placing in a window (0: none yet).
    int32 PlacedViewType() const { return mPlacedType; }

private:
    LbParam* mParam;
    int32 mViewType;
    QWidget* mOverview = nullptr;
    QWidget* mEditView = nullptr;
    int32 mPlacedType = 0;
    int32 mOriginX = 0;
    int32 mOriginY = 0;
};

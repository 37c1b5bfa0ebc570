#include "controls/LbParamCell.h"

#include "params/LbParam.h"

#include <QWidget>

#include <cassert>

LbParamCell::LbParamCell(LbParam* param, int32 viewType) : mParam(param), mViewType(viewType)
{
}

LbParamCell::~LbParamCell()
{
    // A placed view belongs to its window; only the one never placed is ours to free.
    if (mPlacedType != ORB_OVERVIEW) delete mOverview;
    if (mPlacedType != ORB_EDIT_VIEW) delete mEditView;
}

QWidget* LbParamCell::CurrentView()
{
    assert(mParam != nullptr && "mParam != 0");
    QWidget** slot = mViewType == ORB_OVERVIEW ? &mOverview : mViewType == ORB_EDIT_VIEW ? &mEditView : nullptr;
    if (slot == nullptr) return nullptr;   // hidden
    if (*slot == nullptr) *slot = mParam->NewView(mViewType);
    QWidget* view = *slot;
    if (view == nullptr) return nullptr;
    if (view->x() != mOriginX || view->y() != mOriginY) view->move(mOriginX, mOriginY);
    mPlacedType = mViewType;
    return view;
}

void LbParamCell::Dimensions(float* width, float* height)
{
    QWidget* view = CurrentView();
    *width = view ? float(view->width()) : 0.0f;
    *height = view ? float(view->height()) : 0.0f;
}

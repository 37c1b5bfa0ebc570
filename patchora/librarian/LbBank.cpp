#include "librarian/LbBank.h"

#include "librarian/LbStatus.h"
#include "params/LbParam.h"

#include <cassert>
#include <cstdlib>
#include <cstring>

LbBank::LbBank(const char* name, LbDeviceI* device, int32 minimum, int32 maximum)
    : mDevice(device), mMinimum(minimum), mMaximum(maximum)
{
    SetName(name);
}

LbBank::~LbBank()
{
    free(mName);
    DeleteParams();
}

void LbBank::SetName(const char* name)
{
    free(mName);
    mName = name ? strdup(name) : nullptr;
}

LbParam* LbBank::ParamAt(int32 index) const
{
    if (index < 0 || index >= int32(mParams.size())) return nullptr;
    return mParams[size_t(index)];
}

bool LbBank::IsCompatible(const LbBankI* other) const
{
    assert(other != nullptr && "bank != 0");
    return mName != nullptr && other->Name() != nullptr && strcmp(mName, other->Name()) == 0;
}

QWidget* LbBank::NewView() const
{
    // The grid of parameter entries belongs to the editor views; without them a bank
    // offers no view of its own.
    return nullptr;
}

status_t LbBank::NewEditWindow(QWidget** window) const
{
    if (window) *window = nullptr;
    return LB_UNSUPPORTED;
}

bool LbBank::AddParam(LbParam* param)
{
    if (param == nullptr) return false;
    mParams.push_back(param);
    param->SetDevice(mDevice);
    return true;
}

void LbBank::DeleteParams()
{
    for (LbParam* param : mParams) delete param;
    mParams.clear();
}

#pragma once
#include "librarian/LbBankI.h"

#include <vector>

class LbDeviceI;

// The device-independent part of a bank; device models derive their banks from it.
class LbBank : public LbBankI {
public:
    LbBank(const char* name, LbDeviceI* device, int32 minimum, int32 maximum);
    ~LbBank() override;
    LbBank(const LbBank&) = delete;
    LbBank& operator=(const LbBank&) = delete;

    const char* Name() const override { return mName; }
    void SetName(const char* name) override;
    int32 Minimum() const override { return mMinimum; }
    void SetMinimum(int32 minimum) override { mMinimum = minimum; }
    int32 Maximum() const override { return mMaximum; }
    void SetMaximum(int32 maximum) override { mMaximum = maximum; }
    LbParam* ParamAt(int32 index) const override;
    bool IsCompatible(const LbBankI* other) const override;
    QWidget* NewView() const override;
    status_t NewEditWindow(QWidget** window) const override;
    void MakeActive(const LbPatchI* patch) const override {}

    LbDeviceI* Device() const { return mDevice; }
    int32 CountParams() const { return int32(mParams.size()); }
    // Takes ownership and binds the parameter to the bank's device; refuses null.
    bool AddParam(LbParam* param);
    void DeleteParams();

private:
    LbDeviceI* mDevice;
    char* mName = nullptr;
    int32 mMinimum;
    int32 mMaximum;
    std::vector<LbParam*> mParams;
};

#pragma once
#include "librarian/LbData.h"
#include "librarian/LbPatchI.h"

class LbBankPatch : public LbPatchI {
public:
    LbBankPatch() = default;
    LbBankPatch(const char* name, int32 number, const LbDataI* data, LbBankSnapshotI* snapshot);
    ~LbBankPatch() override;
    LbBankPatch(const LbBankPatch&) = delete;
    LbBankPatch& operator=(const LbBankPatch&) = delete;

    ssize_t WriteTo(LbXmlStreamI* stream) const override;
    status_t ReadFrom(LbXmlStreamI* stream) override;
    const char* Name() const override { return mName; }
    int32 Number() const override { return mNumber; }
    const LbDataI* Data() const override { return &mData; }
    LbBankSnapshotI* Snapshot() const override { return mSnapshot; }
    void SetSnapshot(LbBankSnapshotI* snapshot) override { mSnapshot = snapshot; }
    LbPatchI* Copy() const override;
    status_t MakeActive() const override;

    void SetName(const char* name);
    void SetNumber(int32 number) { mNumber = number; }
    status_t SetData(const uint8* bytes, uint32 length) { return mData.SetTo(bytes, length); }
    LbData* MutableData() { return &mData; }

private:
    char* mName = nullptr;
    int32 mNumber = -1;
    LbData mData;
    LbBankSnapshotI* mSnapshot = nullptr;
};

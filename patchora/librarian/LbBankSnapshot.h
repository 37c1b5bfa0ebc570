#pragma once
// The librarian's copy of one bank: one patch per number, in ascending order, filled by
// requests to the instrument, by documents and by pasting. It is the receiver of the
// instrument's replies, and tells its dependents of every patch installed (type 100,
// 'dPtA') and of its own end (type 101, 'dBsR').
//
// A patch replaced by another of the same number is kept until the snapshot goes, since
// a message naming it may still be on its way to a window.
#include "librarian/LbBankSnapshotI.h"

#include <memory>

class BMessage;
class LbDeviceI;
class OrbNotificationRegistry;

class LbBankSnapshot : public LbBankSnapshotI {
public:
    LbBankSnapshot(LbDeviceSnapshotI* snapshot, LbBankI* bank);
    ~LbBankSnapshot() override;
    LbBankSnapshot(const LbBankSnapshot&) = delete;
    LbBankSnapshot& operator=(const LbBankSnapshot&) = delete;

    void SystemExclusive(const uint8* data, uint32 length, uint32 time) override;
    LbPatchI* PatchAt(int32 number) const override;
    LbBankI* Bank() const override;
    void SetBank(LbBankI* bank) override;
    LbDeviceSnapshotI* Snapshot() const override { return mSnapshot; }
    void SetSnapshot(LbDeviceSnapshotI* snapshot) override { mSnapshot = snapshot; }
    const std::vector<LbPatchI*>& Patches() const override { return mPatches; }
    status_t InstallPatch(int32 number, const char* name, const LbDataI* data) override;
    bool IsModified() const override { return mModified; }
    ssize_t WriteTo(LbXmlStreamI* stream, LbPatchIteratorI* patches) override;
    status_t ReadFrom(LbXmlStreamI* stream, LbInt32IteratorI* numbers) override;
    status_t Request(LbInt32IteratorI* numbers, LbStatusWormholeI* wormhole) override;
    status_t Send(LbPatchIteratorI* patches, LbStatusWormholeI* wormhole) override;
    int32 AddDependent(int32 type, BHandler* handler) override;
    int32 RemoveDependent(int32 type, BHandler* handler) override;

    // The device of the device snapshot, or null.
    LbDeviceI* Device() const;
    // Installs a patch object (taking ownership) at its number.
    status_t InstallPatch(LbPatchI* patch);

private:
    ssize_t WritePatches(LbXmlStreamI* stream, LbPatchIteratorI* patches);

    LbBankI* mBank = nullptr;
    LbDeviceSnapshotI* mSnapshot;
    std::unique_ptr<OrbNotificationRegistry> mDependents;
    std::vector<LbPatchI*> mPatches;
    std::vector<LbPatchI*> mReplaced;
    std::unique_ptr<BMessage> mNotification;
    bool mModified = false;
};

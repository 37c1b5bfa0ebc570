#pragma once
#include "librarian/LbDataReceiverI.h"

#include <vector>

class BHandler;
class LbBankI;
class LbDataI;
class LbDeviceSnapshotI;
class LbInt32IteratorI;
class LbPatchI;
class LbPatchIteratorI;
class LbStatusWormholeI;
class LbXmlStreamI;

// Notifications a bank snapshot sends to its dependents.
constexpr int32 LB_NOTIFY_PATCH_INSTALLED = 100;  // 'dPtA': "LbBankSnapshotI", "LbPatchI"
constexpr int32 LB_NOTIFY_SNAPSHOT_GONE = 101;    // 'dBsR': "LbBankSnapshotI"
constexpr uint32 LB_MSG_PATCH_INSTALLED = 'dPtA';
constexpr uint32 LB_MSG_SNAPSHOT_GONE = 'dBsR';

// The librarian's copy of one bank of one instrument: one patch per number, in order.
class LbBankSnapshotI : public LbDataReceiverI {
public:
    virtual LbPatchI* PatchAt(int32 number) const = 0;
    virtual LbBankI* Bank() const = 0;
    virtual void SetBank(LbBankI* bank) = 0;
    virtual LbDeviceSnapshotI* Snapshot() const = 0;
    virtual void SetSnapshot(LbDeviceSnapshotI* snapshot) = 0;
    virtual const std::vector<LbPatchI*>& Patches() const = 0;
    virtual status_t InstallPatch(int32 number, const char* name, const LbDataI* data) = 0;
    virtual bool IsModified() const = 0;
    virtual ssize_t WriteTo(LbXmlStreamI* stream, LbPatchIteratorI* patches) = 0;
    virtual status_t ReadFrom(LbXmlStreamI* stream, LbInt32IteratorI* numbers) = 0;
    virtual status_t Request(LbInt32IteratorI* numbers, LbStatusWormholeI* wormhole) = 0;
    virtual status_t Send(LbPatchIteratorI* patches, LbStatusWormholeI* wormhole) = 0;
    virtual int32 AddDependent(int32 type, BHandler* handler) = 0;
    virtual int32 RemoveDependent(int32 type, BHandler* handler) = 0;
};

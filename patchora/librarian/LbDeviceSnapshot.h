#pragma once
// Everything the librarian holds for one instrument: one bank snapshot per bank of the
// device, in the device's bank order. It writes and reads patch-library documents:
//
//   <LbDevice mfg_id = 18 mod_id = 0C>
//   	<LbBank name = "Preset - RAM">
//   		<LbPatch>
//   			<data>180C00...</data>
//   		</LbPatch>
//   	</LbBank>
//   </LbDevice>
#include "librarian/LbDeviceSnapshotI.h"

class LbPatchI;

class LbDeviceSnapshot : public LbDeviceSnapshotI {
public:
    explicit LbDeviceSnapshot(LbDeviceI* device = nullptr);
    ~LbDeviceSnapshot() override;
    LbDeviceSnapshot(const LbDeviceSnapshot&) = delete;
    LbDeviceSnapshot& operator=(const LbDeviceSnapshot&) = delete;

    LbDeviceI* Device() const override { return mDevice; }
    void SetDevice(LbDeviceI* device) override;
    const std::vector<LbBankSnapshotI*>& Snapshots() const override { return mSnapshots; }
    LbBankSnapshotI* SnapshotNamed(const char* name) const override;
    ssize_t WriteTo(LbXmlStreamI* stream, LbPatchIteratorI* patches) override;
    status_t ReadFrom(LbXmlStreamI* stream, const char* bankName, LbInt32IteratorI* numbers) override;
    bool HasDevice() const override { return mDevice != nullptr; }
    status_t ReadAllFrom(LbXmlStreamI* stream) override;

    // This device snapshot's bank snapshot for the bank the patch belongs to, or null.
    LbBankSnapshotI* SnapshotForPatch(const LbPatchI* patch) const;
    // Whether any bank snapshot differs from what was last read or written.
    bool IsModified() const;

private:
    void DeleteSnapshots();
    ssize_t WriteBanks(LbXmlStreamI* stream, LbPatchIteratorI* patches);

    LbDeviceI* mDevice = nullptr;
    std::vector<LbBankSnapshotI*> mSnapshots;
};

// What a raw import did, in messages.
struct LbImportCounts {
    int32 offered = 0;    // messages found
    int32 taken = 0;      // installed as patches
    int32 replaced = 0;   // of those, how many took the place of a patch already held
    int32 unplaced = 0;   // patches of a bank type whose number no bank of the device holds
};

// Offers raw System Exclusive bytes (a .syx file's content) to the banks of a device
// snapshot. Each message between F0 and F7 is offered on its own, without its framing
// bytes, to the first bank that holds the number it carries (HoldsNumberOf) and takes it;
// a patch no bank holds is counted as unplaced, never forced into another bank. Bytes
// outside any message are dropped. `counts` may be null.
void LbImportSysEx(const uint8* bytes, size_t length, LbDeviceSnapshotI* snapshot, LbImportCounts* counts);

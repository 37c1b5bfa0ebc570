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

// Offers raw System Exclusive bytes (a .syx file's content) to the banks of a device
// snapshot. Each message between F0 and F7 is offered on its own, without its framing
// bytes, to the banks in order until one takes it; bytes outside any message are dropped.
// `taken` and `offered` (may be null) receive the counts of messages.
void LbImportSysEx(const uint8* bytes, size_t length, LbDeviceSnapshotI* snapshot, int32* taken,
                   int32* offered);

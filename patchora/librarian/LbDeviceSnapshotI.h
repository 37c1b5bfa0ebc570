#pragma once
#include "kernel/SupportDefs.h"

#include <vector>

class LbBankSnapshotI;
class LbDeviceI;
class LbInt32IteratorI;
class LbPatchIteratorI;
class LbXmlStreamI;

// Everything the librarian holds for one instrument: one bank snapshot per bank.
class LbDeviceSnapshotI {
public:
    virtual ~LbDeviceSnapshotI() = default;
    virtual LbDeviceI* Device() const = 0;
    virtual void SetDevice(LbDeviceI* device) = 0;
    virtual const std::vector<LbBankSnapshotI*>& Snapshots() const = 0;
    virtual LbBankSnapshotI* SnapshotNamed(const char* name) const = 0;
    virtual ssize_t WriteTo(LbXmlStreamI* stream, LbPatchIteratorI* patches) = 0;
    virtual status_t ReadFrom(LbXmlStreamI* stream, const char* bankName, LbInt32IteratorI* numbers) = 0;
    virtual bool HasDevice() const = 0;
    virtual status_t ReadAllFrom(LbXmlStreamI* stream) = 0;
};

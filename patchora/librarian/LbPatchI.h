#pragma once
#include "kernel/SupportDefs.h"

class LbDataI;
class LbXmlStreamI;
class LbBankSnapshotI;

// One patch of a bank: name, number, its SysEx block and the snapshot that holds it.
class LbPatchI {
public:
    virtual ~LbPatchI() = default;
    virtual ssize_t WriteTo(LbXmlStreamI* stream) const = 0;
    virtual status_t ReadFrom(LbXmlStreamI* stream) = 0;
    virtual const char* Name() const = 0;        // may be null
    virtual int32 Number() const = 0;
    virtual const LbDataI* Data() const = 0;     // never null
    virtual LbBankSnapshotI* Snapshot() const = 0;
    virtual void SetSnapshot(LbBankSnapshotI* snapshot) = 0;
    virtual LbPatchI* Copy() const = 0;          // a new, independent patch
    virtual status_t MakeActive() const = 0;     // makes the patch sound on the instrument
};

#pragma once
#include "kernel/SupportDefs.h"

class LbBankSnapshotI;
class LbData;
class LbDataI;
class LbDataReceiverI;
class LbParam;
class LbPatchI;
class QWidget;

// The description of one bank of a device: name, patch-number range, the parameters of
// one patch, and (from the device model) the SysEx knowledge to request and parse patches.
class LbBankI {
public:
    virtual ~LbBankI() = default;
    virtual const char* Name() const = 0;
    virtual void SetName(const char* name) = 0;
    virtual int32 Minimum() const = 0;
    virtual void SetMinimum(int32 minimum) = 0;
    virtual int32 Maximum() const = 0;                 // inclusive
    virtual void SetMaximum(int32 maximum) = 0;
    virtual LbParam* ParamAt(int32 index) const = 0;   // null out of range
    virtual bool IsCompatible(const LbBankI* other) const = 0;
    virtual bool IsReadOnly() const = 0;
    virtual QWidget* NewView() const = 0;
    virtual status_t NewEditWindow(QWidget** window) const = 0;
    // Asks the device for one patch; the reply goes to `receiver`.
    virtual status_t RequestData(int32 number, LbDataReceiverI* receiver) const = 0;
    // Parses a reply or a stored block and installs what it holds into `snapshot`;
    // true when the bytes were taken as this bank's own. With a null snapshot it only
    // says whether they would be.
    virtual bool ReceiveData(const uint8* data, uint32 length, LbBankSnapshotI* snapshot) const = 0;
    // Whether a block this bank takes carries a number inside this bank; a raw import gives
    // each block to the bank that holds its number. Models whose blocks name no bank: true.
    virtual bool HoldsNumberOf(const uint8* data, uint32 length) const { return true; }
    virtual void MakeActive(const LbPatchI* patch) const = 0;
    // Rewrites the patch number inside a block so that the patch lands elsewhere; an error
    // (and the block as it was) when the block or the number cannot take it.
    virtual status_t SetNumber(LbDataI* data, int32 number) const = 0;
    // Makes a stored block ready to leave for the instrument or a file (a device model
    // whose dumps carry a checksum recomputes it); a block nobody changed stays as it is.
    virtual status_t PrepareOutgoing(LbDataI* data) const { return B_OK; }
};

// A copy of the patch's block as it must leave for the instrument or a file.
void LbOutgoingData(const LbPatchI* patch, LbData* out);

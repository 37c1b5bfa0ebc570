#pragma once
// What the three Morpheus bank types (presets, hyperpresets, midimaps) share: requesting a
// patch, taking a dump apart, renumbering it, and the builders of their parameter trees.
#include "librarian/LbBank.h"

class LbIntParam;
class LbStringParam;

class LbEmuMorpheusBank : public LbBank {
public:
    LbEmuMorpheusBank(const char* name, LbDeviceI* device, int32 minimum, int32 maximum);

    bool IsReadOnly() const override { return false; }
    // -1 without a device or MIDI service, for a number outside the bank or a device id
    // outside 0..15; else the status of sending the 8-byte request (waiting for the reply).
    status_t RequestData(int32 number, LbDataReceiverI* receiver) const override;
    // Takes a dump of this bank's type (E-mu Morpheus ids, the bank's data command, the
    // length the type needs) and installs it under the number at byte 5.
    bool ReceiveData(const uint8* data, uint32 length, LbBankSnapshotI* snapshot) const override;
    // True for a dump of this type whose number bytes (5, and 6 where the type writes it:
    // RAM, ROM or card) are those this bank would give it.
    bool HoldsNumberOf(const uint8* data, uint32 length) const override;
    // Sends control change 32 with ActiveBankValue() when the bank type has one.
    void MakeActive(const LbPatchI* patch) const override;
    status_t SetNumber(LbDataI* data, int32 number) const override { return WriteNumber(data, number); }

    // Writes the number bytes of the type; -1 when the block is too short for them.
    virtual status_t WriteNumber(LbDataI* data, int32 number) const = 0;
    virtual uint8 RequestCommand() const = 0;
    virtual uint8 DataCommand() const = 0;
    // Whether a dump of this length can be of this bank's type.
    virtual bool AcceptsLength(uint32 length) const = 0;
    // The number a request carries for patch `number` of this bank.
    virtual int32 RequestNumber(int32 number) const { return number; }
    // Controller 32 value that selects this bank on the instrument; -1 for none.
    virtual int32 ActiveBankValue() const { return -1; }

    // True when the bytes are a dump this bank takes.
    bool IsOwnDump(const uint8* data, uint32 length) const;
    // Makes a stored dump ready to leave for the instrument or a file: its checksum byte is
    // recomputed from its words. A dump whose words nobody changed keeps its bytes. -1 (and
    // nothing touched) when the block is not a dump of this bank's type.
    status_t PrepareOutgoing(LbDataI* dump) const override;

    // The 12-character name at 7, 9, ..., 29 of a dump, newly allocated (free()); the
    // characters the message lacks are left out.
    static char* ExtractName(const uint8* data, uint32 length);

    // Parameter builders. NewInt: a signed 14-bit word at b + o (id b) that takes values
    // min..max only, real-time parameter number n + o / 2; null when it cannot be made.
    static LbIntParam* NewInt(const char* name, int32 base, int32 min, int32 max, int32 number, int32 offset);
    // The same with a signed one-byte codec.
    static LbIntParam* NewInt7(const char* name, int32 base, int32 min, int32 max, int32 number, int32 offset);
    // Gives the parameter a real-time sender for `number`; passes null through.
    static LbIntParam* AddRealtime(LbIntParam* param, int32 number);
    // The name of every dump type: 12 characters at 7..29, step 2, blanks filled with spaces.
    static LbStringParam* NewNameParam();
};

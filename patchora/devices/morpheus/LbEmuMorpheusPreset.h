#pragma once
// The preset bank type: 564-byte dumps (command 0x01), five pages of parameters. One type
// serves "Preset - RAM", "Preset - ROM" and "Preset - Card"; the name selects the bank
// byte, the request offset and the bank-select value.
#include "devices/morpheus/LbEmuMorpheusBank.h"

constexpr uint32 LB_PRESET_DUMP_LENGTH = 564;

class LbEmuMorpheusPreset : public LbEmuMorpheusBank {
public:
    // Builds the parameter tree with the process-wide instrument and filter maps as they
    // are now; parameters whose map is missing are left out.
    LbEmuMorpheusPreset(const char* name, LbDeviceI* device, int32 minimum, int32 maximum);

    bool IsCompatible(const LbBankI* other) const override;
    bool IsReadOnly() const override;
    status_t WriteNumber(LbDataI* data, int32 number) const override;
    uint8 RequestCommand() const override;
    uint8 DataCommand() const override;
    bool AcceptsLength(uint32 length) const override { return length == LB_PRESET_DUMP_LENGTH; }
    int32 RequestNumber(int32 number) const override;
    int32 ActiveBankValue() const override;

    // 0 RAM, 1 ROM, 2 Card, from the bank's name (RAM for any other name).
    int32 BankByte() const;
};

#pragma once
// The hyperpreset bank type: dumps of command 0x45, a header, 16 zones and one function
// generator.
#include "devices/morpheus/LbEmuMorpheusBank.h"
#include "params/LbParam.h"

// Name and parameter words up to 480, then the checksum.
constexpr uint32 LB_HYPERPRESET_DUMP_LENGTH = 482;
constexpr int32 LB_ZONES = 16;
constexpr int32 LB_ZONE_SIZE = 22;

class LbMhpHeaderPage : public LbCollectionParam {
public:
    LbMhpHeaderPage();
};

// One zone: bank/program, volume, pan, key and velocity ranges, velocity offset, tuning.
class LbMhpZoneParam : public LbCollectionParam {
public:
    LbMhpZoneParam(const char* name, int32 offset);
};

class LbMhpZonePage : public LbCollectionParam {
public:
    LbMhpZonePage();
};

// Eight segments, no amount.
class LbMhpFgParam : public LbCollectionParam {
public:
    LbMhpFgParam();
};

class LbMhpModulationPage : public LbCollectionParam {
public:
    LbMhpModulationPage();
};

class LbEmuMorpheusHyperpreset : public LbEmuMorpheusBank {
public:
    LbEmuMorpheusHyperpreset(const char* name, LbDeviceI* device, int32 minimum, int32 maximum);

    status_t WriteNumber(LbDataI* data, int32 number) const override;
    uint8 RequestCommand() const override;
    uint8 DataCommand() const override;
    // A dump must hold every word the parameters read and its checksum.
    bool AcceptsLength(uint32 length) const override { return length >= LB_HYPERPRESET_DUMP_LENGTH; }
    int32 ActiveBankValue() const override { return 2; }
};

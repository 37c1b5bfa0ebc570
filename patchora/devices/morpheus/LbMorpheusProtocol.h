#pragma once
// The E-mu Morpheus System Exclusive protocol: ids, commands, the messages the program
// builds, and the checksum that ends every patch dump.
//
// Received messages and stored dumps come without their F0/F7 framing: index 0 is the
// manufacturer id, 1 the model id, 2 the device id, 3 the command. Requests and edits are
// built as complete frames.
#include "kernel/SupportDefs.h"

class LbData;

constexpr uint8 LB_EMU_MANUFACTURER_ID = 0x18;
constexpr uint8 LB_MORPHEUS_MODEL_ID = 0x0C;
constexpr int16 LB_MORPHEUS_MIN_DEVICE_ID = 0;
constexpr int16 LB_MORPHEUS_MAX_DEVICE_ID = 15;

enum : uint8 {
    LB_MORPHEUS_PRESET_REQUEST = 0x00,
    LB_MORPHEUS_PRESET_DATA = 0x01,
    LB_MORPHEUS_PARAM_EDIT = 0x03,
    LB_MORPHEUS_INSTRUMENT_LIST_REQUEST = 0x0E,
    LB_MORPHEUS_INSTRUMENT_LIST = 0x0F,
    LB_MORPHEUS_HYPERPRESET_REQUEST = 0x44,
    LB_MORPHEUS_HYPERPRESET_DATA = 0x45,
    LB_MORPHEUS_MIDIMAP_REQUEST = 0x46,
    LB_MORPHEUS_MIDIMAP_DATA = 0x47,
    LB_MORPHEUS_EFFECT_LIST_REQUEST = 0x54,
    LB_MORPHEUS_EFFECT_LIST = 0x55,
    LB_MORPHEUS_FILTER_LIST_REQUEST = 0x56,
    LB_MORPHEUS_FILTER_LIST = 0x57,
};

// Byte positions shared by the three dump types.
constexpr uint32 LB_MORPHEUS_COMMAND_INDEX = 3;
constexpr uint32 LB_MORPHEUS_NUMBER_INDEX = 5;
constexpr uint32 LB_MORPHEUS_BANK_INDEX = 6;
constexpr uint32 LB_MORPHEUS_FIRST_WORD = 7;   // the name's first word; the checksum covers from here

// A device id goes on the wire as a data byte; the Morpheus answers only 0..15.
inline bool LbMorpheusValidDeviceId(int32 id)
{
    return id >= LB_MORPHEUS_MIN_DEVICE_ID && id <= LB_MORPHEUS_MAX_DEVICE_ID;
}

// F0 18 0C dd cc nl nh F7 (number as a 14-bit word, low 7 bits first). -1 for a device id
// outside 0..15, a number outside 0..16383 or a command that is not a data byte.
status_t LbMorpheusPatchRequest(int32 deviceId, uint8 command, int32 number, LbData* out);
// F0 18 0C dd cc F7.
status_t LbMorpheusListRequest(int32 deviceId, uint8 command, LbData* out);
// A parameter or patch number 0..16383 as a 14-bit word, low 7 bits first, into out[0..1].
bool LbMorpheusEncodeNumber(int32 number, uint8* out);
// F0 18 0C dd 03 pl ph vl vh F7: parameter number 0..16383, value a signed 14-bit word,
// both low 7 bits first.
status_t LbMorpheusParamEdit(int32 deviceId, int32 paramNumber, int32 value, LbData* out);

// The checksum of a stored dump (no framing): the sum of bytes 7 .. length-2, low 7 bits.
// The last byte carries it. False when the block is too short to have one.
bool LbMorpheusDumpChecksum(const uint8* bits, uint32 length, uint8* checksum);
bool LbMorpheusChecksumMatches(const uint8* bits, uint32 length);
// Recomputes the last byte of a stored dump in place; -1 when the block is too short.
status_t LbMorpheusUpdateChecksum(uint8* bits, uint32 length);

// The E-mu Morpheus System Exclusive layout, as the instrument side sees it.
//
// Messages are handled without their 0xF0/0xF7 framing: index 0 is the manufacturer id,
// 1 the model id, 2 the device id, 3 the command. Patch dumps carry their number at 5,
// the bank at 6, the name in the first byte of the 12 words at 7-30, signed 14-bit
// parameter words (low 7 bits first) from 7 on, and a checksum in their last byte: the
// sum of bytes 7 to length-2, low 7 bits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace morpheus_sim {

using Message = std::vector<uint8_t>;

constexpr uint8_t kManufacturerId = 0x18;
constexpr uint8_t kModelId = 0x0C;
constexpr uint8_t kMaxDeviceId = 15;

enum Command : uint8_t {
	kPresetRequest = 0x00,
	kPresetData = 0x01,
	kParameterEdit = 0x03,
	kInstrumentListRequest = 0x0E,
	kInstrumentList = 0x0F,
	kHyperpresetRequest = 0x44,
	kHyperpresetData = 0x45,
	kMidimapRequest = 0x46,
	kMidimapData = 0x47,
	kEffectListRequest = 0x54,
	kEffectList = 0x55,
	kFilterListRequest = 0x56,
	kFilterList = 0x57,
};

constexpr size_t kHeaderLength = 4;        // manufacturer, model, device id, command
constexpr size_t kNameIndex = 7;
constexpr size_t kNameLength = 12;

// One kind of patch dump.
struct DumpLayout {
	uint8_t requestCommand;
	uint8_t dataCommand;
	size_t length;              // whole dump without framing, checksum included
	int firstParameterNumber;   // the number of the word at index 7
	int count;                  // patches the instrument holds of this kind
};

constexpr DumpLayout kPresetLayout{kPresetRequest, kPresetData, 564, 8192, 256};
constexpr DumpLayout kHyperpresetLayout{kHyperpresetRequest, kHyperpresetData, 482, 8704, 128};
constexpr DumpLayout kMidimapLayout{kMidimapRequest, kMidimapData, 728, 2048, 16};

// Signed 14-bit word, low 7 bits first.
int Read14(const uint8_t* bytes);
void Write14(uint8_t* bytes, int value);

// Sum of bytes 7 to length-2, low 7 bits; 0 for a message too short to have words.
uint8_t DumpChecksum(const uint8_t* data, size_t length);
bool ChecksumValid(const Message& dump);
void UpdateChecksum(Message& dump);

// Writes up to 12 characters (blank-filled) into the name words; keeps the second bytes.
void WriteName(Message& dump, const std::string& name);
std::string ReadName(const Message& dump);

// Whether the message starts with the E-mu Morpheus header and holds only data bytes.
bool IsMorpheusMessage(const uint8_t* data, size_t length);

// A blank dump of this layout: header, number, bank, all words zero, valid checksum.
Message NewDump(const DumpLayout& layout, uint8_t deviceId, uint8_t number, uint8_t bank);

// The index of a parameter word in a dump, or -1 when the number is not one of its words
// (the checksum byte is no word).
int WordIndexForParameter(const DumpLayout& layout, int parameterNumber);

}  // namespace morpheus_sim

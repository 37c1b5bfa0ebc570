#include "MorpheusSysex.h"

namespace morpheus_sim {

int Read14(const uint8_t* bytes)
{
	int value = (bytes[0] & 0x7F) | ((bytes[1] & 0x7F) << 7);
	return (value & 0x2000) != 0 ? value - 0x4000 : value;
}

void Write14(uint8_t* bytes, int value)
{
	unsigned word = static_cast<unsigned>(value) & 0x3FFF;
	bytes[0] = static_cast<uint8_t>(word & 0x7F);
	bytes[1] = static_cast<uint8_t>(word >> 7);
}

uint8_t DumpChecksum(const uint8_t* data, size_t length)
{
	unsigned sum = 0;
	for (size_t i = kNameIndex; i + 1 < length; ++i)
		sum += data[i];
	return static_cast<uint8_t>(sum & 0x7F);
}

bool ChecksumValid(const Message& dump)
{
	return dump.size() > kNameIndex && dump.back() == DumpChecksum(dump.data(), dump.size());
}

void UpdateChecksum(Message& dump)
{
	if (dump.size() > kNameIndex)
		dump.back() = DumpChecksum(dump.data(), dump.size());
}

void WriteName(Message& dump, const std::string& name)
{
	for (size_t i = 0; i < kNameLength; ++i) {
		size_t index = kNameIndex + 2 * i;
		if (index >= dump.size())
			break;
		char c = i < name.size() ? name[i] : ' ';
		dump[index] = (c >= 32 && c < 127) ? static_cast<uint8_t>(c) : '?';
	}
}

std::string ReadName(const Message& dump)
{
	std::string name;
	for (size_t i = 0; i < kNameLength; ++i) {
		size_t index = kNameIndex + 2 * i;
		if (index >= dump.size())
			break;
		name += static_cast<char>(dump[index]);
	}
	return name;
}

bool IsMorpheusMessage(const uint8_t* data, size_t length)
{
	if (data == nullptr || length < kHeaderLength || data[0] != kManufacturerId
		|| data[1] != kModelId)
		return false;
	for (size_t i = 0; i < length; ++i) {
		if (data[i] > 0x7F)
			return false;
	}
	return true;
}

Message NewDump(const DumpLayout& layout, uint8_t deviceId, uint8_t number, uint8_t bank)
{
	Message dump(layout.length, 0);
	dump[0] = kManufacturerId;
	dump[1] = kModelId;
	dump[2] = deviceId;
	dump[3] = layout.dataCommand;
	dump[4] = 0x01;  // every dump the instrument sends carries 1 here
	dump[5] = number;
	dump[6] = bank;
	UpdateChecksum(dump);
	return dump;
}

int WordIndexForParameter(const DumpLayout& layout, int parameterNumber)
{
	int word = parameterNumber - layout.firstParameterNumber;
	if (word < 0)
		return -1;
	size_t index = kNameIndex + 2 * static_cast<size_t>(word);
	// The word's two bytes must lie before the checksum byte.
	if (index + 2 > layout.length - 1)
		return -1;
	return static_cast<int>(index);
}

}  // namespace morpheus_sim

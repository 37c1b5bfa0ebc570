#include "midi/MidiMessages.h"

#include "midi/MidiParser.h"

namespace midi_internal {

status_t FrameSystemExclusive(const void* data, size_t length, std::vector<uint8_t>& message)
{
	if (data == nullptr || length == 0)
		return B_BAD_VALUE;
	const uint8_t* begin = static_cast<const uint8_t*>(data);
	const uint8_t* end = begin + length;
	if (*begin == 0xF0)
		++begin;
	if (begin < end && end[-1] == 0xF7)
		--end;
	for (const uint8_t* p = begin; p < end; ++p) {
		if (*p >= 0x80)
			return B_BAD_VALUE;
	}
	message.clear();
	message.reserve(static_cast<size_t>(end - begin) + 2);
	message.push_back(0xF0);
	message.insert(message.end(), begin, end);
	message.push_back(0xF7);
	return B_OK;
}

status_t BuildChannelMessage(uint8_t kind, uint8_t channel, uint8_t data1, uint8_t data2,
	std::vector<uint8_t>& message)
{
	if ((kind & 0x8F) != 0x80 || kind == 0xF0 || channel > 15 || data1 > 127)
		return B_BAD_VALUE;
	uint8_t status = static_cast<uint8_t>(kind | channel);
	size_t length = MidiMessageLength(status);
	if (length == 3 && data2 > 127)
		return B_BAD_VALUE;
	message.assign({status, data1});
	if (length == 3)
		message.push_back(data2);
	return B_OK;
}

status_t BuildSystemMessage(uint8_t status, uint8_t data1, uint8_t data2,
	std::vector<uint8_t>& message)
{
	size_t length = status > 0xF0 && status != 0xF7 ? MidiMessageLength(status) : 0;
	if (length == 0 || (length > 1 && data1 > 127) || (length > 2 && data2 > 127))
		return B_BAD_VALUE;
	message.assign({status});
	if (length > 1)
		message.push_back(data1);
	if (length > 2)
		message.push_back(data2);
	return B_OK;
}

}  // namespace midi_internal

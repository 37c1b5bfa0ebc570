#include "MorpheusSimulator.h"

#include "PatchFactory.h"
#include "SimLists.h"

namespace morpheus_sim {

namespace {

constexpr size_t kPatchRequestLength = 6;   // header, 14-bit number
constexpr size_t kListRequestLength = 4;    // header only
constexpr size_t kEditPairLength = 4;       // 14-bit number, 14-bit value
constexpr uint8_t kBankSelectLsb = 32;
constexpr uint8_t kHighestBank = 4;         // 3 and 4 are the card's banks

}  // namespace

MorpheusSimulator::MorpheusSimulator(uint8_t deviceId)
	:
	fDeviceId(deviceId <= kMaxDeviceId ? deviceId : 0),
	fPresets{&kPresetLayout, {}, 0, {}},
	fHyperpresets{&kHyperpresetLayout, {}, 0, {}},
	fMidimaps{&kMidimapLayout, {}, 0, {}},
	fInstrumentList(MakeInstrumentList(fDeviceId)),
	fFilterList(MakeFilterList(fDeviceId)),
	fEffectList(MakeEffectList(fDeviceId))
{
	std::vector<int> instruments = InstrumentIds(fInstrumentList);
	for (int n = 0; n < 128; ++n) {
		fPresets.stored.push_back(MakeFactoryPreset(fDeviceId, kRamBank,
			static_cast<uint8_t>(n), instruments));
	}
	for (int n = 0; n < 128; ++n) {
		fPresets.stored.push_back(MakeFactoryPreset(fDeviceId, kRomBank,
			static_cast<uint8_t>(n), instruments));
	}
	for (int n = 0; n < 128; ++n)
		fHyperpresets.stored.push_back(MakeFactoryHyperpreset(fDeviceId, static_cast<uint8_t>(n)));
	for (int n = 0; n < 16; ++n)
		fMidimaps.stored.push_back(MakeFactoryMidimap(fDeviceId, static_cast<uint8_t>(n)));
	for (Memory* memory : {&fPresets, &fHyperpresets, &fMidimaps})
		Select(*memory, 0);
}

uint8_t MorpheusSimulator::DeviceId() const
{
	std::lock_guard lock(fLock);
	return fDeviceId;
}

bool MorpheusSimulator::SetInstrumentList(const Message& list)
{
	if (!IsInstrumentList(list))
		return false;
	std::lock_guard lock(fLock);
	fInstrumentList = list;
	return true;
}

int MorpheusSimulator::SlotOf(const DumpLayout& layout, const uint8_t* dump)
{
	int number = dump[5];
	if (number >= 128)
		return -1;
	if (&layout == &kPresetLayout) {
		if (dump[6] == kRamBank)
			return number;
		if (dump[6] == kRomBank)
			return 128 + number;
		return -1;   // the card
	}
	if (&layout == &kHyperpresetLayout)
		return dump[6] == 0 ? number : -1;   // 1 is the card
	return number < layout.count ? number : -1;
}

MorpheusSimulator::LoadResult MorpheusSimulator::LoadMemory(
	const std::vector<Message>& messages)
{
	std::lock_guard lock(fLock);
	LoadResult result;
	for (const Message& message : messages) {
		Memory* memory = nullptr;
		int* taken = nullptr;
		if (IsMorpheusMessage(message.data(), message.size())) {
			switch (message[3]) {
				case kPresetData: memory = &fPresets; taken = &result.presets; break;
				case kHyperpresetData:
					memory = &fHyperpresets;
					taken = &result.hyperpresets;
					break;
				case kMidimapData: memory = &fMidimaps; taken = &result.midimaps; break;
				default: break;
			}
		}
		int slot = -1;
		if (memory != nullptr && message.size() == memory->layout->length
			&& ChecksumValid(message))
			slot = SlotOf(*memory->layout, message.data());
		if (slot < 0) {
			++result.skipped;
			continue;
		}
		memory->stored[static_cast<size_t>(slot)] = message;
		++*taken;
	}
	for (Memory* memory : {&fPresets, &fHyperpresets, &fMidimaps})
		Select(*memory, memory->current);
	return result;
}

std::vector<Message> MorpheusSimulator::SystemExclusive(const uint8_t* data, size_t length)
{
	std::lock_guard lock(fLock);
	return HandleSystemExclusive(data, length);
}

std::vector<Message> MorpheusSimulator::Receive(const uint8_t* data, size_t length)
{
	if (data == nullptr || length == 0)
		return {};
	uint8_t status = data[0];
	if (status == 0xF0) {
		if (length < 2 || data[length - 1] != 0xF7) {
			std::lock_guard lock(fLock);
			++fCounters.ignored;
			return {};
		}
		return SystemExclusive(data + 1, length - 2);
	}
	if ((status & 0xF0) == 0xC0 && length >= 2 && data[1] <= 0x7F)
		ProgramChange(status & 0x0F, data[1]);
	else if ((status & 0xF0) == 0xB0 && length >= 3 && data[1] <= 0x7F && data[2] <= 0x7F)
		ControlChange(status & 0x0F, data[1], data[2]);
	return {};
}

std::vector<Message> MorpheusSimulator::HandleSystemExclusive(const uint8_t* data,
	size_t length)
{
	if (!IsMorpheusMessage(data, length) || data[2] != fDeviceId) {
		++fCounters.ignored;
		return {};
	}
	std::vector<Message> replies;
	bool handled = false;
	switch (data[3]) {
		case kPresetRequest:
			replies = AnswerRequest(fPresets, data, length);
			handled = !replies.empty();
			break;
		case kHyperpresetRequest:
			replies = AnswerRequest(fHyperpresets, data, length);
			handled = !replies.empty();
			break;
		case kMidimapRequest:
			replies = AnswerRequest(fMidimaps, data, length);
			handled = !replies.empty();
			break;
		case kInstrumentListRequest:
		case kFilterListRequest:
		case kEffectListRequest:
			if (length == kListRequestLength) {
				const Message& list = data[3] == kInstrumentListRequest ? fInstrumentList
					: data[3] == kFilterListRequest ? fFilterList : fEffectList;
				replies.push_back(ListReply(list));
				++fCounters.requestsAnswered;
				handled = true;
			}
			break;
		case kPresetData:
		case kHyperpresetData:
		case kMidimapData:
			handled = StoreDump(data, length);
			if (handled)
				++fCounters.dumpsStored;
			break;
		case kParameterEdit:
			handled = ApplyEdits(data, length);
			break;
		default:
			break;
	}
	if (!handled)
		++fCounters.ignored;
	return replies;
}

std::vector<Message> MorpheusSimulator::AnswerRequest(Memory& memory, const uint8_t* data,
	size_t length)
{
	if (length != kPatchRequestLength)
		return {};
	int number = data[4] | (data[5] << 7);
	if (number >= memory.layout->count)
		return {};
	++fCounters.requestsAnswered;
	return {Reply(memory, number)};
}

Message MorpheusSimulator::Reply(const Memory& memory, int number) const
{
	Message dump = number == memory.current
		? memory.edited : memory.stored[static_cast<size_t>(number)];
	dump[2] = fDeviceId;
	dump[5] = static_cast<uint8_t>(number & 0x7F);
	if (memory.layout == &kPresetLayout)
		dump[6] = static_cast<uint8_t>(number >> 7);
	UpdateChecksum(dump);
	return dump;
}

Message MorpheusSimulator::ListReply(const Message& list) const
{
	Message reply = list;
	reply[2] = fDeviceId;
	return reply;
}

bool MorpheusSimulator::StoreDump(const uint8_t* data, size_t length)
{
	Memory& memory = data[3] == kPresetData ? fPresets
		: data[3] == kHyperpresetData ? fHyperpresets : fMidimaps;
	if (length != memory.layout->length || data[length - 1] != DumpChecksum(data, length))
		return false;
	int slot = SlotOf(*memory.layout, data);
	if (slot < 0 || (memory.layout == &kPresetLayout && slot >= 128))
		return false;   // no card; the ROM cannot be written
	memory.stored[static_cast<size_t>(slot)].assign(data, data + length);
	if (slot == memory.current)
		Select(memory, slot);
	return true;
}

bool MorpheusSimulator::ApplyEdits(const uint8_t* data, size_t length)
{
	size_t body = length - kHeaderLength;
	if (body == 0 || body % kEditPairLength != 0)
		return false;
	bool any = false;
	for (size_t i = kHeaderLength; i < length; i += kEditPairLength) {
		int parameter = data[i] | (data[i + 1] << 7);
		if (ApplyEdit(parameter, data + i + 2)) {
			++fCounters.parameterEdits;
			any = true;
		}
	}
	return any;
}

bool MorpheusSimulator::ApplyEdit(int parameter, const uint8_t* value)
{
	for (Memory* memory : {&fPresets, &fHyperpresets, &fMidimaps}) {
		int index = WordIndexForParameter(*memory->layout, parameter);
		if (index < 0)
			continue;
		Message& dump = memory->edited;
		dump[static_cast<size_t>(index)] = value[0];
		dump[static_cast<size_t>(index) + 1] = value[1];
		UpdateChecksum(dump);
		return true;
	}
	return false;   // a global setting or a number the instrument does not have
}

void MorpheusSimulator::Select(Memory& memory, int number)
{
	memory.current = number;
	memory.edited = memory.stored[static_cast<size_t>(number)];
}

void MorpheusSimulator::SetChannel(int channel)
{
	std::lock_guard lock(fLock);
	fChannel = (channel >= 0 && channel <= 15) ? channel : -1;
}

void MorpheusSimulator::ProgramChange(uint8_t channel, uint8_t program)
{
	std::lock_guard lock(fLock);
	if ((fChannel >= 0 && channel != fChannel) || program > 0x7F)
		return;
	switch (fBank) {
		case kPresetRam: Select(fPresets, program); break;
		case kPresetRom: Select(fPresets, 128 + program); break;
		case kHyperpresetRam: Select(fHyperpresets, program); break;
		default:
			++fCounters.ignored;   // a card bank: there is no card
			return;
	}
	fProgram = program;
}

void MorpheusSimulator::ControlChange(uint8_t channel, uint8_t controller, uint8_t value)
{
	std::lock_guard lock(fLock);
	if ((fChannel >= 0 && channel != fChannel) || controller != kBankSelectLsb)
		return;
	if (value > kHighestBank) {
		++fCounters.ignored;
		return;
	}
	fBank = value;
}

void MorpheusSimulator::SetCurrentMidimap(uint8_t number)
{
	std::lock_guard lock(fLock);
	if (number < kMidimapLayout.count)
		Select(fMidimaps, number);
}

MorpheusSimulator::Program MorpheusSimulator::Playing() const
{
	std::lock_guard lock(fLock);
	return Program{fBank, fProgram};
}

Message MorpheusSimulator::Preset(int number) const
{
	std::lock_guard lock(fLock);
	return number >= 0 && number < kPresetLayout.count ? Reply(fPresets, number) : Message{};
}

Message MorpheusSimulator::Hyperpreset(int number) const
{
	std::lock_guard lock(fLock);
	return number >= 0 && number < kHyperpresetLayout.count
		? Reply(fHyperpresets, number) : Message{};
}

Message MorpheusSimulator::Midimap(int number) const
{
	std::lock_guard lock(fLock);
	return number >= 0 && number < kMidimapLayout.count ? Reply(fMidimaps, number) : Message{};
}

int MorpheusSimulator::CurrentPreset() const
{
	std::lock_guard lock(fLock);
	return fPresets.current;
}

MorpheusSimulator::Counters MorpheusSimulator::Statistics() const
{
	std::lock_guard lock(fLock);
	return fCounters;
}

}  // namespace morpheus_sim

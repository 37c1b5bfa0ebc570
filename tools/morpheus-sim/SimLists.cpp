#include "SimLists.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace morpheus_sim {

namespace {

void AppendWord(Message& message, int value)
{
	uint8_t bytes[2];
	Write14(bytes, value);
	message.push_back(bytes[0]);
	message.push_back(bytes[1]);
}

// Exactly `width` bytes of name, blank-filled.
void AppendName(Message& message, const char* name, size_t width)
{
	size_t length = strlen(name);
	for (size_t i = 0; i < width; ++i)
		message.push_back(i < length ? static_cast<uint8_t>(name[i] & 0x7F) : ' ');
}

Message ListHeader(uint8_t deviceId, uint8_t command)
{
	return Message{kManufacturerId, kModelId, deviceId, command};
}

void AppendEffects(Message& message, const std::vector<SimEffect>& effects)
{
	AppendWord(message, static_cast<int>(effects.size()));
	for (const SimEffect& effect : effects) {
		AppendWord(message, effect.id);
		AppendName(message, effect.name, 12);
		AppendWord(message, static_cast<int>(effect.params.size()));
		for (const SimEffectParam& param : effect.params) {
			AppendName(message, param.name, 11);
			// The instrument reports a feedback range starting at -127 as 129; the
			// librarian knows to read it back as -127.
			bool feedback = strcmp(param.name, "Feedback   ") == 0 && param.low == -127;
			AppendWord(message, feedback ? 129 : param.low);
			AppendWord(message, param.high);
			AppendWord(message, param.limit);
		}
	}
}

}  // namespace

const std::vector<SimEffect>& SimEffectsA()
{
	static const std::vector<SimEffect> effects{
		{0, "No Effect", {}},
		{1, "Sim Room", {{"Decay Time", 0, 99, 99}, {"HF Damping", 0, 99, 99}}},
		{2, "Sim Hall", {{"Decay Time", 0, 99, 99}, {"HF Damping", 0, 99, 99},
			{"Pre-Delay", 0, 127, 127}}},
		{3, "Sim Plate", {{"Decay Time", 0, 99, 99}, {"Diffusion", 0, 99, 99}}},
		{4, "Sim Delay", {{"Delay Left", 0, 127, 127}, {"Delay Right", 0, 127, 127},
			{"Feedback   ", -127, 127, 127}, {"HF Damping", 0, 99, 99}}},
		{5, "Sim Chorus", {{"LFO Rate", 0, 99, 99}, {"LFO Depth", 0, 99, 99}}},
	};
	return effects;
}

const std::vector<SimEffect>& SimEffectsB()
{
	static const std::vector<SimEffect> effects{
		{0, "No Effect", {}},
		{1, "Sim Chorus", {{"LFO Rate", 0, 99, 99}, {"LFO Depth", 0, 99, 99}}},
		{2, "Sim Flanger", {{"LFO Rate", 0, 99, 99}, {"LFO Depth", 0, 99, 99},
			{"Feedback   ", -127, 127, 127}}},
		{3, "Sim Phaser", {{"LFO Rate", 0, 99, 99}, {"LFO Depth", 0, 99, 99}}},
		{4, "Sim Echo", {{"Delay Time", 0, 127, 127}, {"Feedback   ", -127, 127, 127}}},
		{5, "Sim Distort", {{"Drive", 0, 99, 99}, {"Tone", -64, 63, 63}}},
	};
	return effects;
}

const std::vector<SimFilter>& SimFilters()
{
	static const std::vector<SimFilter> filters{
		{160, "Sim Lowpass", 0}, {161, "Sim Hipass", 0}, {162, "Sim Bandpas", 0},
		{163, "Sim Notch", 0}, {164, "Sim Peak", 1}, {165, "Sim Shelf", 1},
		{166, "Sim Vowel A", 2}, {167, "Sim Vowel E", 2}, {168, "Sim Vowel I", 2},
		{169, "Sim Vowel O", 2}, {170, "Sim Vowel U", 2}, {171, "Sim Phaser", 1},
		{172, "Sim Comb", 1}, {173, "Sim Flanger", 1}, {174, "Sim Talker", 2},
		{175, "Sim Sweeper", 0},
	};
	return filters;
}

Message MakeInstrumentList(uint8_t deviceId)
{
	static const char* const families[] = {"Piano", "EPno", "Organ", "Strng", "Brass",
		"Flute", "Reed", "Bass", "Gtr", "Pad", "Bell", "Drums"};
	constexpr int kVariants = 4;
	Message list = ListHeader(deviceId, kInstrumentList);
	int count = static_cast<int>(std::size(families)) * kVariants;
	AppendWord(list, count);
	int id = kNoInstrumentId + 1;
	for (const char* family : families) {
		for (int variant = 1; variant <= kVariants; ++variant) {
			char name[32];
			snprintf(name, sizeof name, "Sim %s %d", family, variant);
			AppendWord(list, id++);
			AppendName(list, name, 11);
			list.push_back(0);
		}
	}
	return list;
}

Message MakeFilterList(uint8_t deviceId)
{
	Message list = ListHeader(deviceId, kFilterList);
	AppendWord(list, static_cast<int>(SimFilters().size()));
	for (const SimFilter& filter : SimFilters()) {
		AppendWord(list, filter.id);
		AppendName(list, filter.name, 11);
		AppendWord(list, filter.value);
		list.push_back(0);
	}
	return list;
}

Message MakeEffectList(uint8_t deviceId)
{
	Message list = ListHeader(deviceId, kEffectList);
	AppendEffects(list, SimEffectsA());
	AppendEffects(list, SimEffectsB());
	return list;
}

bool IsInstrumentList(const Message& list)
{
	if (!IsMorpheusMessage(list.data(), list.size()) || list[3] != kInstrumentList
		|| list.size() < 6)
		return false;
	int count = Read14(&list[4]);
	return count >= 0
		&& list.size() >= 6 + kInstrumentEntryLength * static_cast<size_t>(count);
}

std::vector<int> InstrumentIds(const Message& list)
{
	std::vector<int> ids;
	if (!IsInstrumentList(list))
		return ids;
	int count = Read14(&list[4]);
	for (int i = 0; i < count; ++i)
		ids.push_back(Read14(&list[6 + kInstrumentEntryLength * static_cast<size_t>(i)]));
	return ids;
}

}  // namespace morpheus_sim

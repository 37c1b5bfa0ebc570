#include "vst/VSTParameter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "vst/VSTDispatch.h"

using namespace vst_internal;

namespace vst_internal {

std::string DispatchString(AEffect* effect, int32_t opcode, int32_t index, size_t maxLength,
	bool* answered)
{
	// Some plug-ins write well past the nominal lengths: a large buffer and a guard byte.
	char buffer[kVstStringBufferSize * 4 + 1];
	memset(buffer, 0, sizeof(buffer));
	intptr_t answer = Dispatch(effect, opcode, index, 0, buffer);
	if (answered)
		*answered = answer != 0;
	buffer[sizeof(buffer) - 1] = '\0';
	return std::string(buffer, strnlen(buffer, std::min(maxLength, sizeof(buffer) - 1)));
}

std::string Trimmed(const std::string& s)
{
	const char* blanks = " \t\r\n";
	size_t first = s.find_first_not_of(blanks);
	if (first == std::string::npos)
		return std::string();
	size_t last = s.find_last_not_of(blanks);
	return s.substr(first, last - first + 1);
}

}  // namespace vst_internal

VSTParameter::VSTParameter(AEffect* effect, int32 index)
	:
	fEffect(effect),
	fIndex(index)
{
	fName = Trimmed(DispatchString(effect, effGetParamName, index));
	if (fName.empty())
		fName = "Untitled Parameter " + std::to_string(index);

	VstParameterProperties properties;
	memset(&properties, 0, sizeof(properties));
	if (Dispatch(effect, effGetParameterProperties, index, 0, &properties) != 0) {
		if (properties.flags & kVstParameterUsesFloatStep) {
			fStep = properties.stepFloat;
			return;
		}
		if (properties.flags & kVstParameterIsSwitch)
			fDiscrete = 1;
		if (properties.flags & kVstParameterUsesIntegerMinMax) {
			fMinimum = float(properties.minInteger);
			fMaximum = float(properties.maxInteger);
			fStep = 1;
		}
		if (properties.flags & kVstParameterUsesIntStep)
			fStep = float(properties.stepInteger);
	}
	if (fMinimum != 0 || fMaximum != 1)
		fLabel = Trimmed(DispatchString(effect, effGetParamLabel, index));
}

float VSTParameter::setValue(float v)
{
	if (fDiscrete)
		return -1;
	float normalised = Range() != 0 ? (v - fMinimum) / Range() : 0;
	// Also catches a value that is not a number.
	normalised = std::clamp(std::isnan(normalised) ? 0.0f : normalised, 0.0f, 1.0f);
	fEffect->setParameter(fEffect, fIndex, normalised);
	return normalised;
}

float VSTParameter::setValue(int32 v)
{
	if (!fDiscrete)
		return -1;
	float normalised = Range() != 0 ? float(v) / Range() : 0;
	normalised = std::clamp(normalised, 0.0f, 1.0f);
	fEffect->setParameter(fEffect, fIndex, normalised);
	return normalised;
}

bool VSTParameter::getValue(float* value) const
{
	if (fDiscrete)
		return false;
	*value = fEffect->getParameter(fEffect, fIndex) * Range() + fMinimum;
	return true;
}

bool VSTParameter::getValue(int32* value) const
{
	if (!fDiscrete)
		return false;
	// The same 0-based setting setValue takes, so that a value read can be written back.
	// Rounded, not truncated: 7 / 10 stored as a float reads back as 6.9999…
	const float steps = fEffect->getParameter(fEffect, fIndex) * Range();
	*value = int32(std::lround(std::isfinite(steps) ? steps : 0));
	return true;
}

std::vector<VSTParameter::Item> VSTParameter::DiscreteItems() const
{
	std::vector<Item> items;
	if (!fDiscrete)
		return items;
	const float remembered = fEffect->getParameter(fEffect, fIndex);
	const int64 first = int64(fMinimum);
	const int64 last = int64(fMaximum);
	// A switch declared without an integer step advances by one.
	const int64 step = int64(fStep) > 0 ? int64(fStep) : 1;
	for (int64 v = first; v <= last && int32(items.size()) < kMaxItems; v += step) {
		const_cast<VSTParameter*>(this)->setValue(int32(v - first));
		items.push_back({int32(v - first), Trimmed(DispatchString(fEffect, effGetParamDisplay,
			fIndex))});
	}
	fEffect->setParameter(fEffect, fIndex, remembered);
	return items;
}

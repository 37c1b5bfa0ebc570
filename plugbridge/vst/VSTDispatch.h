#pragma once
// Calls into a plug-in's dispatcher, and string answers read from zeroed buffers that are
// larger than any plug-in writes in practice. Internal to the wrapper.

#include <string>

#include "vst/Vst2Interface.h"

namespace vst_internal {

inline intptr_t Dispatch(AEffect* effect, int32_t opcode, int32_t index = 0, intptr_t value = 0,
	void* ptr = nullptr, float opt = 0)
{
	if (effect == nullptr || effect->dispatcher == nullptr)
		return 0;
	return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

// The string the plug-in writes for opcode (index), cut to maxLength bytes; answered
// tells whether the dispatcher returned non-zero.
std::string DispatchString(AEffect* effect, int32_t opcode, int32_t index = 0,
	size_t maxLength = kVstStringBufferSize - 1, bool* answered = nullptr);

// s without leading and trailing blanks.
std::string Trimmed(const std::string& s);

}  // namespace vst_internal

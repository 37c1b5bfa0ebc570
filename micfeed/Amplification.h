#pragma once
// The amplification of every micfeed stream in the process, in tenths (10 = ×1,
// 500 = ×50), and the settings messages that carry it.
//
// Messages: the host's configuration message keeps it as the int32 "amplification"; the
// settings view reports slider moves as kAmplificationChanged with the int32 "be:value".
// Values outside kMinAmplification … kMaxAmplification are ignored wherever they come from.
// Threads: any thread; the value is an atomic read once per read of a stream.

#include "kernel/SupportDefs.h"

class BMessage;

namespace micfeed {

constexpr int32 kMinAmplification = 10;
constexpr int32 kMaxAmplification = 500;
constexpr int32 kAmplificationStep = 10;
constexpr int32 kDefaultAmplification = 10;
constexpr const char* kAmplificationField = "amplification";
constexpr uint32 kAmplificationChanged = 'chg!';   // int32 "be:value"

int32 Multiplier();
// False (and no change) when value lies outside the range.
bool SetMultiplier(int32 value);

// Takes config's "amplification" when it is an int32 in range; false otherwise.
bool AdoptAmplification(const BMessage* config);
// A kAmplificationChanged message: takes its "be:value" when in range.
bool ApplyAmplificationChange(const BMessage* message);
// Empties config and stores the current amplification in it.
void StoreAmplification(BMessage* config);

}  // namespace micfeed

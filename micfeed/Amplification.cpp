#include "Amplification.h"

#include "app/Message.h"

#include <atomic>

namespace micfeed {

namespace {

std::atomic<int32> sMultiplier{kDefaultAmplification};

bool TakeInt32(const BMessage* message, const char* name)
{
	int32 value = 0;
	return message != nullptr && message->FindInt32(name, &value) == B_OK
		&& SetMultiplier(value);
}

}  // namespace

int32 Multiplier()
{
	return sMultiplier.load(std::memory_order_relaxed);
}

bool SetMultiplier(int32 value)
{
	if (value < kMinAmplification || value > kMaxAmplification)
		return false;
	sMultiplier.store(value, std::memory_order_relaxed);
	return true;
}

bool AdoptAmplification(const BMessage* config)
{
	return TakeInt32(config, kAmplificationField);
}

bool ApplyAmplificationChange(const BMessage* message)
{
	return message != nullptr && message->what == kAmplificationChanged
		&& TakeInt32(message, "be:value");
}

void StoreAmplification(BMessage* config)
{
	if (config == nullptr)
		return;
	config->MakeEmpty();
	config->AddInt32(kAmplificationField, Multiplier());
}

}  // namespace micfeed

#include "media/Controllable.h"

#include "app/Message.h"
#include "media/MediaRoster.h"
#include "media/NodeCall.h"
#include "media/ParameterWeb.h"

#include <algorithm>

namespace {

// One record of a parameter buffer (Controllable.h).
struct ParameterRecordHeader {
	int32 id;
	uint32 size;
	bigtime_t when;
};

}  // namespace

BControllable::BControllable() : BMediaNode("controllable")
{
	AddNodeKind(B_CONTROLLABLE);
}

BControllable::~BControllable() = default;

status_t BControllable::GetParameterValue(int32, bigtime_t*, void*, size_t*)
{
	return B_BAD_VALUE;
}

void BControllable::SetParameterValue(int32, bigtime_t, const void*, size_t) {}

status_t BControllable::StartControlPanel(BMessenger*)
{
	return B_ERROR;
}

status_t BControllable::ApplyParameterData(const void* value, size_t size)
{
	if (value == nullptr)
		return B_BAD_VALUE;
	const char* bytes = static_cast<const char*>(value);
	size_t offset = 0;
	while (size - offset >= sizeof(ParameterRecordHeader)) {
		ParameterRecordHeader header;
		std::memcpy(&header, bytes + offset, sizeof(header));
		offset += sizeof(header);
		if (header.size > size - offset)
			return B_BAD_DATA;
		SetParameterValue(header.id, header.when, bytes + offset, header.size);
		offset += header.size;
	}
	return offset == size ? B_OK : B_BAD_DATA;
}

status_t BControllable::HandleMessage(int32 code, const void* data, size_t size)
{
	MarkServiceThread();
	if (code != kMediaSetParameterMessage)
		return B_ERROR;
	SetParameterMessage message;
	if (size < offsetof(SetParameterMessage, value))
		return B_BAD_VALUE;
	std::memcpy(&message, data, std::min(size, sizeof(message)));
	size_t valueSize = std::min<size_t>(message.size, sizeof(message.value));
	SetParameterValue(message.id, message.when, message.value, valueSize);
	return B_OK;
}

BParameterWeb* BControllable::Web()
{
	std::lock_guard<std::recursive_mutex> guard(fWebLock);
	return fWeb.get();
}

bool BControllable::LockParameterWeb()
{
	fWebLock.lock();
	return true;
}

void BControllable::UnlockParameterWeb()
{
	fWebLock.unlock();
}

status_t BControllable::SetParameterWeb(BParameterWeb* web)
{
	std::lock_guard<std::recursive_mutex> guard(fWebLock);
	fWeb.reset(web);
	if (web != nullptr)
		web->SetNode(Node());
	return B_OK;
}

status_t BControllable::BroadcastNewParameterValue(bigtime_t when, int32 id, void* newValue,
	size_t valueSize)
{
	BMessage message(B_MEDIA_NEW_PARAMETER_VALUE);
	message.AddInt32("node", ID());
	message.AddInt32("parameter", id);
	message.AddInt64("when", when);
	if (newValue != nullptr && valueSize > 0)
		message.AddData("value", B_RAW_TYPE, newValue, ssize_t(valueSize));
	return BMediaRoster::Roster()->NotifyWatchers(Node(), message);
}

status_t BControllable::BroadcastChangedParameter(int32 id)
{
	return BroadcastNewParameterValue(0, id, nullptr, 0);
}

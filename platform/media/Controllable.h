#pragma once
// BControllable: a node with parameters, addressed by id. Values are raw bytes (a float
// for continuous parameters, an int32 for discrete ones unless the node says otherwise).
//
// SetParameterValue is how every change arrives: from BParameter::SetValue and
// BMediaRoster (through the control port, so on the node's thread) or from the node's own
// owner calling it directly. A node that applies changes later (at `when`) queues them,
// as BMediaEventLooper nodes do. When a value changed, the node calls
// BroadcastNewParameterValue, which tells every watcher (BMediaRoster::StartWatching)
// with a B_MEDIA_NEW_PARAMETER_VALUE message.
//
// Parameter buffers: a B_MEDIA_PARAMETERS buffer holds records of
// { int32 id; uint32 size; bigtime_t when; size bytes of value }, packed; the default
// ApplyParameterData calls SetParameterValue for each.
//
// Lifetime: the node owns its web (SetParameterWeb takes ownership and deletes the old).
// Threads: hooks on the node's thread (MediaNode.h), SetParameterValue also wherever the
// node documents it; BroadcastNewParameterValue from any thread (it posts messages, so
// not from an audio callback).
#include "media/MediaNode.h"

#include <memory>
#include <mutex>

class BMessenger;
class BParameterWeb;

// What of B_MEDIA_NEW_PARAMETER_VALUE messages: int32 "node", int32 "parameter",
// int64 "when", raw "value".
enum : uint32 { B_MEDIA_NEW_PARAMETER_VALUE = 'TSnv' };

class BControllable : public virtual BMediaNode {
public:
	// The stored value of id; *ioSize is the room in value, then the bytes given.
	virtual status_t GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
		size_t* ioSize);
	virtual void SetParameterValue(int32 id, bigtime_t when, const void* value, size_t size);
	// Opens the node's own editor, if it has one; B_ERROR otherwise.
	virtual status_t StartControlPanel(BMessenger* outMessenger);
	virtual status_t ApplyParameterData(const void* value, size_t size);

	// Dispatches parameter changes from the control port; see BMediaNode::HandleMessage.
	status_t HandleMessage(int32 code, const void* data, size_t size) override;

	BParameterWeb* Web();
	bool LockParameterWeb();
	void UnlockParameterWeb();

protected:
	BControllable();
	~BControllable() override;

	// Installs web (taking ownership; null removes it).
	status_t SetParameterWeb(BParameterWeb* web);
	status_t BroadcastNewParameterValue(bigtime_t when, int32 id, void* newValue,
		size_t valueSize);
	status_t BroadcastChangedParameter(int32 id);

private:
	std::unique_ptr<BParameterWeb> fWeb;   // guarded by fWebLock
	std::recursive_mutex fWebLock;
};

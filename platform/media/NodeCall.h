#pragma once
// NodeCall: a request that runs on a node's own thread. The roster and other nodes wrap a
// hook call in one and post it to the node's control port; the node's dispatcher
// (BMediaNode::HandleMessage) runs it. Internal to the media layer.
//
// Lifetime: call_node takes ownership of the call. A waiting caller gets the result or
// B_TIMED_OUT; a call that times out before the node took it never runs (so it may refer
// to the caller's stack), one the node is running is waited for to the end.
// Threads: any thread may post; the call runs on the node's service thread, or directly
// on the caller's when the caller is that thread or the node serves no thread yet.
#include "media/MediaNode.h"

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <utility>

enum : int32 {
	kMediaNodeCallMessage = 0x4d4e0001,       // NodeCall*
	kMediaBufferMessage = 0x4d4e0002,         // BBuffer*
	kMediaDataStatusMessage = 0x4d4e0003,     // DataStatusMessage
	kMediaLatencyChangedMessage = 0x4d4e0004, // LatencyChangedMessage
	kMediaLateNoticeMessage = 0x4d4e0005,     // LateNoticeMessage
	kMediaSetParameterMessage = 0x4d4e0006,   // SetParameterMessage
	kMediaWakeUpMessage = 0x4d4e0100,         // no payload: a looper's next event changed
};

struct DataStatusMessage {
	media_destination destination;
	int32 status;
	bigtime_t when;
};

struct LatencyChangedMessage {
	media_source source;
	media_destination destination;
	bigtime_t latency;
	uint32 flags;
};

struct LateNoticeMessage {
	media_source source;
	bigtime_t howLate;
	bigtime_t when;
};

struct SetParameterMessage {
	int32 id;
	bigtime_t when;
	uint32 size;
	char value[256];
};

// Copies a message payload of type T out of data; false when it is too short.
template <class T>
bool read_payload(const void* data, size_t size, T* out)
{
	if (size < sizeof(T))
		return false;
	std::memcpy(out, data, sizeof(T));
	return true;
}

struct NodeCall {
	virtual ~NodeCall() = default;
	virtual status_t Run(BMediaNode* node) = 0;

	// 0 waiting, 1 taken by the node, 2 abandoned by a caller that timed out
	std::atomic<int> state{0};
	std::atomic<int> references{1};
	std::mutex lock;
	std::condition_variable finished;
	bool done = false;          // guarded by lock
	status_t result = B_OK;     // valid once done

	void Unreference()
	{
		if (references.fetch_sub(1) == 1)
			delete this;
	}
	// Runs the call unless it was abandoned, and tells a waiter.
	void Execute(BMediaNode* node);
};

template <class F>
struct NodeCallOf : NodeCall {
	explicit NodeCallOf(F f) : function(std::move(f)) {}
	status_t Run(BMediaNode* node) override { return function(node); }
	F function;
};

// Timeout of the roster's requests to a node.
constexpr bigtime_t kNodeCallTimeout = 5000000;

// Posts call to node (see above). With wait false, returns once the call is queued.
status_t call_node(BMediaNode* node, NodeCall* call, bool wait,
	bigtime_t timeout = kNodeCallTimeout);

// Runs f(node) on the node's thread and returns its status_t.
template <class F>
status_t call_node_sync(BMediaNode* node, F f, bigtime_t timeout = kNodeCallTimeout)
{
	return call_node(node, new NodeCallOf<F>(std::move(f)), true, timeout);
}

// Queues f(node) for the node's thread; f must own everything it uses.
template <class F>
status_t call_node_async(BMediaNode* node, F f)
{
	return call_node(node, new NodeCallOf<F>(std::move(f)), false, 0);
}

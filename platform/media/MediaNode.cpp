#include "media/MediaNode.h"

#include "kernel/OS.h"
#include "media/Buffer.h"
#include "media/MediaRoster.h"
#include "media/NodeCall.h"
#include "media/TimeSource.h"

#include <cstdio>
#include <cstring>

namespace {

thread_local char tThreadMarker;

uintptr_t ThisThread()
{
	return reinterpret_cast<uintptr_t>(&tThreadMarker);
}

constexpr int32 kControlPortCapacity = 64;

}  // namespace

void NodeCall::Execute(BMediaNode* node)
{
	int expected = 0;
	if (state.compare_exchange_strong(expected, 1)) {
		status_t status = Run(node);
		std::lock_guard<std::mutex> guard(lock);
		result = status;
		done = true;
		finished.notify_all();
	}
	Unreference();
}

status_t call_node(BMediaNode* node, NodeCall* call, bool wait, bigtime_t timeout)
{
	if (node == nullptr) {
		delete call;
		return B_MEDIA_BAD_NODE;
	}
	uintptr_t server = node->fServiceThread.load();
	if (server == 0 || server == ThisThread()) {
		status_t status = call->Run(node);
		delete call;
		return status;
	}
	if (wait)
		call->references.fetch_add(1);
	NodeCall* payload = call;
	status_t status = write_port_etc(node->ControlPort(), kMediaNodeCallMessage, &payload,
		sizeof(payload), B_RELATIVE_TIMEOUT, wait ? timeout : 1000000);
	if (status != B_OK) {
		if (wait)
			call->references.fetch_sub(1);
		delete call;
		return status == B_BAD_PORT_ID ? B_MEDIA_BAD_NODE : status;
	}
	if (!wait)
		return B_OK;
	std::unique_lock<std::mutex> guard(call->lock);
	bool finished = call->finished.wait_for(guard, std::chrono::microseconds(timeout),
		[&] { return call->done; });
	if (!finished) {
		int expected = 0;
		if (call->state.compare_exchange_strong(expected, 2)) {
			guard.unlock();
			call->Unreference();
			return B_TIMED_OUT;
		}
		// The node is running it; it may refer to our stack, so wait for the end.
		call->finished.wait(guard, [&] { return call->done; });
	}
	status = call->result;
	guard.unlock();
	call->Unreference();
	return status;
}

BMediaNode::BMediaNode(const char* name)
{
	std::snprintf(fName, sizeof(fName), "%s", name != nullptr ? name : "");
	char portName[B_OS_NAME_LENGTH];
	std::snprintf(portName, sizeof(portName), "%.20s control", fName);
	fControlPort = create_port(kControlPortCapacity, portName);
}

BMediaNode::~BMediaNode()
{
	if (fControlPort < 0)
		return;
	// Calls still queued are abandoned, never run on a node that is gone.
	close_port(fControlPort);
	int32 code;
	alignas(8) char payload[sizeof(SetParameterMessage)];
	while (read_port_etc(fControlPort, &code, payload, sizeof(payload), B_RELATIVE_TIMEOUT, 0)
		>= 0) {
		if (code == kMediaNodeCallMessage) {
			NodeCall* call;
			std::memcpy(&call, payload, sizeof(call));
			{
				std::lock_guard<std::mutex> guard(call->lock);
				call->state.store(2);
				call->result = B_MEDIA_BAD_NODE;
				call->done = true;
				call->finished.notify_all();
			}
			call->Unreference();
		} else if (code == kMediaBufferMessage) {
			BBuffer* buffer;
			std::memcpy(&buffer, payload, sizeof(buffer));
			buffer->Recycle();
		}
	}
	delete_port(fControlPort);
}

BMediaNode* BMediaNode::Acquire()
{
	fRefCount.fetch_add(1);
	return this;
}

BMediaNode* BMediaNode::Release()
{
	// A node whose count reached zero counts from kDying on while it is unregistered:
	// the roster and other threads may still hold it for a moment, and whoever lets go of
	// it last deletes it.
	constexpr int32 kDying = 1 << 24;
	int32 previous = fRefCount.fetch_sub(1);
	if (previous == kDying + 1) {
		DeleteHook(this);
		return nullptr;
	}
	if (previous != 1)
		return this;
	fRefCount.fetch_add(kDying + 1);
	if (fID >= 0)
		BMediaRoster::Roster()->UnregisterNode(this);
	if (fRefCount.fetch_sub(1) == kDying + 1)
		DeleteHook(this);
	return nullptr;
}

status_t BMediaNode::DeleteHook(BMediaNode* node)
{
	delete node;
	return B_OK;
}

media_node BMediaNode::Node() const
{
	media_node node;
	node.node = fID;
	node.port = ControlPort();
	node.kind = fKinds;
	return node;
}

port_id BMediaNode::ControlPort() const
{
	return fControlPort;
}

BTimeSource* BMediaNode::TimeSource() const
{
	BTimeSource* source = fTimeSource.load();
	return source != nullptr ? source : media_time_source();
}

BMediaAddOn* BMediaNode::AddOn(int32* internalId) const
{
	if (internalId != nullptr)
		*internalId = 0;
	return nullptr;
}

status_t BMediaNode::WaitForMessage(bigtime_t waitUntil, uint32, void*)
{
	MarkServiceThread();
	// Large enough for every message of the media layer.
	alignas(8) char buffer[1024];
	int32 code = 0;
	ssize_t size = read_port_etc(ControlPort(), &code, buffer, sizeof(buffer),
		B_ABSOLUTE_TIMEOUT, waitUntil);
	if (size < 0)
		return status_t(size);
	if (code == kMediaWakeUpMessage)
		return B_OK;
	if (HandleMessage(code, buffer, size_t(size)) != B_OK)
		HandleBadMessage(code, buffer, size_t(size));
	return B_OK;
}

void BMediaNode::Start(bigtime_t) {}
void BMediaNode::Stop(bigtime_t, bool) {}
void BMediaNode::Seek(bigtime_t, bigtime_t) {}
void BMediaNode::SetRunMode(run_mode) {}
void BMediaNode::TimeWarp(bigtime_t, bigtime_t) {}
void BMediaNode::Preroll() {}
void BMediaNode::SetTimeSource(BTimeSource*) {}
void BMediaNode::NodeRegistered() {}

status_t BMediaNode::HandleMessage(int32 code, const void* data, size_t size)
{
	MarkServiceThread();
	if (code != kMediaNodeCallMessage || size < sizeof(NodeCall*))
		return B_ERROR;
	NodeCall* call;
	std::memcpy(&call, data, sizeof(call));
	call->Execute(this);
	return B_OK;
}

void BMediaNode::HandleBadMessage(int32 code, const void*, size_t size)
{
	std::fprintf(stderr, "media node \"%s\": unexpected message 0x%08x (%zu bytes)\n", fName,
		unsigned(code), size);
}

void BMediaNode::MarkServiceThread()
{
	fServiceThread.store(ThisThread());
}

bool BMediaNode::IsServiceThread() const
{
	return fServiceThread.load() == ThisThread();
}

#pragma once
// BMediaNode: what every node of the media graph has: an id given by the roster, a name,
// a control port, a time source, a run mode and, when an add-on made it, the add-on.
// Producers, consumers, controllables, time sources and file interfaces derive from it
// virtually (a node is usually several of them at once) and the most derived class names
// this base in its constructor: `MyNode() : BMediaNode("My node"), BBufferConsumer(...)`.
//
// Messages: other threads reach a node through its control port. The roster's requests
// (connection negotiation, start, stop, seek, run mode, time source), buffers sent by
// producers and parameter changes all arrive there as messages, and the thread that
// serves the port (a BMediaEventLooper's own thread, or one the node runs itself, which
// reads the port and passes what it reads to HandleMessage) calls the hooks. So every
// hook of a node runs on that one thread and the node needs no lock of its own. A node
// that has not yet served any message (before its thread starts) has its hooks called on
// the requesting thread. A node with several roles overrides HandleMessage and tries the
// dispatchers of its bases in turn, BMediaNode's last:
//   if (BBufferConsumer::HandleMessage(code, data, size) == B_OK
//       || BControllable::HandleMessage(code, data, size) == B_OK) return B_OK;
//   return BMediaNode::HandleMessage(code, data, size);
// (a node that reads its port itself reports what nobody took with HandleBadMessage).
//
// Lifetime: reference counted. The creator holds the first reference; the roster's
// GetNodeFor, GetAudioInput, MakeTimeSourceFor and InstantiateDormantNode hand out more.
// Release() (or BMediaRoster::ReleaseNode) drops one; the last one unregisters the node,
// disconnects it and calls DeleteHook, which deletes it. Never `delete` a node.
//
// Errors: hooks return the status the roster passes on to its caller.
#include "media/MediaDefs.h"

#include <atomic>

class BMediaAddOn;
class BTimeSource;
struct NodeCall;

class BMediaNode {
public:
	BMediaNode(const BMediaNode&) = delete;
	BMediaNode& operator=(const BMediaNode&) = delete;

	BMediaNode* Acquire();
	// Drops a reference; returns null when that was the last one (the node is gone).
	BMediaNode* Release();

	// -1 until the roster registers the node.
	media_node_id ID() const { return fID; }
	const char* Name() const { return fName; }
	media_node Node() const;
	uint64 Kinds() const { return fKinds; }
	// The port other threads write this node's messages to.
	virtual port_id ControlPort() const;
	// The node's time source (the media clock until SetTimeSourceFor chooses another).
	BTimeSource* TimeSource() const;
	run_mode RunMode() const { return fRunMode.load(); }
	// The add-on that made the node (and its flavor's internal id), or null.
	virtual BMediaAddOn* AddOn(int32* internalId) const;

	// Reads one message from ControlPort(), waiting until the system time waitUntil
	// (B_INFINITE_TIMEOUT: no limit), and hands it to HandleMessage. B_TIMED_OUT when
	// none came, B_BAD_PORT_ID when the port is gone.
	status_t WaitForMessage(bigtime_t waitUntil, uint32 flags = 0, void* reserved = nullptr);

	// Hooks, called on the node's thread. The defaults record the run mode and the time
	// source and otherwise do nothing.
	virtual void Start(bigtime_t performanceTime);
	virtual void Stop(bigtime_t performanceTime, bool immediate);
	virtual void Seek(bigtime_t mediaTime, bigtime_t performanceTime);
	virtual void SetRunMode(run_mode mode);
	virtual void TimeWarp(bigtime_t atRealTime, bigtime_t toPerformanceTime);
	virtual void Preroll();
	virtual void SetTimeSource(BTimeSource* timeSource);
	virtual void NodeRegistered();
	// The node's dispatcher for messages of the media layer; B_OK when it took the
	// message, else an error so that the caller tries the next dispatcher. Derived
	// dispatchers (BBufferConsumer, BBufferProducer, BControllable) are tried first.
	virtual status_t HandleMessage(int32 code, const void* data, size_t size);
	// Reports a message nobody took (to standard error).
	void HandleBadMessage(int32 code, const void* data, size_t size);

	// For the roster: the requested run mode's producer delay (SetProducerRunModeDelay).
	bigtime_t RunModeDelay() const { return fRunModeDelay; }

protected:
	explicit BMediaNode(const char* name);
	virtual ~BMediaNode();

	void AddNodeKind(uint64 kind) { fKinds |= kind; }
	// Deletes the node (the last Release). BMediaEventLooper stops its thread first.
	virtual status_t DeleteHook(BMediaNode* node);

	// Marks the calling thread as the one that serves this node's messages.
	void MarkServiceThread();
	// True when the calling thread serves this node's messages.
	bool IsServiceThread() const;

private:
	friend class BMediaRoster;
	friend class MediaRosterState;
	friend status_t call_node(BMediaNode* node, NodeCall* call, bool wait, bigtime_t timeout);

	char fName[B_MEDIA_NAME_LENGTH];
	media_node_id fID = -1;
	port_id fControlPort;
	uint64 fKinds = 0;
	std::atomic<int32> fRefCount{1};
	std::atomic<run_mode> fRunMode{B_INCREASE_LATENCY};
	bigtime_t fRunModeDelay = 0;
	std::atomic<BTimeSource*> fTimeSource{nullptr};
	std::atomic<uintptr_t> fServiceThread{0};  // 0 until a thread served a message
};

#pragma once
// BMediaRoster: the process's registry and switchboard of media nodes. It registers and
// releases nodes, keeps the default audio input and output, lists free and connected
// inputs and outputs, connects and disconnects them, starts, stops and seeks nodes at a
// performance time, sets their time sources and run modes, hands out parameter webs,
// finds and instantiates nodes of add-ons (sound-file readers for a file, flavors of a
// loaded add-on library), and tells watchers about new parameter values.
//
// Connect negotiates in this order, each step on the node's own thread:
//   1. the producer's FormatProposal narrows the caller's format for the output, and
//      the consumer's AcceptFormat narrows it to what the input takes (so a producer that
//      converts, like the default input, makes what its consumer wants);
//   2. the producer's PrepareToConnect reserves the output and fixes the format;
//   3. the consumer's AcceptFormat confirms the fixed format;
//   4. the consumer's Connected binds the input and returns it;
//   5. the producer's Connect confirms. When step 3 or 4 fails, the producer's Connect
//      gets the error instead (cancelling its reservation) and Connect returns it.
// An input or output already connected through the roster is refused at once
// (B_MEDIA_BAD_DESTINATION, B_MEDIA_ALREADY_CONNECTED).
//
// The default audio input: the node given to SetAudioInput; otherwise made on first use
// from the environment variable SUITE_AUDIO_INPUT: "tone:FREQ[:LEVEL[:CHANNELS]]" makes a
// sine generator (LEVEL in dBFS, default -6; the way tests and machines without a sound
// card get a signal), "file:PATH" plays a sound file in a loop, anything else (or unset)
// opens the system's audio input: the JACK server's capture ports when a server answers
// (JACK ports capture_1, capture_2 of the process's client), else RtAudio's default input
// (DeviceNodes.h).
//
// Lifetime: one roster per process (Roster()), never deleted. Calls that hand out a node
// (GetNodeFor, GetAudioInput, GetAudioOutput, GetTimeSource, MakeTimeSourceFor,
// InstantiateDormantNode) give the caller a reference to release with ReleaseNode (or
// Release() for a BTimeSource*). Nodes made by InstantiateDormantNode hold their
// creator's reference, also released with ReleaseNode.
// Errors: B_MEDIA_BAD_NODE for an unknown node or id, B_MEDIA_BAD_SOURCE /
// B_MEDIA_BAD_DESTINATION for unknown connection points, B_MEDIA_BAD_FORMAT when formats
// cannot be negotiated, B_MEDIA_NO_HANDLER for a file no reader takes, B_TIMED_OUT when a
// node does not answer within 5 s; otherwise the status the node's hook returned.
// Threads: every method may be called from any thread except a node's own thread while
// that node is waiting for another node's answer.
#include "kernel/EntryRef.h"
#include "media/MediaDefs.h"

#include <memory>

class BMediaAddOn;
class BMediaNode;
class BMessage;
class BMessenger;
class BParameterWeb;
class BTimeSource;
struct MediaRosterState;

class BMediaRoster {
public:
	// The process's roster (made on first call); *outError B_OK.
	static BMediaRoster* Roster(status_t* outError = nullptr);
	static BMediaRoster* CurrentRoster() { return Roster(); }

	// Nodes.
	status_t RegisterNode(BMediaNode* node);
	// Disconnects the node and removes it (the node's last Release does this).
	status_t UnregisterNode(BMediaNode* node);
	// Drops one reference to node.
	status_t ReleaseNode(const media_node& node);
	status_t GetNodeFor(media_node_id id, media_node* outNode);
	// The registered node object of id / of a control port, with a reference; or null.
	BMediaNode* AcquireNode(media_node_id id);
	BMediaNode* AcquireNodeForPort(port_id port);
	status_t GetLiveNodeInfo(const media_node& node, live_node_info* outInfo);
	// Up to *ioCount registered nodes with all of the kinds given (0: any).
	status_t GetLiveNodes(live_node_info* outNodes, int32* ioCount, uint64 nodeKinds = 0);

	// Defaults.
	status_t GetAudioInput(media_node* outNode);
	status_t GetAudioOutput(media_node* outNode);
	// Makes node the default input / output (the roster keeps a reference).
	status_t SetAudioInput(const media_node& node);
	status_t SetAudioOutput(const media_node& node);
	// The media clock (media_time_source(): JACK's clock while JACK is in use), and the
	// system clock's time source.
	status_t GetTimeSource(media_node* outNode);
	status_t GetSystemTimeSource(media_node* outNode);

	// Connection points. outTotal gets the number found (which may exceed the room).
	status_t GetFreeInputsFor(const media_node& node, media_input* outInputs, int32 room,
		int32* outTotal, media_type filterType = B_MEDIA_UNKNOWN_TYPE);
	status_t GetConnectedInputsFor(const media_node& node, media_input* outInputs, int32 room,
		int32* outTotal);
	status_t GetAllInputsFor(const media_node& node, media_input* outInputs, int32 room,
		int32* outTotal);
	status_t GetFreeOutputsFor(const media_node& node, media_output* outOutputs, int32 room,
		int32* outTotal, media_type filterType = B_MEDIA_UNKNOWN_TYPE);
	status_t GetConnectedOutputsFor(const media_node& node, media_output* outOutputs,
		int32 room, int32* outTotal);
	status_t GetAllOutputsFor(const media_node& node, media_output* outOutputs, int32 room,
		int32* outTotal);

	// See the negotiation above. ioFormat: the caller's wish in, the format agreed out.
	status_t Connect(const media_source& from, const media_destination& to,
		media_format* ioFormat, media_output* outOutput, media_input* outInput,
		uint32 flags = 0);
	status_t Disconnect(media_node_id sourceNode, const media_source& source,
		media_node_id destinationNode, const media_destination& destination);
	status_t Disconnect(const media_output& output, const media_input& input);

	// Time.
	status_t StartNode(const media_node& node, bigtime_t atPerformanceTime);
	status_t StopNode(const media_node& node, bigtime_t atPerformanceTime,
		bool immediate = false);
	status_t SeekNode(const media_node& node, bigtime_t toMediaTime,
		bigtime_t atPerformanceTime = 0);
	status_t StartTimeSource(const media_node& timeSource, bigtime_t atRealTime);
	status_t StopTimeSource(const media_node& timeSource, bigtime_t atRealTime,
		bool immediate = false);
	status_t SeekTimeSource(const media_node& timeSource, bigtime_t toPerformanceTime,
		bigtime_t atRealTime);
	status_t SetTimeSourceFor(media_node_id node, media_node_id timeSource);
	// The time source of forNode, with a reference (Release() it); null for a bad node.
	BTimeSource* MakeTimeSourceFor(const media_node& forNode);
	status_t SetRunModeFor(const media_node& node, run_mode mode);
	// The run mode of a producer with the delay it should keep (B_RECORDING).
	status_t SetProducerRunModeDelay(const media_node& node, bigtime_t delay,
		run_mode mode = B_RECORDING);
	status_t PrerollNode(const media_node& node);
	// A producer's latency (its GetLatency).
	status_t GetLatencyFor(const media_node& producer, bigtime_t* outLatency);
	status_t GetStartLatencyFor(const media_node& timeSource, bigtime_t* outLatency);

	// Parameters. The web is a copy the caller deletes; B_ERROR when the node has none.
	status_t GetParameterWebFor(const media_node& node, BParameterWeb** outWeb);
	status_t StartControlPanel(const media_node& node, BMessenger* outMessenger = nullptr);
	status_t GetParameterValue(const media_node& node, int32 id, void* value, size_t* ioSize,
		bigtime_t* outLastChange);
	// Queues a change for the node's thread (does not wait); value at most 256 bytes.
	status_t SetParameterValue(const media_node& node, int32 id, const void* value,
		size_t size, bigtime_t when);
	// Watchers get B_MEDIA_NEW_PARAMETER_VALUE messages (Controllable.h) of node
	// (media_node::null: of every node).
	status_t StartWatching(const BMessenger& where, const media_node& node, int32 what);
	status_t StopWatching(const BMessenger& where, const media_node& node, int32 what);
	// For BControllable: posts message to node's watchers.
	status_t NotifyWatchers(const media_node& node, const BMessage& message);

	// Files and add-ons.
	status_t SniffRef(const entry_ref& file, uint64 requireNodeKinds,
		dormant_node_info* outNode, char* outMimeType = nullptr);
	status_t InstantiateDormantNode(const dormant_node_info& info, media_node* outNode,
		uint32 flags = 0);
	status_t SetRefFor(const media_node& fileInterface, const entry_ref& file,
		bool createAndTruncate, bigtime_t* outDuration);
	// Up to *ioCount flavors of every add-on, with all of requireKinds.
	status_t GetDormantNodes(dormant_node_info* outNodes, int32* ioCount,
		uint64 requireKinds = 0);
	status_t GetDormantFlavorInfoFor(const dormant_node_info& info, flavor_info* outFlavor);
	// Loads an add-on library, calls its make_media_addon and registers the add-on.
	// B_ENTRY_NOT_FOUND, B_NOT_AN_EXECUTABLE (not a shared object), B_MISSING_SYMBOL
	// (no make_media_addon), B_MEDIA_ADDON_FAILED (it made nothing) or its InitCheck
	// status; LastAddOnError() describes it.
	status_t LoadAddOn(const char* path, media_addon_id* outId);
	// Registers an add-on object made in this process (taking ownership).
	status_t RegisterAddOn(BMediaAddOn* addOn, media_addon_id* outId);
	BMediaAddOn* AddOnFor(media_addon_id id);
	status_t UnloadAddOn(media_addon_id id);
	const char* LastAddOnError() const;
	// The id of the add-on of the platform's own nodes (readers, writers, devices).
	media_addon_id SystemAddOnID();

	// For BMediaAddOn::NotifyFlavorChange.
	void FlavorsChanged(BMediaAddOn* addOn);

private:
	BMediaRoster();
	~BMediaRoster();
	status_t GetDefault(BMediaNode*& slot, BMediaNode* (*make)(status_t*), media_node* outNode);

	std::unique_ptr<MediaRosterState> fState;
};

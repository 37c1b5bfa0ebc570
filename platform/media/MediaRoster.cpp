#include "media/MediaRoster.h"

#include "app/Message.h"
#include "app/Messenger.h"
#include "kernel/Image.h"
#include "kernel/OS.h"
#include "media/BufferConsumer.h"
#include "media/BufferProducer.h"
#include "media/Controllable.h"
#include "media/FileInterface.h"
#include "media/MediaAddOn.h"
#include "media/NodeCall.h"
#include "media/ParameterWeb.h"
#include "media/PlatformNodes.h"
#include "media/TimeSource.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

struct Connection {
	media_node_id producer;
	media_node_id consumer;
	media_source source;
	media_destination destination;
	media_format format;
};

struct Watcher {
	BMessenger messenger;
	media_node_id node;   // -1: every node
	int32 what;
};

struct LoadedAddOn {
	BMediaAddOn* addOn;
	image_id image;       // -1 for add-ons made in process
};

void CopyName(char* to, const char* from)
{
	std::snprintf(to, B_MEDIA_NAME_LENGTH, "%s", from != nullptr ? from : "");
}

// Holds a node reference for a scope.
class NodeRef {
public:
	explicit NodeRef(BMediaNode* node) : fNode(node) {}
	~NodeRef()
	{
		if (fNode != nullptr)
			fNode->Release();
	}
	NodeRef(const NodeRef&) = delete;
	NodeRef& operator=(const NodeRef&) = delete;
	BMediaNode* Get() const { return fNode; }
	template <class T>
	T* As() const
	{
		return dynamic_cast<T*>(fNode);
	}

private:
	BMediaNode* fNode;
};

}  // namespace

struct MediaRosterState {
	std::mutex lock;
	media_node_id nextNodeId = 1;
	std::map<media_node_id, BMediaNode*> nodes;   // guarded by lock
	std::vector<Connection> connections;          // guarded by lock
	std::vector<Watcher> watchers;                // guarded by lock
	std::map<media_addon_id, LoadedAddOn> addOns; // guarded by lock
	media_addon_id nextAddOnId = 1;
	media_addon_id systemAddOn = -1;
	BMediaNode* defaultInput = nullptr;            // a reference; guarded by lock
	BMediaNode* defaultOutput = nullptr;           // a reference; guarded by lock
	std::string lastAddOnError;
};

BMediaRoster* BMediaRoster::Roster(status_t* outError)
{
	static BMediaRoster* roster = [] {
		auto* made = new BMediaRoster;
		made->RegisterNode(system_time_source());
		made->RegisterNode(media_time_source());
		media_addon_id id;
		made->RegisterAddOn(make_platform_addon(), &id);
		made->fState->systemAddOn = id;
		return made;
	}();
	if (outError != nullptr)
		*outError = B_OK;
	return roster;
}

BMediaRoster::BMediaRoster() : fState(std::make_unique<MediaRosterState>()) {}

BMediaRoster::~BMediaRoster() = default;

// Nodes.

status_t BMediaRoster::RegisterNode(BMediaNode* node)
{
	if (node == nullptr)
		return B_BAD_VALUE;
	{
		std::lock_guard<std::mutex> guard(fState->lock);
		if (node->fID >= 0)
			return B_MEDIA_NODE_ALREADY_EXISTS;
		node->fID = fState->nextNodeId++;
		fState->nodes[node->fID] = node;
	}
	node->NodeRegistered();
	return B_OK;
}

status_t BMediaRoster::UnregisterNode(BMediaNode* node)
{
	if (node == nullptr || node->fID < 0)
		return B_MEDIA_BAD_NODE;
	std::vector<Connection> ended;
	{
		std::lock_guard<std::mutex> guard(fState->lock);
		for (const Connection& c : fState->connections) {
			if (c.producer == node->fID || c.consumer == node->fID)
				ended.push_back(c);
		}
	}
	for (const Connection& c : ended)
		Disconnect(c.producer, c.source, c.consumer, c.destination);
	std::lock_guard<std::mutex> guard(fState->lock);
	fState->nodes.erase(node->fID);
	std::erase_if(fState->watchers, [&](const Watcher& w) { return w.node == node->fID; });
	node->fID = -1;
	BTimeSource* source = node->fTimeSource.exchange(nullptr);
	if (source != nullptr && source != node)
		source->Release();
	return B_OK;
}

status_t BMediaRoster::ReleaseNode(const media_node& node)
{
	BMediaNode* object;
	{
		std::lock_guard<std::mutex> guard(fState->lock);
		auto it = fState->nodes.find(node.node);
		if (it == fState->nodes.end())
			return B_MEDIA_BAD_NODE;
		object = it->second;
	}
	object->Release();
	return B_OK;
}

BMediaNode* BMediaRoster::AcquireNode(media_node_id id)
{
	std::lock_guard<std::mutex> guard(fState->lock);
	auto it = fState->nodes.find(id);
	if (it == fState->nodes.end())
		return nullptr;
	return it->second->Acquire();
}

BMediaNode* BMediaRoster::AcquireNodeForPort(port_id port)
{
	if (port < 0)
		return nullptr;
	std::lock_guard<std::mutex> guard(fState->lock);
	for (auto& [id, node] : fState->nodes) {
		if (node->ControlPort() == port)
			return node->Acquire();
	}
	return nullptr;
}

status_t BMediaRoster::GetNodeFor(media_node_id id, media_node* outNode)
{
	if (outNode == nullptr)
		return B_BAD_VALUE;
	BMediaNode* node = AcquireNode(id);
	if (node == nullptr)
		return B_MEDIA_BAD_NODE;
	*outNode = node->Node();
	return B_OK;
}

status_t BMediaRoster::GetLiveNodeInfo(const media_node& node, live_node_info* outInfo)
{
	if (outInfo == nullptr)
		return B_BAD_VALUE;
	NodeRef ref(AcquireNode(node.node));
	if (ref.Get() == nullptr)
		return B_MEDIA_BAD_NODE;
	*outInfo = live_node_info{};
	outInfo->node = ref.Get()->Node();
	CopyName(outInfo->name, ref.Get()->Name());
	return B_OK;
}

status_t BMediaRoster::GetLiveNodes(live_node_info* outNodes, int32* ioCount, uint64 nodeKinds)
{
	if (outNodes == nullptr || ioCount == nullptr || *ioCount < 0)
		return B_BAD_VALUE;
	std::lock_guard<std::mutex> guard(fState->lock);
	int32 found = 0;
	for (auto& [id, node] : fState->nodes) {
		if ((node->Kinds() & nodeKinds) != nodeKinds)
			continue;
		if (found < *ioCount) {
			outNodes[found] = live_node_info{};
			outNodes[found].node = node->Node();
			CopyName(outNodes[found].name, node->Name());
		}
		found++;
	}
	*ioCount = std::min(found, *ioCount);
	return B_OK;
}

// Defaults.

// The default node in slot, made (and registered) by make on first use; with a reference
// for the caller.
status_t BMediaRoster::GetDefault(BMediaNode*& slot, BMediaNode* (*make)(status_t*),
	media_node* outNode)
{
	if (outNode == nullptr)
		return B_BAD_VALUE;
	std::unique_lock<std::mutex> guard(fState->lock);
	if (slot == nullptr) {
		guard.unlock();
		status_t status = B_OK;
		BMediaNode* made = make(&status);
		if (made == nullptr)
			return status;
		if ((status = RegisterNode(made)) != B_OK) {
			made->Release();
			return status;
		}
		guard.lock();
		if (slot != nullptr) {
			// Another thread made one meanwhile: keep that one.
			guard.unlock();
			made->Release();
			guard.lock();
		} else {
			slot = made;
		}
	}
	*outNode = slot->Acquire()->Node();
	return B_OK;
}

status_t BMediaRoster::GetAudioInput(media_node* outNode)
{
	return GetDefault(fState->defaultInput, [](status_t* outError) {
		const char* setting = getenv("SUITE_AUDIO_INPUT");
		return make_default_input_node(setting != nullptr ? setting : "", outError);
	}, outNode);
}

status_t BMediaRoster::GetAudioOutput(media_node* outNode)
{
	return GetDefault(fState->defaultOutput, &make_default_output_node, outNode);
}

namespace {

status_t ReplaceDefault(MediaRosterState& state, BMediaNode*& slot, BMediaNode* node)
{
	BMediaNode* old;
	{
		std::lock_guard<std::mutex> guard(state.lock);
		old = slot;
		slot = node;
	}
	if (old != nullptr)
		old->Release();
	return B_OK;
}

}  // namespace

status_t BMediaRoster::SetAudioInput(const media_node& node)
{
	BMediaNode* object = AcquireNode(node.node);
	if (object == nullptr || dynamic_cast<BBufferProducer*>(object) == nullptr) {
		if (object != nullptr)
			object->Release();
		return B_MEDIA_BAD_NODE;
	}
	return ReplaceDefault(*fState, fState->defaultInput, object);
}

status_t BMediaRoster::SetAudioOutput(const media_node& node)
{
	BMediaNode* object = AcquireNode(node.node);
	if (object == nullptr || dynamic_cast<BBufferConsumer*>(object) == nullptr) {
		if (object != nullptr)
			object->Release();
		return B_MEDIA_BAD_NODE;
	}
	return ReplaceDefault(*fState, fState->defaultOutput, object);
}

status_t BMediaRoster::GetTimeSource(media_node* outNode)
{
	if (outNode == nullptr)
		return B_BAD_VALUE;
	*outNode = media_time_source()->Acquire()->Node();
	return B_OK;
}

status_t BMediaRoster::GetSystemTimeSource(media_node* outNode)
{
	if (outNode == nullptr)
		return B_BAD_VALUE;
	*outNode = system_time_source()->Acquire()->Node();
	return B_OK;
}

// Connection points.

namespace {

status_t CollectInputs(BMediaNode* node, std::vector<media_input>& into)
{
	auto* consumer = dynamic_cast<BBufferConsumer*>(node);
	if (consumer == nullptr)
		return B_MEDIA_BAD_NODE;
	return call_node_sync(node, [&](BMediaNode*) {
		int32 cookie = 0;
		media_input input;
		while (into.size() < 1024 && consumer->GetNextInput(&cookie, &input) == B_OK) {
			into.push_back(input);
			input = media_input{};
		}
		consumer->DisposeInputCookie(cookie);
		return B_OK;
	});
}

status_t CollectOutputs(BMediaNode* node, std::vector<media_output>& into)
{
	auto* producer = dynamic_cast<BBufferProducer*>(node);
	if (producer == nullptr)
		return B_MEDIA_BAD_NODE;
	return call_node_sync(node, [&](BMediaNode*) {
		int32 cookie = 0;
		media_output output;
		while (into.size() < 1024 && producer->GetNextOutput(&cookie, &output) == B_OK) {
			into.push_back(output);
			output = media_output{};
		}
		producer->DisposeOutputCookie(cookie);
		return B_OK;
	});
}

template <class Point, class Keep>
status_t Deliver(const std::vector<Point>& all, Keep keep, Point* out, int32 room, int32* total)
{
	if (total == nullptr || (out == nullptr && room > 0))
		return B_BAD_VALUE;
	int32 found = 0;
	for (const Point& point : all) {
		if (!keep(point))
			continue;
		if (found < room)
			out[found] = point;
		found++;
	}
	*total = found;
	return B_OK;
}

bool TypeMatches(const media_format& format, media_type filter)
{
	return filter == B_MEDIA_UNKNOWN_TYPE || format.type == filter
		|| format.type == B_MEDIA_UNKNOWN_TYPE;
}

}  // namespace

#define ROSTER_POINTS(Method, Point, Collect, Keep)                                        \
	status_t BMediaRoster::Method(const media_node& node, Point* out, int32 room,         \
		int32* total)                                                                     \
	{                                                                                     \
		NodeRef ref(AcquireNode(node.node));                                              \
		if (ref.Get() == nullptr)                                                         \
			return B_MEDIA_BAD_NODE;                                                      \
		std::vector<Point> all;                                                           \
		status_t status = Collect(ref.Get(), all);                                        \
		if (status != B_OK)                                                               \
			return status;                                                                \
		return Deliver(all, [](const Point& p) { return Keep; }, out, room, total);       \
	}

ROSTER_POINTS(GetConnectedInputsFor, media_input, CollectInputs, !(p.source == media_source::null))
ROSTER_POINTS(GetAllInputsFor, media_input, CollectInputs, true)
ROSTER_POINTS(GetConnectedOutputsFor, media_output, CollectOutputs,
	!(p.destination == media_destination::null))
ROSTER_POINTS(GetAllOutputsFor, media_output, CollectOutputs, true)
#undef ROSTER_POINTS

status_t BMediaRoster::GetFreeInputsFor(const media_node& node, media_input* outInputs,
	int32 room, int32* outTotal, media_type filterType)
{
	NodeRef ref(AcquireNode(node.node));
	if (ref.Get() == nullptr)
		return B_MEDIA_BAD_NODE;
	std::vector<media_input> all;
	status_t status = CollectInputs(ref.Get(), all);
	if (status != B_OK)
		return status;
	return Deliver(all, [&](const media_input& p) {
		return p.source == media_source::null && TypeMatches(p.format, filterType);
	}, outInputs, room, outTotal);
}

status_t BMediaRoster::GetFreeOutputsFor(const media_node& node, media_output* outOutputs,
	int32 room, int32* outTotal, media_type filterType)
{
	NodeRef ref(AcquireNode(node.node));
	if (ref.Get() == nullptr)
		return B_MEDIA_BAD_NODE;
	std::vector<media_output> all;
	status_t status = CollectOutputs(ref.Get(), all);
	if (status != B_OK)
		return status;
	return Deliver(all, [&](const media_output& p) {
		return p.destination == media_destination::null && TypeMatches(p.format, filterType);
	}, outOutputs, room, outTotal);
}

status_t BMediaRoster::Connect(const media_source& from, const media_destination& to,
	media_format* ioFormat, media_output* outOutput, media_input* outInput, uint32)
{
	if (ioFormat == nullptr)
		return B_BAD_VALUE;
	NodeRef producerRef(AcquireNodeForPort(from.port));
	auto* producer = producerRef.As<BBufferProducer>();
	if (producer == nullptr)
		return B_MEDIA_BAD_SOURCE;
	NodeRef consumerRef(AcquireNodeForPort(to.port));
	auto* consumer = consumerRef.As<BBufferConsumer>();
	if (consumer == nullptr)
		return B_MEDIA_BAD_DESTINATION;
	{
		std::lock_guard<std::mutex> guard(fState->lock);
		for (const Connection& c : fState->connections) {
			if (c.destination == to)
				return B_MEDIA_BAD_DESTINATION;
			if (c.source == from)
				return B_MEDIA_ALREADY_CONNECTED;
		}
	}

	media_format format = *ioFormat;
	media_source source = from;
	char name[B_MEDIA_NAME_LENGTH] = {};
	status_t status = call_node_sync(producer, [&](BMediaNode*) {
		return producer->FormatProposal(from, &format);
	});
	if (status != B_OK)
		return status;
	// The consumer narrows the proposal to what it takes before the producer fixes it.
	status = call_node_sync(consumer, [&](BMediaNode*) {
		return consumer->AcceptFormat(to, &format);
	});
	if (status != B_OK)
		return status;
	status = call_node_sync(producer, [&](BMediaNode*) {
		return producer->PrepareToConnect(from, to, &format, &source, name);
	});
	if (status != B_OK)
		return status;

	media_input input;
	status = call_node_sync(consumer, [&](BMediaNode*) {
		return consumer->AcceptFormat(to, &format);
	});
	if (status == B_OK) {
		status = call_node_sync(consumer, [&](BMediaNode*) {
			return consumer->Connected(source, to, format, &input);
		});
	}
	media_destination destination = status == B_OK ? input.destination : to;
	if (status == B_OK && destination == media_destination::null)
		destination = to;
	status_t refused = status;
	call_node_sync(producer, [&](BMediaNode*) {
		producer->Connect(refused, source, destination, format, name);
		return B_OK;
	});
	if (status != B_OK)
		return status;

	{
		std::lock_guard<std::mutex> guard(fState->lock);
		fState->connections.push_back(
			{producer->ID(), consumer->ID(), source, destination, format});
	}
	*ioFormat = format;
	if (outOutput != nullptr) {
		*outOutput = media_output{};
		outOutput->node = producer->Node();
		outOutput->source = source;
		outOutput->destination = destination;
		outOutput->format = format;
		CopyName(outOutput->name, name);
	}
	if (outInput != nullptr) {
		input.node = consumer->Node();
		input.source = source;
		input.destination = destination;
		input.format = format;
		*outInput = input;
	}
	return B_OK;
}

status_t BMediaRoster::Disconnect(media_node_id sourceNode, const media_source& source,
	media_node_id destinationNode, const media_destination& destination)
{
	{
		std::lock_guard<std::mutex> guard(fState->lock);
		auto it = std::find_if(fState->connections.begin(), fState->connections.end(),
			[&](const Connection& c) {
				return c.source == source && c.destination == destination;
			});
		if (it == fState->connections.end())
			return B_MEDIA_NOT_CONNECTED;
		fState->connections.erase(it);
	}
	NodeRef producerRef(AcquireNode(sourceNode));
	NodeRef consumerRef(AcquireNode(destinationNode));
	if (auto* producer = producerRef.As<BBufferProducer>()) {
		call_node_sync(producer, [&](BMediaNode*) {
			producer->Disconnect(source, destination);
			return B_OK;
		});
	}
	if (auto* consumer = consumerRef.As<BBufferConsumer>()) {
		call_node_sync(consumer, [&](BMediaNode*) {
			consumer->Disconnected(source, destination);
			return B_OK;
		});
	}
	return B_OK;
}

status_t BMediaRoster::Disconnect(const media_output& output, const media_input& input)
{
	return Disconnect(output.node.node, output.source, input.node.node, input.destination);
}

// Time.

namespace {

template <class F>
status_t PostToNode(BMediaRoster* roster, const media_node& node, F f)
{
	BMediaNode* object = roster->AcquireNode(node.node);
	if (object == nullptr)
		return B_MEDIA_BAD_NODE;
	// The queued call holds the reference until it ran.
	status_t status = call_node_async(object, [f, object](BMediaNode* n) {
		f(n);
		object->Release();
		return B_OK;
	});
	if (status != B_OK)
		object->Release();
	return status;
}

}  // namespace

status_t BMediaRoster::StartNode(const media_node& node, bigtime_t atPerformanceTime)
{
	return PostToNode(this, node, [=](BMediaNode* n) { n->Start(atPerformanceTime); });
}

status_t BMediaRoster::StopNode(const media_node& node, bigtime_t atPerformanceTime,
	bool immediate)
{
	return PostToNode(this, node,
		[=](BMediaNode* n) { n->Stop(atPerformanceTime, immediate); });
}

status_t BMediaRoster::SeekNode(const media_node& node, bigtime_t toMediaTime,
	bigtime_t atPerformanceTime)
{
	return PostToNode(this, node,
		[=](BMediaNode* n) { n->Seek(toMediaTime, atPerformanceTime); });
}

namespace {

status_t WithTimeSource(BMediaRoster* roster, const media_node& node,
	status_t (*action)(BTimeSource*, bigtime_t, bigtime_t), bigtime_t a, bigtime_t b)
{
	NodeRef ref(roster->AcquireNode(node.node));
	auto* source = ref.As<BTimeSource>();
	if (source == nullptr)
		return B_MEDIA_BAD_NODE;
	return action(source, a, b);
}

}  // namespace

status_t BMediaRoster::StartTimeSource(const media_node& timeSource, bigtime_t atRealTime)
{
	return WithTimeSource(this, timeSource,
		[](BTimeSource* s, bigtime_t t, bigtime_t) { return s->StartAt(t); }, atRealTime, 0);
}

status_t BMediaRoster::StopTimeSource(const media_node& timeSource, bigtime_t atRealTime,
	bool immediate)
{
	bigtime_t when = immediate ? system_time() : atRealTime;
	return WithTimeSource(this, timeSource,
		[](BTimeSource* s, bigtime_t t, bigtime_t) { return s->StopAt(t); }, when, 0);
}

status_t BMediaRoster::SeekTimeSource(const media_node& timeSource, bigtime_t toPerformanceTime,
	bigtime_t atRealTime)
{
	return WithTimeSource(this, timeSource,
		[](BTimeSource* s, bigtime_t p, bigtime_t r) { return s->SeekTo(p, r); },
		toPerformanceTime, atRealTime);
}

status_t BMediaRoster::SetTimeSourceFor(media_node_id node, media_node_id timeSource)
{
	NodeRef nodeRef(AcquireNode(node));
	if (nodeRef.Get() == nullptr)
		return B_MEDIA_BAD_NODE;
	BMediaNode* sourceNode = AcquireNode(timeSource);
	auto* source = dynamic_cast<BTimeSource*>(sourceNode);
	if (source == nullptr) {
		if (sourceNode != nullptr)
			sourceNode->Release();
		return B_MEDIA_BAD_NODE;
	}
	BMediaNode* target = nodeRef.Get();
	if (target == source) {
		// A time source of itself holds no reference to itself.
		source->Release();
		source = nullptr;
	}
	BTimeSource* old = target->fTimeSource.exchange(source);
	if (old != nullptr)
		old->Release();
	BTimeSource* now = target->TimeSource();
	return PostToNode(this, target->Node(), [now](BMediaNode* n) { n->SetTimeSource(now); });
}

BTimeSource* BMediaRoster::MakeTimeSourceFor(const media_node& forNode)
{
	NodeRef ref(AcquireNode(forNode.node));
	if (ref.Get() == nullptr)
		return nullptr;
	BTimeSource* source = ref.Get()->TimeSource();
	source->Acquire();
	return source;
}

status_t BMediaRoster::SetRunModeFor(const media_node& node, run_mode mode)
{
	if (mode < B_OFFLINE || mode > B_RECORDING)
		return B_BAD_VALUE;
	NodeRef ref(AcquireNode(node.node));
	if (ref.Get() == nullptr)
		return B_MEDIA_BAD_NODE;
	ref.Get()->fRunMode.store(mode);
	return PostToNode(this, node, [mode](BMediaNode* n) { n->SetRunMode(mode); });
}

status_t BMediaRoster::SetProducerRunModeDelay(const media_node& node, bigtime_t delay,
	run_mode mode)
{
	NodeRef ref(AcquireNode(node.node));
	if (ref.As<BBufferProducer>() == nullptr)
		return B_MEDIA_BAD_NODE;
	ref.Get()->fRunModeDelay = delay;
	return SetRunModeFor(node, mode);
}

status_t BMediaRoster::PrerollNode(const media_node& node)
{
	NodeRef ref(AcquireNode(node.node));
	if (ref.Get() == nullptr)
		return B_MEDIA_BAD_NODE;
	return call_node_sync(ref.Get(), [](BMediaNode* n) {
		n->Preroll();
		return B_OK;
	});
}

status_t BMediaRoster::GetLatencyFor(const media_node& producer, bigtime_t* outLatency)
{
	if (outLatency == nullptr)
		return B_BAD_VALUE;
	NodeRef ref(AcquireNode(producer.node));
	auto* object = ref.As<BBufferProducer>();
	if (object == nullptr)
		return B_MEDIA_BAD_NODE;
	return call_node_sync(object, [&](BMediaNode*) { return object->GetLatency(outLatency); });
}

status_t BMediaRoster::GetStartLatencyFor(const media_node& timeSource, bigtime_t* outLatency)
{
	if (outLatency == nullptr)
		return B_BAD_VALUE;
	NodeRef ref(AcquireNode(timeSource.node));
	if (ref.As<BTimeSource>() == nullptr)
		return B_MEDIA_BAD_NODE;
	*outLatency = 0;
	return B_OK;
}

// Parameters.

status_t BMediaRoster::GetParameterWebFor(const media_node& node, BParameterWeb** outWeb)
{
	if (outWeb == nullptr)
		return B_BAD_VALUE;
	*outWeb = nullptr;
	NodeRef ref(AcquireNode(node.node));
	auto* controllable = ref.As<BControllable>();
	if (controllable == nullptr)
		return B_MEDIA_BAD_NODE;
	if (!controllable->LockParameterWeb())
		return B_ERROR;
	BParameterWeb* web = controllable->Web();
	std::unique_ptr<BParameterWeb> copy = web != nullptr ? web->Clone() : nullptr;
	controllable->UnlockParameterWeb();
	if (!copy)
		return B_ERROR;
	copy->SetNode(controllable->Node());
	*outWeb = copy.release();
	return B_OK;
}

status_t BMediaRoster::StartControlPanel(const media_node& node, BMessenger* outMessenger)
{
	NodeRef ref(AcquireNode(node.node));
	auto* controllable = ref.As<BControllable>();
	if (controllable == nullptr)
		return B_MEDIA_BAD_NODE;
	return call_node_sync(controllable,
		[&](BMediaNode*) { return controllable->StartControlPanel(outMessenger); });
}

status_t BMediaRoster::GetParameterValue(const media_node& node, int32 id, void* value,
	size_t* ioSize, bigtime_t* outLastChange)
{
	NodeRef ref(AcquireNode(node.node));
	auto* controllable = ref.As<BControllable>();
	if (controllable == nullptr)
		return B_MEDIA_BAD_NODE;
	bigtime_t when = 0;
	status_t status = call_node_sync(controllable, [&](BMediaNode*) {
		return controllable->GetParameterValue(id, &when, value, ioSize);
	});
	if (outLastChange != nullptr)
		*outLastChange = when;
	return status;
}

status_t BMediaRoster::SetParameterValue(const media_node& node, int32 id, const void* value,
	size_t size, bigtime_t when)
{
	SetParameterMessage message{};
	if ((value == nullptr && size > 0) || size > sizeof(message.value))
		return B_BAD_VALUE;
	NodeRef ref(AcquireNode(node.node));
	if (ref.As<BControllable>() == nullptr)
		return B_MEDIA_BAD_NODE;
	message.id = id;
	message.when = when;
	message.size = uint32(size);
	if (size > 0)
		std::memcpy(message.value, value, size);
	size_t length = offsetof(SetParameterMessage, value) + size;
	return write_port_etc(ref.Get()->ControlPort(), kMediaSetParameterMessage, &message, length,
		B_RELATIVE_TIMEOUT, 1000000);
}

status_t BMediaRoster::StartWatching(const BMessenger& where, const media_node& node,
	int32 what)
{
	if (!where.IsValid())
		return B_BAD_VALUE;
	std::lock_guard<std::mutex> guard(fState->lock);
	fState->watchers.push_back({where, node.node, what});
	return B_OK;
}

status_t BMediaRoster::StopWatching(const BMessenger& where, const media_node& node,
	int32 what)
{
	std::lock_guard<std::mutex> guard(fState->lock);
	auto before = fState->watchers.size();
	std::erase_if(fState->watchers, [&](const Watcher& w) {
		return w.messenger == where && w.node == node.node && w.what == what;
	});
	return before == fState->watchers.size() ? B_BAD_VALUE : B_OK;
}

status_t BMediaRoster::NotifyWatchers(const media_node& node, const BMessage& message)
{
	std::vector<BMessenger> targets;
	{
		std::lock_guard<std::mutex> guard(fState->lock);
		for (const Watcher& w : fState->watchers) {
			if ((w.node == node.node || w.node < 0) && int32(message.what) == w.what)
				targets.push_back(w.messenger);
		}
	}
	for (const BMessenger& target : targets) {
		BMessage copy(message);
		target.SendMessage(&copy, static_cast<BHandler*>(nullptr), 0);
	}
	return B_OK;
}

// Files and add-ons.

status_t BMediaRoster::RegisterAddOn(BMediaAddOn* addOn, media_addon_id* outId)
{
	if (addOn == nullptr)
		return B_BAD_VALUE;
	std::lock_guard<std::mutex> guard(fState->lock);
	media_addon_id id = fState->nextAddOnId++;
	addOn->fAddonID = id;
	fState->addOns[id] = {addOn, -1};
	if (outId != nullptr)
		*outId = id;
	return B_OK;
}

status_t BMediaRoster::LoadAddOn(const char* path, media_addon_id* outId)
{
	auto fail = [&](status_t status, const std::string& text) {
		std::lock_guard<std::mutex> guard(fState->lock);
		fState->lastAddOnError = text;
		return status;
	};
	if (path == nullptr || *path == '\0')
		return fail(B_BAD_VALUE, "no add-on file given");
	image_id image = load_add_on(path);
	if (image < 0)
		return fail(image, std::string(path) + ": " + image_error());
	void* symbol = nullptr;
	status_t status = get_image_symbol(image, "make_media_addon", B_SYMBOL_TYPE_TEXT, &symbol);
	if (status != B_OK) {
		unload_add_on(image);
		return fail(B_MISSING_SYMBOL,
			std::string(path) + ": not a media add-on (it has no make_media_addon)");
	}
	BMediaAddOn* addOn = reinterpret_cast<make_media_addon_func>(symbol)(image);
	if (addOn == nullptr) {
		unload_add_on(image);
		return fail(B_MEDIA_ADDON_FAILED, std::string(path) + ": make_media_addon made nothing");
	}
	const char* failure = nullptr;
	status = addOn->InitCheck(&failure);
	if (status != B_OK) {
		std::string text = std::string(path) + ": "
			+ (failure != nullptr ? failure : media_strerror(status));
		delete addOn;
		unload_add_on(image);
		return fail(status, text);
	}
	media_addon_id id;
	RegisterAddOn(addOn, &id);
	{
		std::lock_guard<std::mutex> guard(fState->lock);
		fState->addOns[id].image = image;
		fState->lastAddOnError.clear();
	}
	if (outId != nullptr)
		*outId = id;
	return B_OK;
}

BMediaAddOn* BMediaRoster::AddOnFor(media_addon_id id)
{
	std::lock_guard<std::mutex> guard(fState->lock);
	auto it = fState->addOns.find(id);
	return it == fState->addOns.end() ? nullptr : it->second.addOn;
}

status_t BMediaRoster::UnloadAddOn(media_addon_id id)
{
	LoadedAddOn loaded;
	{
		std::lock_guard<std::mutex> guard(fState->lock);
		auto it = fState->addOns.find(id);
		if (it == fState->addOns.end() || id == fState->systemAddOn)
			return B_BAD_VALUE;
		loaded = it->second;
		fState->addOns.erase(it);
	}
	delete loaded.addOn;
	if (loaded.image >= 0)
		unload_add_on(loaded.image);
	return B_OK;
}

const char* BMediaRoster::LastAddOnError() const
{
	return fState->lastAddOnError.c_str();
}

media_addon_id BMediaRoster::SystemAddOnID()
{
	return fState->systemAddOn;
}

void BMediaRoster::FlavorsChanged(BMediaAddOn*) {}

namespace {

const flavor_info* FindFlavor(BMediaAddOn* addOn, int32 internalId)
{
	int32 count = addOn->CountFlavors();
	for (int32 i = 0; i < count; i++) {
		const flavor_info* info = nullptr;
		if (addOn->GetFlavorAt(i, &info) == B_OK && info != nullptr
			&& info->internal_id == internalId)
			return info;
	}
	return nullptr;
}

}  // namespace

status_t BMediaRoster::SniffRef(const entry_ref& file, uint64 requireNodeKinds,
	dormant_node_info* outNode, char* outMimeType)
{
	if (outNode == nullptr)
		return B_BAD_VALUE;
	std::vector<BMediaAddOn*> addOns;
	{
		std::lock_guard<std::mutex> guard(fState->lock);
		for (auto& [id, loaded] : fState->addOns)
			addOns.push_back(loaded.addOn);
	}
	float best = 0;
	status_t result = B_MEDIA_NO_HANDLER;
	for (BMediaAddOn* addOn : addOns) {
		char mime[256] = {};
		float quality = 0;
		int32 internalId = -1;
		if (addOn->SniffRef(file, mime, &quality, &internalId) != B_OK || quality <= best)
			continue;
		const flavor_info* info = FindFlavor(addOn, internalId);
		if (info == nullptr || (info->kinds & requireNodeKinds) != requireNodeKinds)
			continue;
		best = quality;
		*outNode = dormant_node_info{};
		outNode->addon = addOn->AddonID();
		outNode->flavor_id = internalId;
		CopyName(outNode->name, info->name);
		if (outMimeType != nullptr)
			std::snprintf(outMimeType, 256, "%s", mime);
		result = B_OK;
	}
	return result;
}

status_t BMediaRoster::InstantiateDormantNode(const dormant_node_info& info,
	media_node* outNode, uint32)
{
	if (outNode == nullptr)
		return B_BAD_VALUE;
	BMediaAddOn* addOn = AddOnFor(info.addon);
	if (addOn == nullptr)
		return B_MEDIA_BAD_NODE;
	const flavor_info* flavor = FindFlavor(addOn, info.flavor_id);
	if (flavor == nullptr)
		return B_BAD_INDEX;
	status_t status = B_OK;
	BMediaNode* node = addOn->InstantiateNodeFor(flavor, nullptr, &status);
	if (node == nullptr)
		return status != B_OK ? status : B_MEDIA_ADDON_FAILED;
	if (node->ID() < 0 && (status = RegisterNode(node)) != B_OK) {
		node->Release();
		return status;
	}
	*outNode = node->Node();
	return B_OK;
}

status_t BMediaRoster::SetRefFor(const media_node& fileInterface, const entry_ref& file,
	bool createAndTruncate, bigtime_t* outDuration)
{
	NodeRef ref(AcquireNode(fileInterface.node));
	auto* object = ref.As<BFileInterface>();
	if (object == nullptr)
		return B_MEDIA_BAD_NODE;
	bigtime_t duration = 0;
	status_t status = call_node_sync(object, [&](BMediaNode*) {
		return object->SetRef(file, createAndTruncate, &duration);
	});
	if (outDuration != nullptr)
		*outDuration = duration;
	return status;
}

status_t BMediaRoster::GetDormantNodes(dormant_node_info* outNodes, int32* ioCount,
	uint64 requireKinds)
{
	if (outNodes == nullptr || ioCount == nullptr || *ioCount < 0)
		return B_BAD_VALUE;
	std::vector<BMediaAddOn*> addOns;
	{
		std::lock_guard<std::mutex> guard(fState->lock);
		for (auto& [id, loaded] : fState->addOns)
			addOns.push_back(loaded.addOn);
	}
	int32 found = 0;
	for (BMediaAddOn* addOn : addOns) {
		int32 count = addOn->CountFlavors();
		for (int32 i = 0; i < count && found < *ioCount; i++) {
			const flavor_info* info = nullptr;
			if (addOn->GetFlavorAt(i, &info) != B_OK || info == nullptr
				|| (info->kinds & requireKinds) != requireKinds)
				continue;
			outNodes[found] = dormant_node_info{};
			outNodes[found].addon = addOn->AddonID();
			outNodes[found].flavor_id = info->internal_id;
			CopyName(outNodes[found].name, info->name);
			found++;
		}
	}
	*ioCount = found;
	return B_OK;
}

status_t BMediaRoster::GetDormantFlavorInfoFor(const dormant_node_info& info,
	flavor_info* outFlavor)
{
	if (outFlavor == nullptr)
		return B_BAD_VALUE;
	BMediaAddOn* addOn = AddOnFor(info.addon);
	if (addOn == nullptr)
		return B_MEDIA_BAD_NODE;
	const flavor_info* flavor = FindFlavor(addOn, info.flavor_id);
	if (flavor == nullptr)
		return B_BAD_INDEX;
	*outFlavor = *flavor;
	return B_OK;
}

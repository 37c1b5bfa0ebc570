#include "node/VSTEffectNode.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "media/Buffer.h"
#include "media/ParameterWeb.h"
#include "media/TimeSource.h"
#include "node/VSTParameterWeb.h"
#include "vst/SampleConversion.h"
#include "vst/VSTMessages.h"
#include "vst/VSTPlugIn.h"

namespace {

constexpr float kDefaultFrameRate = 44100;
// The longest wait for an output buffer, in real time and offline.
constexpr bigtime_t kBufferWait = 1000000;
constexpr bigtime_t kOfflineBufferWait = 10000000;
// A conversion latency is counted in steps of this many µs.
constexpr bigtime_t kLatencyGrain = 25;

bool IsBigEndian(const media_raw_audio_format& raw)
{
	return raw.byte_order == B_MEDIA_BIG_ENDIAN;
}

bool IsConverted(uint32 format)
{
	return SampleSize(format) != 0;
}

bigtime_t RoundUpToGrain(bigtime_t time)
{
	return (time + kLatencyGrain - 1) / kLatencyGrain * kLatencyGrain;
}

// Pointers to the first `channels` blocks.
void Pointers(std::vector<std::vector<float>>& blocks, uint32 channels, float** out)
{
	for (uint32 c = 0; c < channels && c < blocks.size(); c++)
		out[c] = blocks[c].data();
}

void Resize(std::vector<std::vector<float>>& blocks, uint32 channels, uint32 frames)
{
	blocks.assign(frames > 0 ? channels : 0, std::vector<float>(frames, 0.0f));
}

}  // namespace

VSTOutput::VSTOutput() = default;
VSTOutput::~VSTOutput() = default;

VSTEffectNode::VSTEffectNode(BMediaAddOn* addOn, const char* name,
	std::unique_ptr<VSTPlugIn> plugIn)
	:
	BMediaNode(name),
	BBufferConsumer(B_MEDIA_RAW_AUDIO),
	BBufferProducer(B_MEDIA_RAW_AUDIO),
	BControllable(),
	BMediaEventLooper(),
	fAddOn(addOn),
	fPlugIn(std::move(plugIn))
{
}

VSTEffectNode::~VSTEffectNode()
{
	Quit();
	for (auto& input : fInputs)
		ReleaseInput(input.get());
	fOutputs.clear();
	fInputs.clear();
	fPlugIn.reset();
}

BMediaAddOn* VSTEffectNode::AddOn(int32* internalId) const
{
	if (internalId != nullptr)
		*internalId = fInternalId;
	return fAddOn;
}

void VSTEffectNode::NodeRegistered()
{
	if (fPlugIn->open(ControlPort()) != B_OK)
		fprintf(stderr, "plugbridge: %s: the plug-in could not be opened\n", Name());

	auto name = [this](char* into, const char* what) {
		snprintf(into, B_MEDIA_NAME_LENGTH, "%s %s", Name(), what);
	};
	const int32 inputs = fPlugIn->CountInputs();
	if (inputs >= 1) {
		auto first = std::make_unique<VSTInput>();
		first->channels = inputs == 1 ? 1 : 2;
		name(first->input.name, inputs == 1 ? "Mono Input" : "Stereo Input");
		first->input.destination = media_destination(ControlPort(), 0);
		fInputs.push_back(std::move(first));
		if (inputs >= 2 && fPlugIn->canMono()) {
			auto mono = std::make_unique<VSTInput>();
			mono->channels = 1;
			name(mono->input.name, "Mono Input");
			mono->input.destination = media_destination(ControlPort(), 1);
			mono->alternate = fInputs[0].get();
			fInputs[0]->alternate = mono.get();
			fInputs.push_back(std::move(mono));
		}
		fProcessedInput = fInputs[0].get();
	}
	const int32 outputs = fPlugIn->CountOutputs();
	if (outputs >= 1) {
		auto output = std::make_unique<VSTOutput>();
		output->channels = outputs == 1 ? 1 : 2;
		name(output->output.name, outputs == 1 ? "Mono Output" : "Stereo Output");
		output->output.source = media_source(ControlPort(), 0);
		fOutputs.push_back(std::move(output));
	}
	for (auto& input : fInputs) {
		input->input.node = Node();
		input->input.format = media_format::RawAudioFormat();
	}
	for (auto& output : fOutputs) {
		output->output.node = Node();
		output->output.format = media_format::RawAudioFormat();
	}

	auto* web = new BParameterWeb;
	PopulateParameterGroup(*fPlugIn, web->MakeGroup(Name()));
	SetParameterWeb(web);
	SetPriority(B_NORMAL_PRIORITY);
	Run();
}

VSTInput* VSTEffectNode::FindInput(const media_destination& destination)
{
	for (auto& input : fInputs) {
		if (input->input.destination == destination)
			return input.get();
	}
	return nullptr;
}

VSTOutput* VSTEffectNode::FindOutput(const media_source& source)
{
	for (auto& output : fOutputs) {
		if (output->output.source == source)
			return output.get();
	}
	return nullptr;
}

bool VSTEffectNode::AnyConnection() const
{
	for (const auto& input : fInputs) {
		if (!(input->input.source == media_source::null))
			return true;
	}
	for (const auto& output : fOutputs) {
		if (output->IsConnected())
			return true;
	}
	return false;
}

// Describes an unconnected point as the node would take it.
static media_format Described(uint32 channels, float rate, uint32 blockFrames)
{
	media_format format = media_format::RawAudioFormat();
	media_raw_audio_format& raw = format.u.raw_audio;
	raw.format = media_raw_audio_format::B_AUDIO_FLOAT;
	raw.channel_count = channels;
	raw.frame_rate = rate;
	raw.buffer_size = blockFrames * sizeof(float) * channels;
	raw.byte_order = B_MEDIA_LITTLE_ENDIAN;
	raw.channel_mask = channels == 1 ? B_CHANNEL_CENTER : B_CHANNEL_LEFT | B_CHANNEL_RIGHT;
	return format;
}

status_t VSTEffectNode::GetNextInput(int32* cookie, media_input* outInput)
{
	for (size_t i = 0; i < fInputs.size(); i++) {
		VSTInput& input = *fInputs[i];
		if (input.input.destination.id != *cookie)
			continue;
		*outInput = input.input;
		if (input.input.source == media_source::null)
			outInput->format = Described(input.channels, fFrameRate, fBlockFrames);
		*cookie = i + 1 < fInputs.size() ? fInputs[i + 1]->input.destination.id : *cookie + 1;
		return B_OK;
	}
	return B_BAD_INDEX;
}

status_t VSTEffectNode::GetNextOutput(int32* cookie, media_output* outOutput)
{
	for (size_t i = 0; i < fOutputs.size(); i++) {
		VSTOutput& output = *fOutputs[i];
		if (output.output.source.id != *cookie)
			continue;
		*outOutput = output.output;
		if (!output.IsConnected())
			outOutput->format = Described(output.channels, fFrameRate, fBlockFrames);
		*cookie = i + 1 < fOutputs.size() ? fOutputs[i + 1]->output.source.id : *cookie + 1;
		return B_OK;
	}
	return B_BAD_INDEX;
}

status_t VSTEffectNode::Negotiate(uint32 channels, media_format* format)
{
	if (format->type != B_MEDIA_RAW_AUDIO)
		return B_MEDIA_BAD_FORMAT;
	media_raw_audio_format& raw = format->u.raw_audio;
	if (raw.format == 0)
		raw.format = media_raw_audio_format::B_AUDIO_FLOAT;
	// Signed 8-bit and double samples would need conversions of their own.
	if (!IsConverted(raw.format))
		return B_MEDIA_BAD_FORMAT;
	if (raw.channel_count == 0)
		raw.channel_count = channels;
	else if (raw.channel_count != channels)
		return B_MEDIA_BAD_FORMAT;
	if (raw.frame_rate != 0 && fFrameRate != 0 && raw.frame_rate != fFrameRate)
		return B_MEDIA_BAD_FORMAT;
	if (raw.frame_rate == 0)
		raw.frame_rate = fFrameRate != 0 ? fFrameRate : kDefaultFrameRate;
	if (!(raw.frame_rate > 0) || raw.frame_rate > 1e6f)
		return B_MEDIA_BAD_FORMAT;
	if (raw.byte_order == 0)
		raw.byte_order = B_MEDIA_LITTLE_ENDIAN;
	const size_t frameSize = SampleSize(raw.format) * channels;
	if (raw.buffer_size == 0) {
		raw.buffer_size = frameSize * (fBlockFrames != 0 ? fBlockFrames
			: VST_PREFERRED_BUFFER_SIZE);
	} else if (raw.buffer_size % frameSize != 0
		|| (fBlockFrames != 0 && raw.buffer_size / frameSize != fBlockFrames)
		|| raw.buffer_size / frameSize > 65536) {
		return B_MEDIA_BAD_FORMAT;
	}
	return B_OK;
}

status_t VSTEffectNode::AcceptFormat(const media_destination& destination,
	media_format* format)
{
	VSTInput* input = FindInput(destination);
	if (input == nullptr)
		return B_MEDIA_BAD_DESTINATION;
	return Negotiate(input->channels, format);
}

status_t VSTEffectNode::FormatProposal(const media_source& source, media_format* format)
{
	VSTOutput* output = FindOutput(source);
	if (output == nullptr)
		return B_MEDIA_BAD_SOURCE;
	return Negotiate(output->channels, format);
}

status_t VSTEffectNode::FormatSuggestionRequested(media_type type, int32, media_format* format)
{
	if (type != B_MEDIA_RAW_AUDIO)
		return B_MEDIA_BAD_FORMAT;
	*format = media_format::RawAudioFormat();
	format->u.raw_audio.frame_rate = kDefaultFrameRate;
	format->u.raw_audio.format = media_raw_audio_format::B_AUDIO_FLOAT;
	format->u.raw_audio.channel_count = fPlugIn->CountOutputs() < 2 ? 1 : 2;
	return B_OK;
}

void VSTEffectNode::SetFormat(const media_raw_audio_format& raw)
{
	fFrameRate = raw.frame_rate;
	const size_t frameSize = media_frame_size(raw);
	fBlockFrames = frameSize >= 1 ? uint32(raw.buffer_size / frameSize) : 0;
	SetBufferDuration(fBlockFrames != 0 && fFrameRate > 0
		? bigtime_t(double(fBlockFrames) * 1e6 / fFrameRate) : 0);
	for (auto& input : fInputs) {
		input->blockFrames = fBlockFrames;
		Resize(input->blocks, input->channels, fBlockFrames);
	}
	for (auto& output : fOutputs) {
		output->blockFrames = fBlockFrames;
		Resize(output->blocks, output->channels, fBlockFrames);
	}
	fSilence.assign(fBlockFrames, 0.0f);
	fScratch.assign(fBlockFrames, 0.0f);
	fPlugIn->setSampleRate(fFrameRate);
	fPlugIn->setBlockSize(fBlockFrames);
	SetPriority(suggest_thread_priority(B_LIVE_AUDIO_MANIPULATION, int32(BufferDuration()), 0,
		fProcessingLatency));
}

void VSTEffectNode::ResetFormat()
{
	fBlockFrames = 0;
	fFrameRate = 0;
	SetBufferDuration(0);
	for (auto& input : fInputs) {
		input->blockFrames = 0;
		input->blocks.clear();
	}
	for (auto& output : fOutputs) {
		output->blockFrames = 0;
		output->blocks.clear();
	}
	fSilence.clear();
	fScratch.clear();
	SetPriority(B_NORMAL_PRIORITY);
}

void VSTEffectNode::UpdateLatency(bool processing, bool downstream)
{
	bool changed = false;
	if (processing && RunState() != B_STARTED && fBlockFrames != 0) {
		const uint32 frames = fBlockFrames;
		std::vector<std::vector<float>> ins(size_t(fPlugIn->CountInputs()),
			std::vector<float>(frames, 0.0f));
		std::vector<std::vector<float>> outs(size_t(fPlugIn->CountOutputs()),
			std::vector<float>(frames, 0.0f));
		std::vector<float*> inPointers, outPointers;
		for (auto& block : ins)
			inPointers.push_back(block.data());
		for (auto& block : outs)
			outPointers.push_back(block.data());
		// Converting one block, each way, in the format of each connection.
		bigtime_t conversions = 0;
		std::vector<char> raw(frames * sizeof(int32) * 2);
		for (auto& input : fInputs) {
			if (input->input.source == media_source::null || input->blocks.empty())
				continue;
			float* blocks[2];
			Pointers(input->blocks, input->channels, blocks);
			const media_raw_audio_format& format = input->input.format.u.raw_audio;
			bigtime_t start = system_time();
			ConvertToFloat(format.format, IsBigEndian(format), raw.data(), int32(input->channels),
				int32(frames), blocks);
			input->conversionLatency = RoundUpToGrain(system_time() - start);
			conversions += input->conversionLatency;
		}
		for (auto& output : fOutputs) {
			if (!output->IsConnected() || output->blocks.empty())
				continue;
			float* blocks[2];
			Pointers(output->blocks, output->channels, blocks);
			const media_raw_audio_format& format = output->output.format.u.raw_audio;
			bigtime_t start = system_time();
			ConvertFromFloat(format.format, IsBigEndian(format), blocks,
				int32(output->channels), int32(frames), raw.data());
			output->conversionLatency = RoundUpToGrain(system_time() - start);
			conversions += output->conversionLatency;
		}
		const bool wasResumed = fPlugIn->IsResumed();
		if (!wasResumed)
			fPlugIn->resume();
		bigtime_t start = system_time();
		fPlugIn->process(inPointers.data(), outPointers.data(), int32(frames), 0);
		bigtime_t took = system_time() - start;
		if (!wasResumed)
			fPlugIn->suspend();
		if (conversions + took != fProcessingLatency) {
			fProcessingLatency = conversions + took;
			changed = true;
		}
	}
	if (downstream) {
		bigtime_t largest = 0;
		for (auto& output : fOutputs) {
			if (output->IsConnected())
				largest = std::max(largest, output->downstreamLatency);
		}
		if (largest != fDownstreamLatency) {
			fDownstreamLatency = largest;
			changed = true;
		}
	}
	if (!changed)
		return;
	SetEventLatency(bigtime_t(double(fProcessingLatency) * 1.1) + fDownstreamLatency);
	for (auto& input : fInputs) {
		if (!(input->input.source == media_source::null)) {
			SendLatencyChange(input->input.source, input->input.destination,
				EventLatency() + SchedulingLatency());
		}
	}
}

status_t VSTEffectNode::MakeBufferGroup(VSTOutput* output)
{
	const size_t size = output->output.format.u.raw_audio.buffer_size;
	const bigtime_t duration = BufferDuration();
	// Enough buffers to cover the way downstream; without a duration, a few.
	int32 count = 4;
	if (duration > 0) {
		count += int32(std::min<bigtime_t>(
			(output->downstreamLatency + output->conversionLatency) / duration, 256));
	}
	auto group = std::make_unique<BBufferGroup>(size, count);
	if (group->InitCheck() != B_OK)
		return group->InitCheck();
	output->group = std::move(group);
	return B_OK;
}

status_t VSTEffectNode::PrepareToConnect(const media_source& what,
	const media_destination& where, media_format* format, media_source* outSource,
	char* outName)
{
	VSTOutput* output = FindOutput(what);
	if (output == nullptr)
		return B_MEDIA_BAD_SOURCE;
	if (output->IsConnected() || !(output->pending == media_destination::null))
		return B_MEDIA_ALREADY_CONNECTED;
	if (where.port == ControlPort())
		return B_MEDIA_BAD_DESTINATION;
	if (format->type != B_MEDIA_RAW_AUDIO)
		return B_MEDIA_BAD_FORMAT;
	if (format->u.raw_audio.byte_order == 0)
		format->u.raw_audio.byte_order = B_MEDIA_LITTLE_ENDIAN;
	if (status_t status = Negotiate(output->channels, format); status != B_OK)
		return status;
	output->pending = where;
	*outSource = output->output.source;
	strncpy(outName, output->output.name, B_MEDIA_NAME_LENGTH - 1);
	outName[B_MEDIA_NAME_LENGTH - 1] = '\0';
	return B_OK;
}

void VSTEffectNode::Connect(status_t error, const media_source& source,
	const media_destination& destination, const media_format& format, char* ioName)
{
	VSTOutput* output = FindOutput(source);
	if (output == nullptr || !(output->pending == destination))
		return;
	output->pending = media_destination::null;
	if (error != B_OK)
		return;
	if (!AnyConnection())
		SetFormat(format.u.raw_audio);
	media_node_id timeSource;
	if (FindLatencyFor(destination, &output->downstreamLatency, &timeSource) != B_OK)
		output->downstreamLatency = 0;
	output->output.destination = destination;
	output->output.format = format;
	if (output->group == nullptr && MakeBufferGroup(output) != B_OK)
		fprintf(stderr, "plugbridge: %s: no buffers for the output\n", Name());
	UpdateLatency(true, true);
	if (ioName != nullptr) {
		strncpy(ioName, output->output.name, B_MEDIA_NAME_LENGTH - 1);
		ioName[B_MEDIA_NAME_LENGTH - 1] = '\0';
	}
}

void VSTEffectNode::Disconnect(const media_source& what, const media_destination& where)
{
	VSTOutput* output = FindOutput(what);
	if (output == nullptr || !(output->output.destination == where))
		return;
	output->group.reset();
	output->output.destination = media_destination::null;
	output->enabled = true;
	output->downstreamLatency = 0;
	output->output.format = media_format::RawAudioFormat();
	if (!AnyConnection())
		ResetFormat();
	UpdateLatency(true, true);
}

status_t VSTEffectNode::Connected(const media_source& producer, const media_destination& where,
	const media_format& withFormat, media_input* outInput)
{
	VSTInput* input = FindInput(where);
	if (input == nullptr)
		return B_MEDIA_BAD_DESTINATION;
	const bool alternateTaken = input->alternate != nullptr
		&& !(input->alternate->input.source == media_source::null);
	if (!(input->input.source == media_source::null) || alternateTaken)
		return B_MEDIA_ALREADY_CONNECTED;
	media_format format = withFormat;
	if (Negotiate(input->channels, &format) != B_OK)
		return B_MEDIA_BAD_FORMAT;
	if (fBlockFrames != 0) {
		const media_raw_audio_format& raw = format.u.raw_audio;
		if (raw.frame_rate != fFrameRate
			|| raw.buffer_size / media_frame_size(raw) != fBlockFrames)
			return B_MEDIA_BAD_FORMAT;
	}
	if (!AnyConnection())
		SetFormat(format.u.raw_audio);
	input->input.source = producer;
	input->input.format = format;
	fProcessedInput = input;
	UpdateLatency(true, false);
	*outInput = input->input;
	return B_OK;
}

void VSTEffectNode::Disconnected(const media_source& producer, const media_destination& where)
{
	VSTInput* input = FindInput(where);
	if (input == nullptr || !(input->input.source == producer))
		return;
	ReleaseInput(input);
	input->input.source = media_source::null;
	input->input.format = media_format::RawAudioFormat();
	if (fProcessedInput == input && input->alternate != nullptr && input->channels == 1)
		fProcessedInput = input->alternate;
	if (!AnyConnection())
		ResetFormat();
	UpdateLatency(true, false);
}

status_t VSTEffectNode::FormatChanged(const media_source& producer,
	const media_destination& consumer, int32, const media_format& format)
{
	VSTInput* input = FindInput(consumer);
	if (input == nullptr || !(input->input.source == producer))
		return B_MEDIA_BAD_DESTINATION;
	const media_raw_audio_format& raw = format.u.raw_audio;
	const size_t frameSize = media_frame_size(raw);
	if (format.type != B_MEDIA_RAW_AUDIO || raw.frame_rate != fFrameRate || frameSize == 0
		|| raw.buffer_size / frameSize != fBlockFrames || !IsConverted(raw.format)
		|| raw.channel_count != input->channels)
		return B_MEDIA_BAD_FORMAT;
	ReleaseInput(input);
	media_raw_audio_format& mine = input->input.format.u.raw_audio;
	mine.format = raw.format;
	mine.byte_order = raw.byte_order;
	mine.buffer_size = raw.buffer_size;
	return B_OK;
}

status_t VSTEffectNode::FormatChangeRequested(const media_source& source,
	const media_destination& destination, media_format* ioFormat, int32*)
{
	VSTOutput* output = FindOutput(source);
	if (output == nullptr || !(output->output.destination == destination))
		return B_MEDIA_BAD_SOURCE;
	const media_raw_audio_format& raw = ioFormat->u.raw_audio;
	const size_t frameSize = media_frame_size(raw);
	if (ioFormat->type != B_MEDIA_RAW_AUDIO || raw.frame_rate != fFrameRate || frameSize == 0
		|| raw.buffer_size / frameSize != fBlockFrames || !IsConverted(raw.format)
		|| raw.channel_count != output->channels)
		return B_MEDIA_BAD_FORMAT;
	media_raw_audio_format& mine = output->output.format.u.raw_audio;
	const bool resized = mine.buffer_size != raw.buffer_size;
	mine.format = raw.format;
	mine.byte_order = raw.byte_order;
	mine.buffer_size = raw.buffer_size;
	if (resized) {
		output->group.reset();
		return MakeBufferGroup(output);
	}
	return B_OK;
}

status_t VSTEffectNode::SetBufferGroup(const media_source& forSource, BBufferGroup* group)
{
	VSTOutput* output = FindOutput(forSource);
	if (output == nullptr) {
		delete group;
		return B_MEDIA_BAD_SOURCE;
	}
	if (group != nullptr) {
		output->group.reset(group);
		return B_OK;
	}
	output->group.reset();
	return MakeBufferGroup(output);
}

void VSTEffectNode::EnableOutput(const media_source& what, bool enabled, int32*)
{
	if (VSTOutput* output = FindOutput(what))
		output->enabled = enabled;
}

void VSTEffectNode::LatencyChanged(const media_source& source,
	const media_destination& destination, bigtime_t newLatency, uint32)
{
	VSTOutput* output = FindOutput(source);
	if (output == nullptr || !(output->output.destination == destination))
		return;
	output->downstreamLatency = newLatency;
	UpdateLatency(false, true);
}

void VSTEffectNode::LateNoticeReceived(const media_source& what, bigtime_t howMuch,
	bigtime_t performanceTime)
{
	if (FindOutput(what) == nullptr || !AnyConnection())
		return;
	for (auto& input : fInputs) {
		if (!(input->input.source == media_source::null))
			NotifyLateProducer(input->input.source, howMuch, performanceTime);
	}
}

status_t VSTEffectNode::GetLatency(bigtime_t* outLatency)
{
	*outLatency = EventLatency() + SchedulingLatency();
	return B_OK;
}

status_t VSTEffectNode::GetLatencyFor(const media_destination& forWhom, bigtime_t* outLatency,
	media_node_id* outTimeSource)
{
	if (FindInput(forWhom) == nullptr)
		return B_MEDIA_BAD_DESTINATION;
	*outLatency = EventLatency() + SchedulingLatency();
	*outTimeSource = TimeSource()->ID();
	return B_OK;
}

void VSTEffectNode::BufferReceived(BBuffer* buffer)
{
	if (buffer->Header()->type == B_MEDIA_PARAMETERS) {
		ApplyParameterData(buffer->Data(), buffer->SizeUsed());
		buffer->Recycle();
		return;
	}
	const media_destination destination(ControlPort(), buffer->Header()->destination);
	if (FindInput(destination) == nullptr) {
		buffer->Recycle();
		return;
	}
	media_timed_event event(buffer->Header()->start_time, B_HANDLE_BUFFER, buffer,
		B_RECYCLE_BUFFER);
	if (AddEvent(event) != B_OK)
		buffer->Recycle();
}

void VSTEffectNode::ProducerDataStatus(const media_destination& forWhom, int32 status,
	bigtime_t atPerformanceTime)
{
	if (FindInput(forWhom) == nullptr)
		return;
	// Passed on after the buffers before it, so that the end of a stream reaches the
	// consumers after its last buffer.
	media_timed_event event(atPerformanceTime, B_DATA_STATUS);
	event.data = status;
	AddEvent(event);
}

status_t VSTEffectNode::GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
	size_t* ioSize)
{
	if (id < 0 || id >= fPlugIn->CountParameters() + 2)
		return B_BAD_INDEX;
	if (*ioSize < sizeof(float))
		return B_NO_MEMORY;
	float real = 0;
	int32 setting = 0;
	if (fPlugIn->getParameterAt(id, &real, &setting))
		memcpy(value, &real, sizeof(real));
	else
		memcpy(value, &setting, sizeof(setting));
	*ioSize = sizeof(float);
	if (lastChange != nullptr)
		*lastChange = 0;
	return B_OK;
}

void VSTEffectNode::SetParameterValue(int32 id, bigtime_t when, const void* value, size_t size)
{
	media_timed_event event(when, B_PARAMETER);
	if (value == nullptr || size == 0 || size > sizeof(event.user_defined))
		return;
	event.data = id;
	event.bigdata = int64(size);
	memcpy(event.user_defined, value, size);
	AddEvent(event);
}

status_t VSTEffectNode::StartControlPanel(BMessenger* outMessenger)
{
	return fPlugIn->openEditor(outMessenger);
}

void VSTEffectNode::QueueIdle()
{
	// One idle event at a time: a plug-in asking for idle time on every block must not
	// fill the queue that buffers need.
	if (fIdleQueued || RunMode() == B_OFFLINE)
		return;
	media_timed_event event(TimeSource()->Now() + kIdleInterval, VST_IDLE_EVENT);
	fIdleQueued = AddEvent(event) == B_OK;
}

status_t VSTEffectNode::HandleMessage(int32 code, const void* data, size_t size)
{
	switch (code) {
		case VST_EDITOR_CLOSED:
		case VST_IO_CHANGED:
			return B_OK;
		case VST_UPDATE_DISPLAY:
			fPlugIn->updateEditor();
			return B_OK;
		case VST_NEED_IDLE:
			QueueIdle();
			return B_OK;
		case VST_AUTOMATE:
		{
			VSTAutomateData automate;
			if (size < sizeof(automate))
				return B_OK;
			memcpy(&automate, data, sizeof(automate));
			// The value in the parameter's own range, as GetParameterValue reports it (the
			// plug-in announces its 0…1 form).
			float real = 0;
			int32 setting = 0;
			if (automate.index == fPlugIn->CountParameters()
				|| automate.index == fPlugIn->CountParameters() + 1) {
				setting = int32(automate.value);
				BroadcastNewParameterValue(TimeSource()->Now(), automate.index, &setting,
					sizeof(setting));
			} else if (fPlugIn->getParameterAt(automate.index, &real, &setting)) {
				BroadcastNewParameterValue(TimeSource()->Now(), automate.index, &real,
					sizeof(real));
			} else if (automate.index >= 0 && automate.index < fPlugIn->CountParameters()) {
				BroadcastNewParameterValue(TimeSource()->Now(), automate.index, &setting,
					sizeof(setting));
			}
			return B_OK;
		}
		default:
			break;
	}
	if (BBufferConsumer::HandleMessage(code, data, size) == B_OK
		|| BBufferProducer::HandleMessage(code, data, size) == B_OK
		|| BControllable::HandleMessage(code, data, size) == B_OK)
		return B_OK;
	return BMediaNode::HandleMessage(code, data, size);
}

void VSTEffectNode::HandleEvent(const media_timed_event* event, bigtime_t, bool)
{
	switch (event->type) {
		case B_START:
			fPlugIn->resume();
			QueueIdle();
			break;
		case B_STOP:
			fPlugIn->suspend();
			for (auto& input : fInputs)
				ReleaseInput(input.get());
			break;
		case B_HANDLE_BUFFER:
			ProcessBuffer(static_cast<BBuffer*>(event->pointer));
			break;
		case B_PARAMETER:
		{
			float real = 0;
			int32 setting = 0;
			if (event->bigdata >= int64(sizeof(float))) {
				memcpy(&real, event->user_defined, sizeof(real));
				memcpy(&setting, event->user_defined, sizeof(setting));
			}
			fPlugIn->setParameterAt(event->data, real, setting);
			break;
		}
		case B_DATA_STATUS:
			for (auto& output : fOutputs) {
				if (output->IsConnected())
					SendDataStatus(event->data, output->output.destination, event->event_time);
			}
			break;
		case VST_IDLE_EVENT:
			fIdleQueued = false;
			if (fPlugIn->callIdle())
				QueueIdle();
			break;
		default:
			break;
	}
}

void VSTEffectNode::ReleaseInput(VSTInput* input)
{
	if (input->buffer != nullptr) {
		input->buffer->Recycle();
		input->buffer = nullptr;
	}
	input->hasData = false;
	input->converted = false;
}

void VSTEffectNode::ProcessBuffer(BBuffer* buffer)
{
	VSTInput* input = FindInput(media_destination(ControlPort(), buffer->Header()->destination));
	VSTOutput* output = fOutputs.empty() ? nullptr : fOutputs[0].get();
	if (RunState() != B_STARTED || output == nullptr || !output->IsConnected()
		|| !output->enabled || output->group == nullptr || fPlugIn->MuteState() == 2
		|| input == nullptr || input != fProcessedInput || fBlockFrames == 0) {
		buffer->Recycle();
		return;
	}

	const bigtime_t startTime = buffer->Header()->start_time;
	// The input block: the buffer's own data for mono float, else converted (and the
	// buffer recycled at once).
	const media_raw_audio_format& inFormat = input->input.format.u.raw_audio;
	const size_t inFrameSize = media_frame_size(inFormat);
	const int32 frames = int32(std::min<size_t>(
		inFrameSize != 0 ? buffer->SizeUsed() / inFrameSize : 0, fBlockFrames));
	float* supplied[2] = {nullptr, nullptr};
	const uint32 suppliedCount = input->channels;
	input->hasData = true;
	if (inFormat.format == media_raw_audio_format::B_AUDIO_FLOAT && input->channels == 1
		&& inFormat.byte_order == B_MEDIA_HOST_ENDIAN) {
		input->buffer = buffer;
		supplied[0] = static_cast<float*>(buffer->Data());
	} else {
		Pointers(input->blocks, input->channels, supplied);
		ConvertToFloat(inFormat.format, IsBigEndian(inFormat), buffer->Data(),
			int32(input->channels), frames, supplied);
		input->converted = true;
		buffer->Recycle();
	}

	float* ins[VSTPlugIn::kMaxChannels];
	const int32 plugInInputs = fPlugIn->CountInputs();
	for (int32 c = 0; c < plugInInputs; c++) {
		if (uint32(c) < suppliedCount)
			ins[c] = supplied[c];
		else if (c < 2)
			ins[c] = supplied[suppliedCount - 1];  // mono feeds both sides
		else
			ins[c] = fSilence.data();
	}
	if (plugInInputs > 2)
		std::fill(fSilence.begin(), fSilence.end(), 0.0f);

	// Waits for a buffer to come back, but not for ever: a consumer that keeps its buffers
	// must not leave the node's thread unable to stop.
	status_t status;
	BBuffer* out = output->group->RequestBuffer(output->output.format.u.raw_audio.buffer_size,
		RunMode() == B_OFFLINE ? kOfflineBufferWait : kBufferWait, &status);
	if (out == nullptr) {
		ReleaseInput(input);
		return;
	}
	const media_raw_audio_format& outFormat = output->output.format.u.raw_audio;
	media_header* header = out->Header();
	header->type = B_MEDIA_RAW_AUDIO;
	header->size_used = uint32(size_t(frames) * media_frame_size(outFormat));
	header->start_time = startTime;
	header->time_source = TimeSource()->ID();

	float* outs[VSTPlugIn::kMaxChannels];
	const bool inPlace = outFormat.format == media_raw_audio_format::B_AUDIO_FLOAT
		&& output->channels == 1 && outFormat.byte_order == B_MEDIA_HOST_ENDIAN;
	float* carried[2] = {nullptr, nullptr};
	if (inPlace)
		carried[0] = static_cast<float*>(out->Data());
	else
		Pointers(output->blocks, output->channels, carried);
	const int32 plugInOutputs = fPlugIn->CountOutputs();
	for (int32 c = 0; c < plugInOutputs; c++)
		outs[c] = uint32(c) < output->channels ? carried[c] : fScratch.data();

	fPlugIn->process(ins, outs, frames, header->start_time);
	fFramesProcessed.fetch_add(frames, std::memory_order_relaxed);

	if (!inPlace) {
		ConvertFromFloat(outFormat.format, IsBigEndian(outFormat), carried,
			int32(output->channels), frames, out->Data());
	}
	if (SendBuffer(out, output->output.source, output->output.destination) == B_OK)
		fBuffersSent.fetch_add(1, std::memory_order_relaxed);
	else
		out->Recycle();
	ReleaseInput(input);

	// Offline there are no timed idle events: idle time every tenth of a second of audio.
	if (RunMode() == B_OFFLINE && fFrameRate > 0) {
		fOfflineIdleFrames += frames;
		if (fOfflineIdleFrames >= bigtime_t(fFrameRate / 10)) {
			fOfflineIdleFrames = 0;
			fPlugIn->callIdle();
		}
	}
}

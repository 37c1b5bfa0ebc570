#include "media/DeviceNodes.h"

#include "media/Buffer.h"
#include "media/TimeSource.h"

#include <algorithm>
#include <cstring>

namespace {

// While running, the input looks at its device this often for a vanished device.
constexpr bigtime_t kDeviceCheckPeriod = 100000;
constexpr int32 kCheckDeviceEvent = BTimedEventQueue::B_USER_EVENT + 2;

}  // namespace

// AudioInputNode

AudioInputNode::AudioInputNode(BMediaAddOn* addOn, int32 flavorId)
	: BMediaNode("Audio input"), AudioProducerNode("Audio input", addOn, flavorId)
{
	AddNodeKind(B_PHYSICAL_INPUT);
}

AudioInputNode::~AudioInputNode()
{
	Quit();
	if (fDevice)
		fDevice->Stop();
}

status_t AudioInputNode::OpenDevice(uint32 channels)
{
	std::string jackError, error;
	auto device = open_jack_capture("capture", channels, true, &CaptureHook, this, &jackError);
	if (!device)
		device = open_rtaudio_capture(channels, &CaptureHook, this, &error);
	return Opened(std::move(device), jackError.empty() ? error : jackError + "; " + error);
}

status_t AudioInputNode::OpenJack(const char* prefix, uint32 channels, bool autoConnect)
{
	std::string error;
	auto device = open_jack_capture(prefix, channels, autoConnect, &CaptureHook, this, &error);
	return Opened(std::move(device), error);
}

status_t AudioInputNode::UseDevice(std::unique_ptr<AudioDevice> device)
{
	return Opened(std::move(device), "no device given");
}

status_t AudioInputNode::Opened(std::unique_ptr<AudioDevice> device, const std::string& error)
{
	fDevice = std::move(device);
	if (!fDevice) {
		fError = error;
		fStatus = B_MEDIA_SYSTEM_FAILURE;
		return fStatus;
	}
	SetNativeFormat(float(fDevice->FrameRate()), fDevice->Channels(), true, true);
	fStatus = B_OK;
	return B_OK;
}

void AudioInputNode::OutputConnected(const media_raw_audio_format& format)
{
	fConverterReady.store(false);
	if (!fDevice)
		return;
	status_t status = fConverter.Prepare(fDevice->FrameRate(), fDevice->Channels(),
		format.frame_rate, format.channel_count, fDevice->MaxBlockFrames());
	fConverterReady.store(status == B_OK);
}

void AudioInputNode::Started(bigtime_t)
{
	if (!fDevice)
		return;
	fConverter.Reset();
	fLostReported.store(false);
	fDevice->Start();
	EventQueue()->AddEvent(media_timed_event(TimeSource()->Now() + kDeviceCheckPeriod,
		kCheckDeviceEvent));
}

void AudioInputNode::Stopped()
{
	EventQueue()->FlushEvents(0, BTimedEventQueue::B_ALWAYS, true, kCheckDeviceEvent);
	if (fDevice)
		fDevice->Stop();
}

void AudioInputNode::HandleEvent(const media_timed_event* event, bigtime_t lateness,
	bool realTimeEvent)
{
	if (event->type != kCheckDeviceEvent) {
		AudioProducerNode::HandleEvent(event, lateness, realTimeEvent);
		return;
	}
	if (fDevice && fDevice->Lost()) {
		if (!fLostReported.exchange(true) && IsConnected()) {
			media_output output;
			int32 cookie = 0;
			if (GetNextOutput(&cookie, &output) == B_OK)
				SendDataStatus(B_DATA_NOT_AVAILABLE, output.destination, TimeSource()->Now());
		}
		return;
	}
	EventQueue()->AddEvent(media_timed_event(event->event_time + kDeviceCheckPeriod,
		kCheckDeviceEvent));
}

void AudioInputNode::CaptureHook(void* node, const float* frames, size_t count, bigtime_t when)
{
	static_cast<AudioInputNode*>(node)->Capture(frames, count, when);
}

void AudioInputNode::Capture(const float* frames, size_t count, bigtime_t when)
{
	if (!fConverterReady.load())
		return;
	const float* converted = nullptr;
	size_t made = fConverter.Convert(frames, count, &converted);
	if (made > 0)
		PushFrames(converted, made, TimeSource()->PerformanceTimeFor(when));
}

// AudioOutputNode

AudioOutputNode::AudioOutputNode(BMediaAddOn* addOn, int32 flavorId)
	: BMediaNode("Audio output"), AudioConsumerNode("Audio output", addOn, flavorId)
{
	AddNodeKind(B_PHYSICAL_OUTPUT);
}

AudioOutputNode::~AudioOutputNode()
{
	Quit();
	if (fDevice)
		fDevice->Stop();
}

status_t AudioOutputNode::OpenDevice(uint32 channels)
{
	std::string jackError, error;
	auto device = open_jack_playback("playback", channels, true, &PlaybackHook, this,
		&jackError);
	if (!device)
		device = open_rtaudio_playback(channels, &PlaybackHook, this, &error);
	return Opened(std::move(device), jackError.empty() ? error : jackError + "; " + error);
}

status_t AudioOutputNode::OpenJack(const char* prefix, uint32 channels, bool autoConnect)
{
	std::string error;
	auto device = open_jack_playback(prefix, channels, autoConnect, &PlaybackHook, this, &error);
	return Opened(std::move(device), error);
}

status_t AudioOutputNode::Opened(std::unique_ptr<AudioDevice> device, const std::string& error)
{
	fDevice = std::move(device);
	if (!fDevice) {
		fError = error;
		fStatus = B_MEDIA_SYSTEM_FAILURE;
		return fStatus;
	}
	media_raw_audio_format accepted{};
	accepted.frame_rate = float(fDevice->FrameRate());
	accepted.channel_count = fDevice->Channels();
	SetAcceptedFormat(accepted);
	// A second of audio can wait for the device.
	fRing.SetCapacity(size_t(fDevice->FrameRate()) * fDevice->Channels());
	fStatus = B_OK;
	return B_OK;
}

void AudioOutputNode::InputConnected(const media_raw_audio_format&)
{
	fRing.Clear();
}

void AudioOutputNode::HandleEvent(const media_timed_event* event, bigtime_t, bool)
{
	if (!fDevice)
		return;
	if (event->type == B_START)
		fDevice->Start();
	else if (event->type == B_STOP)
		fDevice->Stop();
}

void AudioOutputNode::Consume(const float* frames, size_t count, bigtime_t)
{
	fRing.Write(frames, count * InputFormat().channel_count);
}

void AudioOutputNode::PlaybackHook(void* node, float* frames, size_t count)
{
	auto* self = static_cast<AudioOutputNode*>(node);
	size_t samples = count * self->fDevice->Channels();
	size_t got = self->fRing.Read(frames, samples);
	if (got < samples) {
		std::memset(frames + got, 0, (samples - got) * sizeof(float));
		self->fUnderruns.fetch_add(int64(samples - got));
	}
}

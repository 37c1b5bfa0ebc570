#include "media/PlatformNodes.h"

#include "media/DeviceNodes.h"
#include "media/MediaAddOn.h"
#include "media/MediaRoster.h"
#include "media/ParameterWeb.h"
#include "media/TimeSource.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr double kTwoPi = 6.283185307179586;

}  // namespace

// ToneGeneratorNode

ToneGeneratorNode::ToneGeneratorNode(float frequency, float levelDb, float frameRate,
	uint32 channels, BMediaAddOn* addOn)
	: BMediaNode("Tone generator"), AudioProducerNode("Tone generator", addOn,
		kToneGeneratorFlavor),
	  fFrequency(frequency), fLevelDb(levelDb)
{
	SetNativeFormat(frameRate, channels);
}

void ToneGeneratorNode::NodeRegistered()
{
	auto* web = new BParameterWeb;
	BParameterGroup* group = web->MakeGroup(Name());
	group->MakeContinuousParameter(kFrequencyParameter, B_MEDIA_RAW_AUDIO, "Frequency",
		B_FREQUENCY, "Hz", 20.0f, 20000.0f, 1.0f);
	group->MakeContinuousParameter(kLevelParameter, B_MEDIA_RAW_AUDIO, "Level", B_GAIN, "dB",
		-96.0f, 0.0f, 0.5f);
	SetParameterWeb(web);
	AudioProducerNode::NodeRegistered();
}

status_t ToneGeneratorNode::GetParameterValue(int32 id, bigtime_t* lastChange, void* value,
	size_t* ioSize)
{
	if (value == nullptr || ioSize == nullptr || *ioSize < sizeof(float))
		return B_NO_MEMORY;
	float v;
	if (id == kFrequencyParameter)
		v = fFrequency;
	else if (id == kLevelParameter)
		v = fLevelDb;
	else
		return B_BAD_INDEX;
	std::memcpy(value, &v, sizeof(v));
	*ioSize = sizeof(v);
	if (lastChange != nullptr)
		*lastChange = fLastChange;
	return B_OK;
}

void ToneGeneratorNode::SetParameterValue(int32 id, bigtime_t when, const void* value,
	size_t size)
{
	if (value == nullptr || size < sizeof(float)
		|| (id != kFrequencyParameter && id != kLevelParameter))
		return;
	media_timed_event event(when, B_PARAMETER);
	event.data = id;
	std::memcpy(event.user_defined, value, sizeof(float));
	AddEvent(event);
}

status_t ToneGeneratorNode::HandleMessage(int32 code, const void* data, size_t size)
{
	if (BControllable::HandleMessage(code, data, size) == B_OK)
		return B_OK;
	return AudioProducerNode::HandleMessage(code, data, size);
}

void ToneGeneratorNode::HandleEvent(const media_timed_event* event, bigtime_t lateness,
	bool realTimeEvent)
{
	if (event->type != B_PARAMETER) {
		AudioProducerNode::HandleEvent(event, lateness, realTimeEvent);
		return;
	}
	float v;
	std::memcpy(&v, event->user_defined, sizeof(v));
	if (!std::isfinite(v))
		return;
	if (event->data == kFrequencyParameter)
		fFrequency = std::fmin(std::fmax(v, 0.0f), OutputFormat().frame_rate / 2);
	else
		fLevelDb = std::fmin(v, 0.0f);
	fLastChange = TimeSource()->Now();
	BroadcastNewParameterValue(fLastChange, event->data, &v, sizeof(v));
}

size_t ToneGeneratorNode::Produce(float* out, size_t frames)
{
	media_raw_audio_format format = OutputFormat();
	double step = kTwoPi * fFrequency / format.frame_rate;
	float gain = float(std::pow(10.0, fLevelDb / 20.0));
	for (size_t i = 0; i < frames; i++) {
		float v = gain * float(std::sin(fPhase));
		for (uint32 c = 0; c < format.channel_count; c++)
			*out++ = v;
		fPhase += step;
		if (fPhase >= kTwoPi)
			fPhase -= kTwoPi;
	}
	return frames;
}

// SoundFileReaderNode

SoundFileReaderNode::SoundFileReaderNode(BMediaAddOn* addOn, bool loop)
	: BMediaNode("Sound file reader"), AudioProducerNode("Sound file reader", addOn,
		kSoundFileReaderFlavor),
	  fLoop(loop)
{
}

status_t SoundFileReaderNode::SetRef(const entry_ref& file, bool create, bigtime_t* outDuration)
{
	if (create)
		return B_NOT_ALLOWED;
	if (IsConnected())
		return B_MEDIA_ALREADY_CONNECTED;
	status_t status = fReader.Open(file.path);
	if (status != B_OK)
		return status;
	fRef = file;
	SetNativeFormat(float(fReader.SampleRate()), uint32(fReader.Channels()));
	return GetDuration(outDuration);
}

status_t SoundFileReaderNode::GetRef(entry_ref* outRef, char* outMimeType)
{
	if (!fReader.IsOpen())
		return B_NO_INIT;
	if (outRef != nullptr)
		*outRef = fRef;
	if (outMimeType != nullptr)
		std::snprintf(outMimeType, 256, "%s", fReader.MimeType().c_str());
	return B_OK;
}

status_t SoundFileReaderNode::SniffRef(const entry_ref& file, char* outMimeType,
	float* outQuality)
{
	SoundFileReader probe;
	status_t status = probe.Open(file.path);
	if (status != B_OK)
		return status;
	if (outMimeType != nullptr)
		std::snprintf(outMimeType, 256, "%s", probe.MimeType().c_str());
	if (outQuality != nullptr)
		*outQuality = 1.0f;
	return B_OK;
}

status_t SoundFileReaderNode::GetDuration(bigtime_t* outDuration)
{
	if (!fReader.IsOpen())
		return B_NO_INIT;
	if (outDuration != nullptr)
		*outDuration = bigtime_t(double(fReader.Frames()) * 1000000.0 / fReader.SampleRate());
	return B_OK;
}

size_t SoundFileReaderNode::Produce(float* out, size_t frames)
{
	size_t done = 0;
	while (done < frames) {
		int64 got = fReader.ReadFloat(out + done * size_t(fReader.Channels()),
			int64(frames - done));
		if (got > 0) {
			done += size_t(got);
			continue;
		}
		if (got < 0 || !fLoop || fReader.Frames() == 0 || fReader.Seek(0) != 0)
			break;
	}
	return done;
}

void SoundFileReaderNode::SeekToMedia(bigtime_t mediaTime)
{
	if (!fReader.IsOpen())
		return;
	int64 frame = int64(double(mediaTime) * fReader.SampleRate() / 1000000.0);
	fReader.Seek(std::max<int64>(0, std::min(frame, fReader.Frames())));
}

// SoundFileWriterNode

SoundFileWriterNode::SoundFileWriterNode(BMediaAddOn* addOn)
	: BMediaNode("WAV writer"), AudioConsumerNode("WAV writer", addOn, kSoundFileWriterFlavor),
	  fFileFormat(media_raw_audio_format::B_AUDIO_SHORT)
{
}

SoundFileWriterNode::~SoundFileWriterNode()
{
	Quit();
}

status_t SoundFileWriterNode::SetRef(const entry_ref& file, bool, bigtime_t* outDuration)
{
	if (file.path.empty())
		return B_BAD_VALUE;
	if (IsConnected())
		return B_MEDIA_ALREADY_CONNECTED;
	fRef = file;
	if (outDuration != nullptr)
		*outDuration = 0;
	std::lock_guard<std::mutex> guard(fDoneLock);
	fDone = false;
	return B_OK;
}

status_t SoundFileWriterNode::GetRef(entry_ref* outRef, char* outMimeType)
{
	if (fRef.path.empty())
		return B_NO_INIT;
	if (outRef != nullptr)
		*outRef = fRef;
	if (outMimeType != nullptr)
		std::snprintf(outMimeType, 256, "audio/x-wav");
	return B_OK;
}

status_t SoundFileWriterNode::SniffRef(const entry_ref&, char*, float*)
{
	return B_MEDIA_NO_HANDLER;
}

status_t SoundFileWriterNode::GetDuration(bigtime_t* outDuration)
{
	if (outDuration != nullptr)
		*outDuration = fRate > 0 ? bigtime_t(double(fFramesWritten) * 1000000.0 / fRate) : 0;
	return B_OK;
}

void SoundFileWriterNode::InputConnected(const media_raw_audio_format& format)
{
	fRate = format.frame_rate;
	fFramesWritten = 0;
	status_t status = fRef.path.empty() ? B_NO_INIT
		: fWriter.Create(fRef.path, int32(format.frame_rate), int32(format.channel_count),
			fFileFormat);
	std::lock_guard<std::mutex> guard(fDoneLock);
	fDone = status != B_OK;
	fDoneStatus = status;
	if (fDone)
		fDoneChanged.notify_all();
}

void SoundFileWriterNode::Consume(const float* frames, size_t count, bigtime_t)
{
	if (!fWriter.IsOpen())
		return;
	if (fWriter.WriteFrames(frames, int64(count)) != B_OK) {
		std::fprintf(stderr, "WAV writer: %s\n", fWriter.ErrorText().c_str());
		fWriter.Abort();
		std::lock_guard<std::mutex> guard(fDoneLock);
		fDone = true;
		fDoneStatus = B_IO_ERROR;
		fDoneChanged.notify_all();
		return;
	}
	fFramesWritten += int64(count);
}

void SoundFileWriterNode::Finish()
{
	if (!fWriter.IsOpen())
		return;
	status_t status = fWriter.Commit();
	if (status != B_OK)
		std::fprintf(stderr, "WAV writer: %s\n", fWriter.ErrorText().c_str());
	std::lock_guard<std::mutex> guard(fDoneLock);
	fDone = true;
	fDoneStatus = status;
	fDoneChanged.notify_all();
}

void SoundFileWriterNode::InputDisconnected()
{
	Finish();
}

void SoundFileWriterNode::StreamEnded()
{
	Finish();
}

void SoundFileWriterNode::HandleEvent(const media_timed_event* event, bigtime_t, bool)
{
	if (event->type == B_STOP)
		Finish();
}

status_t SoundFileWriterNode::WaitForCommit(bigtime_t timeout)
{
	std::unique_lock<std::mutex> guard(fDoneLock);
	if (!fDoneChanged.wait_for(guard, std::chrono::microseconds(timeout), [&] { return fDone; }))
		return B_TIMED_OUT;
	return fDoneStatus;
}

// The system add-on.

namespace {

class PlatformAddOn : public BMediaAddOn {
public:
	PlatformAddOn() : BMediaAddOn(-1)
	{
		media_format raw = media_format::RawAudioFormat();
		for (int i = 0; i < 5; i++)
			fFormats[i] = raw;
		Flavor(kSoundFileReaderFlavor, "Sound file reader",
			"Plays any sound file as raw audio at its own rate",
			B_BUFFER_PRODUCER | B_FILE_INTERFACE, false, true);
		Flavor(kSoundFileWriterFlavor, "WAV writer", "Writes raw audio to a WAV file",
			B_BUFFER_CONSUMER | B_FILE_INTERFACE, true, false);
		Flavor(kToneGeneratorFlavor, "Tone generator", "A sine wave of a set frequency and level",
			B_BUFFER_PRODUCER | B_CONTROLLABLE, false, true);
		Flavor(kAudioInputFlavor, "Audio input",
			"The system's audio input, at the rate and format its consumer takes",
			B_BUFFER_PRODUCER | B_PHYSICAL_INPUT, false, true);
		Flavor(kAudioOutputFlavor, "Audio output", "The system's audio output",
			B_BUFFER_CONSUMER | B_PHYSICAL_OUTPUT, true, false);
	}

	status_t InitCheck(const char**) override { return B_OK; }
	int32 CountFlavors() override { return fCount; }

	status_t GetFlavorAt(int32 n, const flavor_info** outInfo) override
	{
		if (n < 0 || n >= fCount || outInfo == nullptr)
			return B_BAD_INDEX;
		*outInfo = &fFlavors[n];
		return B_OK;
	}

	BMediaNode* InstantiateNodeFor(const flavor_info* info, BMessage*,
		status_t* outError) override
	{
		status_t dummy;
		status_t& error = outError != nullptr ? *outError : dummy;
		error = B_OK;
		switch (info != nullptr ? info->internal_id : -1) {
			case kSoundFileReaderFlavor: return new SoundFileReaderNode(this);
			case kSoundFileWriterFlavor: return new SoundFileWriterNode(this);
			case kToneGeneratorFlavor: return new ToneGeneratorNode(440.0f, -6.0f, 44100.0f, 1, this);
			case kAudioInputFlavor: return make_default_input_node("device", &error);
			case kAudioOutputFlavor: return make_default_output_node(&error);
			default: error = B_BAD_INDEX; return nullptr;
		}
	}

	status_t SniffRef(const entry_ref& file, char* outMimeType, float* outQuality,
		int32* outInternalID) override
	{
		SoundFileReader probe;
		if (probe.Open(file.path) != B_OK)
			return B_MEDIA_NO_HANDLER;
		if (outMimeType != nullptr)
			std::snprintf(outMimeType, 256, "%s", probe.MimeType().c_str());
		*outQuality = 1.0f;
		*outInternalID = kSoundFileReaderFlavor;
		return B_OK;
	}

private:
	void Flavor(int32 id, const char* name, const char* info, uint64 kinds, bool input,
		bool output)
	{
		flavor_info& f = fFlavors[fCount++];
		f.name = name;
		f.info = info;
		f.kinds = kinds;
		f.internal_id = id;
		f.in_format_count = input ? 1 : 0;
		f.in_formats = input ? &fFormats[id] : nullptr;
		f.out_format_count = output ? 1 : 0;
		f.out_formats = output ? &fFormats[id] : nullptr;
	}

	flavor_info fFlavors[5];
	media_format fFormats[5];
	int32 fCount = 0;
};

PlatformAddOn* gPlatformAddOn = nullptr;

}  // namespace

BMediaAddOn* make_platform_addon()
{
	gPlatformAddOn = new PlatformAddOn;
	return gPlatformAddOn;
}

BMediaNode* make_default_input_node(const std::string& setting, status_t* outError)
{
	if (setting.rfind("tone:", 0) == 0) {
		float frequency = 440.0f, level = -6.0f;
		unsigned channels = 1;
		int n = std::sscanf(setting.c_str() + 5, "%f:%f:%u", &frequency, &level, &channels);
		if (n < 1 || !(frequency > 0 && frequency < 100000) || channels < 1 || channels > 32) {
			*outError = B_BAD_VALUE;
			return nullptr;
		}
		return new ToneGeneratorNode(frequency, level, 44100.0f, channels, gPlatformAddOn);
	}
	if (setting.rfind("file:", 0) == 0) {
		auto* reader = new SoundFileReaderNode(gPlatformAddOn, true);
		bigtime_t duration;
		status_t status = reader->SetRef(entry_ref(setting.c_str() + 5), false, &duration);
		if (status != B_OK) {
			reader->Release();
			*outError = status;
			return nullptr;
		}
		return reader;
	}
	auto* input = new AudioInputNode(gPlatformAddOn, kAudioInputFlavor);
	if (input->OpenDevice() != B_OK) {
		std::fprintf(stderr, "audio input: %s\n", input->ErrorText().c_str());
		*outError = input->InitCheck();
		input->Release();
		return nullptr;
	}
	return input;
}

BMediaNode* make_default_output_node(status_t* outError)
{
	auto* output = new AudioOutputNode(gPlatformAddOn, kAudioOutputFlavor);
	if (output->OpenDevice() != B_OK) {
		std::fprintf(stderr, "audio output: %s\n", output->ErrorText().c_str());
		*outError = output->InitCheck();
		output->Release();
		return nullptr;
	}
	return output;
}

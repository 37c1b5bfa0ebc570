// A media add-on for tests: one flavor, "Pass-through", a node that takes float audio,
// multiplies it by its "Gain" parameter (id 1, initially 1) and sends the same buffer on.
#include "media/BufferConsumer.h"
#include "media/BufferProducer.h"
#include "media/Buffer.h"
#include "media/Controllable.h"
#include "media/MediaAddOn.h"
#include "media/MediaEventLooper.h"
#include "media/ParameterWeb.h"

#include <atomic>
#include <cstdio>
#include <cstring>

namespace {

class PassThrough : public BBufferConsumer, public BBufferProducer, public BControllable,
					public BMediaEventLooper {
public:
	PassThrough(BMediaAddOn* addOn)
		: BMediaNode("Pass-through"), BBufferConsumer(B_MEDIA_RAW_AUDIO),
		  BBufferProducer(B_MEDIA_RAW_AUDIO), fAddOn(addOn)
	{
	}
	~PassThrough() override { Quit(); }

	BMediaAddOn* AddOn(int32* id) const override
	{
		*id = 0;
		return fAddOn;
	}

	void NodeRegistered() override
	{
		fInput.node = fOutput.node = Node();
		fInput.destination = media_destination(ControlPort(), 0);
		fOutput.source = media_source(ControlPort(), 0);
		fInput.format = fOutput.format = Wanted();
		std::strcpy(fInput.name, "in");
		std::strcpy(fOutput.name, "out");
		auto* web = new BParameterWeb;
		web->MakeGroup("Pass-through")->MakeContinuousParameter(1, B_MEDIA_RAW_AUDIO, "Gain",
			B_GAIN, "", 0.0f, 4.0f, 0.01f);
		SetParameterWeb(web);
		Run();
	}

	static media_format Wanted()
	{
		media_format format = media_format::RawAudioFormat();
		format.u.raw_audio.format = media_raw_audio_format::B_AUDIO_FLOAT;
		format.u.raw_audio.byte_order = B_MEDIA_HOST_ENDIAN;
		return format;
	}

	status_t HandleMessage(int32 code, const void* data, size_t size) override
	{
		if (BBufferConsumer::HandleMessage(code, data, size) == B_OK
			|| BBufferProducer::HandleMessage(code, data, size) == B_OK
			|| BControllable::HandleMessage(code, data, size) == B_OK)
			return B_OK;
		return BMediaNode::HandleMessage(code, data, size);
	}

	// Consumer.
	status_t AcceptFormat(const media_destination& where, media_format* format) override
	{
		if (!(where == fInput.destination))
			return B_MEDIA_BAD_DESTINATION;
		if (!format_is_compatible(*format, Wanted()))
			return B_MEDIA_BAD_FORMAT;
		specialize_format(format, Wanted());
		return B_OK;
	}
	status_t GetNextInput(int32* cookie, media_input* out) override
	{
		if (*cookie != 0)
			return B_BAD_INDEX;
		*out = fInput;
		++*cookie;
		return B_OK;
	}
	status_t Connected(const media_source& from, const media_destination& where,
		const media_format& format, media_input* out) override
	{
		if (!(where == fInput.destination) || !(fInput.source == media_source::null))
			return B_MEDIA_BAD_DESTINATION;
		fInput.source = from;
		fInput.format = format;
		*out = fInput;
		return B_OK;
	}
	void Disconnected(const media_source&, const media_destination&) override
	{
		fInput.source = media_source::null;
		fInput.format = Wanted();
	}
	void BufferReceived(BBuffer* buffer) override
	{
		if (RunState() != B_STARTED || fOutput.destination == media_destination::null) {
			buffer->Recycle();
			return;
		}
		float gain = fGain.load();
		auto* samples = static_cast<float*>(buffer->Data());
		size_t count = buffer->SizeUsed() / sizeof(float);
		for (size_t i = 0; i < count; i++)
			samples[i] *= gain;
		if (SendBuffer(buffer, fOutput.source, fOutput.destination) != B_OK)
			buffer->Recycle();
	}

	// Producer.
	status_t FormatProposal(const media_source& output, media_format* format) override
	{
		if (!(output == fOutput.source))
			return B_MEDIA_BAD_SOURCE;
		media_format mine = fInput.source == media_source::null ? Wanted() : fInput.format;
		if (!format_is_compatible(*format, mine))
			return B_MEDIA_BAD_FORMAT;
		specialize_format(format, mine);
		return B_OK;
	}
	status_t GetNextOutput(int32* cookie, media_output* out) override
	{
		if (*cookie != 0)
			return B_BAD_INDEX;
		*out = fOutput;
		++*cookie;
		return B_OK;
	}
	status_t PrepareToConnect(const media_source& what, const media_destination& where,
		media_format* format, media_source* outSource, char* outName) override
	{
		if (!(what == fOutput.source))
			return B_MEDIA_BAD_SOURCE;
		if (!(fOutput.destination == media_destination::null))
			return B_MEDIA_ALREADY_CONNECTED;
		status_t status = FormatProposal(what, format);
		if (status != B_OK)
			return status;
		*outSource = fOutput.source;
		std::strcpy(outName, fOutput.name);
		return B_OK;
	}
	void Connect(status_t error, const media_source&, const media_destination& destination,
		const media_format& format, char*) override
	{
		if (error != B_OK)
			return;
		fOutput.destination = destination;
		fOutput.format = format;
	}
	void Disconnect(const media_source&, const media_destination&) override
	{
		fOutput.destination = media_destination::null;
	}

	// Controllable.
	status_t GetParameterValue(int32 id, bigtime_t* when, void* value, size_t* size) override
	{
		if (id != 1)
			return B_BAD_INDEX;
		if (*size < sizeof(float))
			return B_NO_MEMORY;
		float gain = fGain.load();
		std::memcpy(value, &gain, sizeof(gain));
		*size = sizeof(gain);
		*when = 0;
		return B_OK;
	}
	void SetParameterValue(int32 id, bigtime_t, const void* value, size_t size) override
	{
		float gain;
		if (id != 1 || size < sizeof(gain))
			return;
		std::memcpy(&gain, value, sizeof(gain));
		fGain.store(gain);
		BroadcastNewParameterValue(0, id, &gain, sizeof(gain));
	}

	void HandleEvent(const media_timed_event*, bigtime_t, bool) override {}

private:
	BMediaAddOn* fAddOn;
	media_input fInput;
	media_output fOutput;
	std::atomic<float> fGain{1.0f};
};

class PassThroughAddOn : public BMediaAddOn {
public:
	explicit PassThroughAddOn(image_id image) : BMediaAddOn(image)
	{
		fFormat = PassThrough::Wanted();
		fFlavor.name = "Pass-through";
		fFlavor.info = "Multiplies float audio by a gain";
		fFlavor.kinds = B_BUFFER_PRODUCER | B_BUFFER_CONSUMER | B_CONTROLLABLE;
		fFlavor.internal_id = 0;
		fFlavor.in_format_count = 1;
		fFlavor.in_formats = &fFormat;
		fFlavor.out_format_count = 1;
		fFlavor.out_formats = &fFormat;
	}
	int32 CountFlavors() override { return 1; }
	status_t GetFlavorAt(int32 n, const flavor_info** out) override
	{
		if (n != 0)
			return B_BAD_INDEX;
		*out = &fFlavor;
		return B_OK;
	}
	BMediaNode* InstantiateNodeFor(const flavor_info*, BMessage*, status_t* error) override
	{
		*error = B_OK;
		return new PassThrough(this);
	}

private:
	media_format fFormat;
	flavor_info fFlavor;
};

}  // namespace

extern "C" BMediaAddOn* make_media_addon(image_id image)
{
	return new PassThroughAddOn(image);
}

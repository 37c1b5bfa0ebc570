// The effect node in a media graph: its connection points, format negotiation, processing
// in every sample format, mute, parameters and latency.
#include <gtest/gtest.h>

#include <cstring>

#include "NodeTestGraph.h"
#include "media/ParameterWeb.h"

namespace {

using Raw = media_raw_audio_format;

TEST_F(NodeGraph, ConnectionPointsAreNamedAfterTheNodeAndNumberedByChannel)
{
	VSTEffectNode* node = Effect("mono-stereo");
	media_input input;
	int32 cookie = 0;
	ASSERT_EQ(node->GetNextInput(&cookie, &input), B_OK);
	EXPECT_STREQ(input.name, "Test Mono Stereo Stereo Input");
	EXPECT_EQ(input.destination.id, 0);
	EXPECT_EQ(input.destination.port, node->ControlPort());
	EXPECT_EQ(cookie, 1);
	const Raw& stereo = input.format.u.raw_audio;
	EXPECT_EQ(stereo.format, Raw::B_AUDIO_FLOAT);
	EXPECT_EQ(stereo.channel_count, 2u);
	EXPECT_EQ(stereo.frame_rate, 0);   // nothing fixed yet
	EXPECT_EQ(stereo.buffer_size, 0u);
	EXPECT_EQ(stereo.byte_order, uint32(B_MEDIA_LITTLE_ENDIAN));
	EXPECT_EQ(stereo.channel_mask, 3u);
	ASSERT_EQ(node->GetNextInput(&cookie, &input), B_OK);
	EXPECT_STREQ(input.name, "Test Mono Stereo Mono Input");
	EXPECT_EQ(input.destination.id, 1);
	EXPECT_EQ(input.format.u.raw_audio.channel_count, 1u);
	EXPECT_EQ(input.format.u.raw_audio.channel_mask, 4u);
	EXPECT_EQ(cookie, 2);
	EXPECT_EQ(node->GetNextInput(&cookie, &input), B_BAD_INDEX);
	media_output output;
	cookie = 0;
	ASSERT_EQ(node->GetNextOutput(&cookie, &output), B_OK);
	EXPECT_STREQ(output.name, "Test Mono Stereo Stereo Output");
	EXPECT_EQ(node->GetNextOutput(&cookie, &output), B_BAD_INDEX);

	VSTEffectNode* splitter = Effect("splitter");
	media_input inputs[4];
	media_output outputs[4];
	int32 inputCount = 0, outputCount = 0;
	fRoster->GetFreeInputsFor(splitter->Node(), inputs, 4, &inputCount);
	fRoster->GetFreeOutputsFor(splitter->Node(), outputs, 4, &outputCount);
	ASSERT_EQ(inputCount, 1);
	ASSERT_EQ(outputCount, 1);
	EXPECT_STREQ(inputs[0].name, "Test Splitter Mono Input");
	EXPECT_STREQ(outputs[0].name, "Test Splitter Stereo Output");
	// A stereo plug-in that cannot do mono has one input.
	fRoster->GetFreeInputsFor(Effect("gain")->Node(), inputs, 4, &inputCount);
	EXPECT_EQ(inputCount, 1);
}

TEST_F(NodeGraph, NegotiationFillsWildcardsAndTheFirstConnectionFixesTheFormat)
{
	VSTEffectNode* node = Effect("gain");
	const media_destination in(node->ControlPort(), 0);
	const media_source out(node->ControlPort(), 0);
	media_format format = Format();
	ASSERT_EQ(node->AcceptFormat(in, &format), B_OK);
	EXPECT_EQ(format.u.raw_audio.format, Raw::B_AUDIO_FLOAT);
	EXPECT_EQ(format.u.raw_audio.channel_count, 2u);
	EXPECT_EQ(format.u.raw_audio.frame_rate, 44100);
	EXPECT_EQ(format.u.raw_audio.buffer_size, 512u * 4 * 2);

	format = Format(Raw::B_AUDIO_SHORT, 1);
	EXPECT_EQ(node->AcceptFormat(in, &format), B_MEDIA_BAD_FORMAT);  // a stereo input
	format = Format(Raw::B_AUDIO_CHAR, 2);
	EXPECT_EQ(node->AcceptFormat(in, &format), B_MEDIA_BAD_FORMAT);  // no conversion for it
	format = Format(Raw::B_AUDIO_SHORT, 2, 44100);
	format.u.raw_audio.buffer_size = 1001;  // not whole frames
	EXPECT_EQ(node->AcceptFormat(in, &format), B_MEDIA_BAD_FORMAT);
	format = media_format();
	format.type = B_MEDIA_ENCODED_AUDIO;
	EXPECT_EQ(node->AcceptFormat(in, &format), B_MEDIA_BAD_FORMAT);
	format = Format();
	EXPECT_EQ(node->AcceptFormat(media_destination(node->ControlPort(), 5), &format),
		B_MEDIA_BAD_DESTINATION);
	EXPECT_EQ(node->FormatProposal(media_source(node->ControlPort(), 3), &format),
		B_MEDIA_BAD_SOURCE);
	media_source source;
	char name[B_MEDIA_NAME_LENGTH];
	EXPECT_EQ(node->PrepareToConnect(out, media_destination(node->ControlPort(), 0), &format,
		&source, name), B_MEDIA_BAD_DESTINATION);  // not to itself

	// The first connection fixes rate and block size.
	auto* source48 = Register(new SignalSource(48000, 2, 4800));
	ASSERT_EQ(Connect(source48->Node(), node->Node(), Format(Raw::B_AUDIO_FLOAT, 2, 48000, 256)),
		B_OK);
	EXPECT_EQ(node->FrameRate(), 48000);
	EXPECT_EQ(node->BlockFrames(), 256u);
	format = Format();
	ASSERT_EQ(node->FormatProposal(out, &format), B_OK);
	EXPECT_EQ(format.u.raw_audio.frame_rate, 48000);
	EXPECT_EQ(format.u.raw_audio.buffer_size, 256u * 4 * 2);
	format = Format(Raw::B_AUDIO_FLOAT, 2, 44100);
	EXPECT_EQ(node->FormatProposal(out, &format), B_MEDIA_BAD_FORMAT);
	auto* collector = Register(new Collector(1 << 16));
	EXPECT_NE(Connect(node->Node(), collector->Node(), Format(Raw::B_AUDIO_FLOAT, 2, 44100)), B_OK);
	EXPECT_NE(Connect(node->Node(), collector->Node(), Format(Raw::B_AUDIO_FLOAT, 2, 48000, 512)),
		B_OK);
	ASSERT_EQ(Connect(node->Node(), collector->Node(), Format(Raw::B_AUDIO_SHORT, 2)), B_OK);

	// The last disconnection frees the format again.
	media_input inputs[1];
	media_output outputs[1];
	int32 count = 0;
	fRoster->GetConnectedInputsFor(node->Node(), inputs, 1, &count);
	ASSERT_EQ(count, 1);
	ASSERT_EQ(fRoster->Disconnect(source48->Node().node, inputs[0].source, node->Node().node,
		inputs[0].destination), B_OK);
	EXPECT_EQ(node->BlockFrames(), 256u);  // the output is still connected
	fRoster->GetConnectedOutputsFor(node->Node(), outputs, 1, &count);
	ASSERT_EQ(count, 1);
	ASSERT_EQ(fRoster->Disconnect(node->Node().node, outputs[0].source,
		collector->Node().node, outputs[0].destination), B_OK);
	EXPECT_EQ(node->BlockFrames(), 0u);
	EXPECT_EQ(node->FrameRate(), 0);
}

// Runs the test signal through the gain (halving) with the given sample formats on each
// side and returns what arrived, as float.
class Formats : public NodeGraph, public testing::WithParamInterface<std::pair<uint32, uint32>> {
};

TEST_P(Formats, TheSignalComesThroughConvertedBothWays)
{
	const uint32 inFormat = GetParam().first, outFormat = GetParam().second;
	const int64 frames = 44100 / 2 + 100;  // the last buffer is a short one
	VSTEffectNode* node = Effect("gain");
	float half = 0.25f;
	fRoster->SetParameterValue(node->Node(), 0, &half, sizeof(half), 0);
	auto* source = Register(new SignalSource(44100, 2, frames));
	auto* collector = Register(new Collector(size_t(frames) * 2 + 4096));
	ASSERT_EQ(Connect(source->Node(), node->Node(), Format(inFormat, 2, 44100, 512)), B_OK);
	ASSERT_EQ(Connect(node->Node(), collector->Node(), Format(outFormat, 2)), B_OK);
	ASSERT_TRUE(RunOffline({source->Node(), node->Node(), collector->Node()}, collector));

	std::vector<float> samples = collector->Samples();
	ASSERT_EQ(samples.size(), size_t(frames) * 2);
	// One step of the coarsest format on the way, each way.
	const float tolerance = (inFormat == Raw::B_AUDIO_UCHAR || outFormat == Raw::B_AUDIO_UCHAR)
		? 2.5f / 127 : 2.5f / 32767;
	for (int64 i = 0; i < frames; i += 97) {
		for (uint32 c = 0; c < 2; c++) {
			ASSERT_NEAR(samples[size_t(i * 2 + c)], 0.5f * TestSignal(i, c), tolerance)
				<< "frame " << i << " channel " << c;
		}
	}
	EXPECT_EQ(node->FramesProcessed(), frames);
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, Formats,
	testing::Values(std::make_pair(uint32(Raw::B_AUDIO_FLOAT), uint32(Raw::B_AUDIO_FLOAT)),
		std::make_pair(uint32(Raw::B_AUDIO_SHORT), uint32(Raw::B_AUDIO_INT)),
		std::make_pair(uint32(Raw::B_AUDIO_INT), uint32(Raw::B_AUDIO_UCHAR)),
		std::make_pair(uint32(Raw::B_AUDIO_UCHAR), uint32(Raw::B_AUDIO_SHORT))));

TEST_F(NodeGraph, AMonoProducerOnTheMonoAlternateFeedsBothPlugInInputs)
{
	VSTEffectNode* node = Effect("mono-stereo");
	auto* source = Register(new SignalSource(44100, 1, 4096));
	auto* collector = Register(new Collector(1 << 14));
	// Input 1 is the mono alternate of the stereo input.
	ASSERT_EQ(Connect(source->Node(), node->Node(), Format(Raw::B_AUDIO_FLOAT, 1, 44100, 512), 1),
		B_OK);
	// With the alternate taken, the stereo input takes no producer.
	auto* other = Register(new SignalSource(44100, 2, 16));
	EXPECT_NE(Connect(other->Node(), node->Node(), Format(Raw::B_AUDIO_FLOAT, 2, 44100, 512)),
		B_OK);
	ASSERT_EQ(Connect(node->Node(), collector->Node(), Format(Raw::B_AUDIO_FLOAT, 2)), B_OK);
	ASSERT_TRUE(RunOffline({source->Node(), node->Node(), collector->Node()}, collector));
	std::vector<float> samples = collector->Samples();
	ASSERT_EQ(samples.size(), 4096u * 2);
	// Each output is its input plus a quarter of the other: 1.25 × the mono signal.
	for (size_t i = 0; i < 4096; i += 31) {
		EXPECT_NEAR(samples[i * 2], 1.25f * TestSignal(int64(i), 0), 1e-6f) << i;
		EXPECT_NEAR(samples[i * 2 + 1], 1.25f * TestSignal(int64(i), 0), 1e-6f) << i;
	}
}

TEST_F(NodeGraph, AMutedNodeSendsNothingButTheEndOfTheStream)
{
	VSTEffectNode* node = Effect("gain");
	const int32 on = 1;
	fRoster->SetParameterValue(node->Node(), 2, &on, sizeof(on), 0);  // 1 parameter, bypass, mute
	auto* source = Register(new SignalSource(44100, 2, 8192));
	auto* collector = Register(new Collector(1 << 15));
	ASSERT_EQ(Connect(source->Node(), node->Node(), Format(Raw::B_AUDIO_FLOAT, 2, 44100, 512)),
		B_OK);
	ASSERT_EQ(Connect(node->Node(), collector->Node(), Format(Raw::B_AUDIO_FLOAT, 2)), B_OK);
	ASSERT_TRUE(RunOffline({source->Node(), node->Node(), collector->Node()}, collector));
	EXPECT_EQ(collector->Buffers(), 0u);
	EXPECT_EQ(node->BuffersSent(), 0);
	int32 muted = 0;
	size_t size = sizeof(muted);
	bigtime_t when;
	ASSERT_EQ(fRoster->GetParameterValue(node->Node(), 2, &muted, &size, &when), B_OK);
	EXPECT_EQ(muted, 1);
	EXPECT_EQ(size, 4u);
}

TEST_F(NodeGraph, ParametersArePublishedAndSetThroughTheRoster)
{
	VSTEffectNode* node = Effect("switch");
	BParameterWeb* web = nullptr;
	ASSERT_EQ(fRoster->GetParameterWebFor(node->Node(), &web), B_OK);
	std::unique_ptr<BParameterWeb> owned(web);
	ASSERT_EQ(web->CountGroups(), 1);
	BParameterGroup* top = web->GroupAt(0);
	EXPECT_STREQ(top->Name(), "Test Switch");
	ASSERT_EQ(top->CountGroups(), 2);
	BParameterGroup* master = top->GroupAt(0);
	EXPECT_STREQ(master->Name(), "Master");
	ASSERT_EQ(master->CountParameters(), 2);
	EXPECT_STREQ(master->ParameterAt(0)->Name(), "Bypass");
	EXPECT_EQ(master->ParameterAt(0)->ID(), 5);
	EXPECT_STREQ(master->ParameterAt(0)->Kind(), B_MUTE);
	EXPECT_EQ(master->ParameterAt(0)->Type(), B_DISCRETE_PARAMETER);
	EXPECT_EQ(master->ParameterAt(1)->ID(), 6);
	BParameterGroup* own = top->GroupAt(1);
	EXPECT_STREQ(own->Name(), "Test Switch");
	ASSERT_EQ(own->CountParameters(), 5);
	auto* mode = dynamic_cast<BDiscreteParameter*>(web->ParameterWithID(0));
	ASSERT_NE(mode, nullptr);
	ASSERT_EQ(mode->CountItems(), 3);
	EXPECT_STREQ(mode->ItemNameAt(2), "Full");
	EXPECT_EQ(mode->ItemValueAt(2), 2);
	auto* level = dynamic_cast<BContinuousParameter*>(web->ParameterWithID(1));
	ASSERT_NE(level, nullptr);
	EXPECT_STREQ(level->Name(), "Level");
	EXPECT_STREQ(level->Unit(), "dB");
	EXPECT_EQ(level->MinValue(), -12);
	EXPECT_EQ(level->MaxValue(), 12);
	EXPECT_STREQ(web->ParameterWithID(3)->Name(), "Untitled Parameter 3");

	float six = 6;
	ASSERT_EQ(fRoster->SetParameterValue(node->Node(), 1, &six, sizeof(six), 0), B_OK);
	float value = 0;
	size_t size = sizeof(value);
	bigtime_t when;
	// The change is queued on the node's thread; reading goes there too, after it.
	for (int tries = 0; tries < 100 && value != 6; tries++) {
		size = sizeof(value);
		fRoster->GetParameterValue(node->Node(), 1, &value, &size, &when);
		if (value != 6)
			snooze(10000);
	}
	EXPECT_EQ(value, 6);
	EXPECT_EQ(size, sizeof(float));
	size = sizeof(value);
	EXPECT_EQ(fRoster->GetParameterValue(node->Node(), 7, &value, &size, &when), B_BAD_INDEX);
	EXPECT_EQ(fRoster->StartControlPanel(node->Node()), B_UNSUPPORTED);
}

TEST_F(NodeGraph, LatencyIsMeasuredWhenTheFormatIsFixed)
{
	VSTEffectNode* node = Effect("gain");
	EXPECT_EQ(node->ProcessingLatency(), 0);
	auto* source = Register(new SignalSource(44100, 2, 16));
	ASSERT_EQ(Connect(source->Node(), node->Node(), Format(Raw::B_AUDIO_SHORT, 2, 44100, 4096)),
		B_OK);
	// One conversion of a block and one process call, each timed.
	EXPECT_GT(node->ProcessingLatency(), 0);
	bigtime_t latency = 0;
	ASSERT_EQ(fRoster->GetLatencyFor(node->Node(), &latency), B_OK);
	EXPECT_GE(latency, bigtime_t(double(node->ProcessingLatency()) * 1.1));
}

}  // namespace

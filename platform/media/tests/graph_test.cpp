// The media graph in one process: formats, buffers, connection, timing, files, add-ons and
// bad input, through the roster as programs use it.
#include "MediaTestNodes.h"

#include "app/Looper.h"
#include "app/Message.h"
#include "app/Messenger.h"
#include "kernel/OS.h"
#include "media/Controllable.h"
#include "media/Buffer.h"
#include "media/MediaAddOn.h"
#include "media/ParameterWeb.h"
#include "media/PlatformNodes.h"
#include "media/TimeSource.h"
#include "testing/ScratchDir.h"

#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <fstream>

namespace {

constexpr double kPi = 3.141592653589793;

media_raw_audio_format Raw(float rate, uint32 channels, uint32 format, size_t size = 0)
{
	media_raw_audio_format raw{};
	raw.frame_rate = rate;
	raw.channel_count = channels;
	raw.format = format;
	raw.buffer_size = size;
	return raw;
}

TEST(MediaFormats, WildcardsMatchAndSpecialize)
{
	media_format any = media_format::RawAudioFormat();
	media_format cd = media_format::RawAudioFormat(
		Raw(44100, 2, media_raw_audio_format::B_AUDIO_SHORT, 4096));
	media_format dat = media_format::RawAudioFormat(Raw(48000, 2, 0));
	EXPECT_TRUE(format_is_compatible(any, cd));
	EXPECT_TRUE(format_is_compatible(cd, any));
	EXPECT_FALSE(format_is_compatible(cd, dat));   // 44100 against 48000
	media_format midi;
	midi.type = B_MEDIA_MIDI;
	EXPECT_FALSE(format_is_compatible(cd, midi));

	specialize_format(&dat, cd);
	EXPECT_EQ(dat.u.raw_audio.frame_rate, 48000.0f);   // fixed fields stay
	EXPECT_EQ(dat.u.raw_audio.format, uint32(media_raw_audio_format::B_AUDIO_SHORT));
	EXPECT_EQ(dat.u.raw_audio.buffer_size, 4096u);
	EXPECT_FALSE(any.IsFullySpecified());

	char text[160];
	string_for_format(cd, text, sizeof(text));
	EXPECT_STREQ(text, "raw audio 44100 Hz, 2 ch, int16, any byte order, 4096 bytes");
}

TEST(MediaBuffers, GroupLendsWaitsAndTakesBack)
{
	BBufferGroup group(1024, 2);
	ASSERT_EQ(group.InitCheck(), B_OK);
	BBuffer* a = group.RequestBuffer(1024, 0);
	BBuffer* b = group.RequestBuffer(512, 0);
	ASSERT_NE(a, nullptr);
	ASSERT_NE(b, nullptr);
	EXPECT_NE(a->ID(), b->ID());
	status_t status;
	EXPECT_EQ(group.RequestBuffer(1024, 0, &status), nullptr);
	EXPECT_EQ(status, B_WOULD_BLOCK);
	EXPECT_EQ(group.RequestBuffer(1024, 20000, &status), nullptr);
	EXPECT_EQ(status, B_TIMED_OUT);
	EXPECT_EQ(group.RequestBuffer(4096, 0, &status), nullptr);
	EXPECT_EQ(status, B_MEDIA_BAD_BUFFER);

	// A buffer recycled on another thread wakes a waiting request.
	a->SetSizeUsed(5000);
	EXPECT_EQ(a->SizeUsed(), 1024u);   // never more than it holds
	thread_id recycler = spawn_thread([](void* buffer) -> status_t {
		snooze(20000);
		static_cast<BBuffer*>(buffer)->Recycle();
		return B_OK;
	}, "recycler", B_NORMAL_PRIORITY, a);
	resume_thread(recycler);
	BBuffer* again = group.RequestBuffer(1024, 5000000);
	EXPECT_EQ(again, a);
	EXPECT_EQ(again->SizeUsed(), 0u);   // the header starts clean
	status_t exitValue;
	wait_for_thread(recycler, &exitValue);
	again->Recycle();
	again->Recycle();   // a second recycle is ignored
	b->Recycle();
	EXPECT_EQ(group.CountFree(), 2);
	EXPECT_EQ(group.WaitForBuffers(0), B_OK);
}

class MediaGraph : public testing::Test {
protected:
	BMediaRoster* roster = BMediaRoster::Roster();
};

TEST_F(MediaGraph, ToneReachesAConsumerAtItsLevelFrequencyAndTimes)
{
	auto* tone = new ToneGeneratorNode(441.0f, -6.0f, 44100.0f, 1);
	auto* collector = new CollectingConsumer(44100);
	ASSERT_EQ(roster->RegisterNode(tone), B_OK);
	ASSERT_EQ(roster->RegisterNode(collector), B_OK);
	EXPECT_GT(tone->ID(), 0);
	EXPECT_EQ(roster->RegisterNode(tone), B_MEDIA_NODE_ALREADY_EXISTS);

	media_format format = media_format::RawAudioFormat();
	format.u.raw_audio.format = media_raw_audio_format::B_AUDIO_SHORT;
	media_output output;
	media_input input;
	ASSERT_EQ(ConnectNodes(tone->Node(), collector->Node(), &format, &output, &input), B_OK);
	// Negotiated: the tone's rate and channels, the asked sample format, 512 frames.
	EXPECT_EQ(format.u.raw_audio.frame_rate, 44100.0f);
	EXPECT_EQ(format.u.raw_audio.channel_count, 1u);
	EXPECT_EQ(format.u.raw_audio.buffer_size, 1024u);
	EXPECT_TRUE(format.IsFullySpecified());
	EXPECT_EQ(output.destination, input.destination);
	EXPECT_EQ(input.source, output.source);

	int32 count = 0;
	media_input free;
	EXPECT_EQ(roster->GetFreeInputsFor(collector->Node(), &free, 1, &count), B_OK);
	EXPECT_EQ(count, 0);
	EXPECT_EQ(roster->GetConnectedInputsFor(collector->Node(), &free, 1, &count), B_OK);
	EXPECT_EQ(count, 1);

	bigtime_t start = tone->TimeSource()->Now() + 20000;
	ASSERT_EQ(roster->StartNode(collector->Node(), start), B_OK);
	ASSERT_EQ(roster->StartNode(tone->Node(), start), B_OK);
	ASSERT_TRUE(collector->WaitForSamples(22050));
	ASSERT_EQ(roster->StopNode(tone->Node(), 0, true), B_OK);

	std::vector<float> got = collector->Samples();
	got.resize(22050);
	EXPECT_NEAR(SignalFrequency(got, 44100), 441.0, 1.0);
	EXPECT_NEAR(SignalPeak(got), std::pow(10.0, -6.0 / 20), 0.002);
	// Buffers carry the performance time of their first frame: 512 frames apart.
	std::vector<bigtime_t> times = collector->StartTimes();
	ASSERT_GE(times.size(), 3u);
	EXPECT_EQ(times[0], start);
	EXPECT_NEAR(double(times[2] - times[1]), 512 * 1e6 / 44100, 1.0);

	ASSERT_EQ(roster->Disconnect(output, input), B_OK);
	EXPECT_EQ(roster->Disconnect(output, input), B_MEDIA_NOT_CONNECTED);
	EXPECT_EQ(roster->GetFreeInputsFor(collector->Node(), &free, 1, &count), B_OK);
	EXPECT_EQ(count, 1);
	media_node gone = tone->Node();
	tone->Release();
	collector->Release();
	media_node lookedUp;
	EXPECT_EQ(roster->GetNodeFor(gone.node, &lookedUp), B_MEDIA_BAD_NODE);
}

TEST_F(MediaGraph, ReaderFeedsWriterOfflineAndTheWaveEqualsTheSource)
{
	ScratchDir scratch("media-graph");
	ASSERT_TRUE(scratch.Valid());
	// The source: 1.5 s of a stereo 16-bit chirp at 22050 Hz, written by libsndfile.
	std::vector<int16> source(33075 * 2);
	for (size_t i = 0; i < source.size() / 2; i++) {
		double t = double(i) / 22050;
		source[2 * i] = int16(12000 * std::sin(2 * kPi * (200 + 400 * t) * t));
		source[2 * i + 1] = int16(i % 65536 - 32768);
	}
	SF_INFO info{};
	info.samplerate = 22050;
	info.channels = 2;
	info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
	SNDFILE* file = sf_open(scratch.File("in.wav").c_str(), SFM_WRITE, &info);
	ASSERT_NE(file, nullptr);
	sf_writef_short(file, source.data(), 33075);
	sf_close(file);

	dormant_node_info dormant;
	char mime[256];
	ASSERT_EQ(roster->SniffRef(entry_ref(scratch.File("in.wav").c_str()), B_BUFFER_PRODUCER,
		&dormant, mime), B_OK);
	EXPECT_STREQ(mime, "audio/x-wav");
	media_node reader;
	ASSERT_EQ(roster->InstantiateDormantNode(dormant, &reader), B_OK);
	bigtime_t duration = 0;
	ASSERT_EQ(roster->SetRefFor(reader, entry_ref(scratch.File("in.wav").c_str()), false,
		&duration), B_OK);
	EXPECT_EQ(duration, 1500000);
	// The free output lists the file's format, not the one the node had when registered.
	media_output listed;
	int32 count = 0;
	ASSERT_EQ(roster->GetFreeOutputsFor(reader, &listed, 1, &count), B_OK);
	ASSERT_EQ(count, 1);
	EXPECT_EQ(listed.format.u.raw_audio.frame_rate, 22050.0f);
	EXPECT_EQ(listed.format.u.raw_audio.channel_count, 2u);

	auto* writer = new SoundFileWriterNode;
	ASSERT_EQ(roster->RegisterNode(writer), B_OK);
	ASSERT_EQ(roster->SetRefFor(writer->Node(), entry_ref(scratch.File("out.wav").c_str()),
		true, nullptr), B_OK);
	media_format format = media_format::RawAudioFormat();
	ASSERT_EQ(ConnectNodes(reader, writer->Node(), &format), B_OK);
	EXPECT_EQ(format.u.raw_audio.frame_rate, 22050.0f);
	EXPECT_EQ(format.u.raw_audio.format, uint32(media_raw_audio_format::B_AUDIO_FLOAT));

	ASSERT_EQ(roster->SetRunModeFor(reader, B_OFFLINE), B_OK);
	ASSERT_EQ(roster->SetRunModeFor(writer->Node(), B_OFFLINE), B_OK);
	ASSERT_EQ(roster->StartNode(writer->Node(), 0), B_OK);
	ASSERT_EQ(roster->StartNode(reader, 0), B_OK);
	ASSERT_EQ(writer->WaitForCommit(20000000), B_OK);

	file = sf_open(scratch.File("out.wav").c_str(), SFM_READ, &info);
	ASSERT_NE(file, nullptr);
	EXPECT_EQ(info.samplerate, 22050);
	EXPECT_EQ(info.channels, 2);
	EXPECT_EQ(info.frames, 33075);
	std::vector<int16> back(source.size() + 2);
	EXPECT_EQ(sf_readf_short(file, back.data(), 33076), 33075);
	sf_close(file);
	back.resize(source.size());
	EXPECT_EQ(back, source);

	roster->ReleaseNode(reader);
	writer->Release();
}

TEST_F(MediaGraph, RefusesWhatCannotBeConnectedOrFound)
{
	auto* tone = new ToneGeneratorNode(1000.0f, -12.0f, 44100.0f, 2);
	auto* first = new CollectingConsumer(1024, "first");
	auto* picky = new CollectingConsumer(1024, "picky");
	picky->Accept(Raw(48000, 0, 0));
	for (BMediaNode* node : {static_cast<BMediaNode*>(tone), static_cast<BMediaNode*>(first),
			 static_cast<BMediaNode*>(picky)})
		ASSERT_EQ(roster->RegisterNode(node), B_OK);

	media_format format = media_format::RawAudioFormat();
	EXPECT_EQ(ConnectNodes(tone->Node(), picky->Node(), &format), B_MEDIA_BAD_FORMAT);
	format = media_format::RawAudioFormat(Raw(22050, 0, 0));
	EXPECT_EQ(ConnectNodes(tone->Node(), first->Node(), &format), B_MEDIA_BAD_FORMAT);
	format = media_format::RawAudioFormat(Raw(0, 0, media_raw_audio_format::B_AUDIO_DOUBLE));
	EXPECT_EQ(ConnectNodes(tone->Node(), first->Node(), &format), B_MEDIA_BAD_FORMAT);

	// After refusals the output is still free and connects; a second connection to the
	// occupied input is refused.
	format = media_format::RawAudioFormat();
	media_input input;
	ASSERT_EQ(ConnectNodes(tone->Node(), first->Node(), &format, nullptr, &input), B_OK);
	auto* tone2 = new ToneGeneratorNode(500.0f, -12.0f);
	ASSERT_EQ(roster->RegisterNode(tone2), B_OK);
	media_output output2;
	int32 count = 0;
	ASSERT_EQ(roster->GetFreeOutputsFor(tone2->Node(), &output2, 1, &count), B_OK);
	format = media_format::RawAudioFormat();
	EXPECT_EQ(roster->Connect(output2.source, input.destination, &format, nullptr, nullptr),
		B_MEDIA_BAD_DESTINATION);

	// Unknown nodes, ids and points.
	media_node unknown;
	unknown.node = 999999;
	EXPECT_EQ(roster->GetNodeFor(999999, &unknown), B_MEDIA_BAD_NODE);
	EXPECT_EQ(roster->StartNode(unknown, 0), B_MEDIA_BAD_NODE);
	EXPECT_EQ(roster->ReleaseNode(unknown), B_MEDIA_BAD_NODE);
	EXPECT_EQ(roster->GetFreeInputsFor(unknown, &input, 1, &count), B_MEDIA_BAD_NODE);
	EXPECT_EQ(roster->GetFreeInputsFor(tone->Node(), &input, 1, &count), B_MEDIA_BAD_NODE);
	EXPECT_EQ(roster->Connect(media_source(-5, 0), input.destination, &format, nullptr,
		nullptr), B_MEDIA_BAD_SOURCE);
	EXPECT_EQ(roster->Connect(output2.source, media_destination(-5, 0), &format, nullptr,
		nullptr), B_MEDIA_BAD_DESTINATION);
	EXPECT_EQ(roster->SetRefFor(tone->Node(), entry_ref("/nonexistent"), false, nullptr),
		B_MEDIA_BAD_NODE);

	// Releasing a connected node disconnects it: the input is free again.
	tone->Release();
	EXPECT_EQ(roster->GetFreeInputsFor(first->Node(), &input, 1, &count), B_OK);
	EXPECT_EQ(count, 1);
	tone2->Release();
	first->Release();
	picky->Release();
}

TEST_F(MediaGraph, FilesNoReaderTakesAndAddOnsThatAreNot)
{
	ScratchDir scratch("media-graph");
	ASSERT_TRUE(scratch.Valid());
	std::ofstream(scratch.File("notes.txt")) << "not a sound at all, just some words here\n";
	dormant_node_info dormant;
	EXPECT_EQ(roster->SniffRef(entry_ref(scratch.File("notes.txt").c_str()), 0, &dormant),
		B_MEDIA_NO_HANDLER);
	EXPECT_EQ(roster->SniffRef(entry_ref(scratch.File("missing.wav").c_str()), 0, &dormant),
		B_MEDIA_NO_HANDLER);

	auto* reader = new SoundFileReaderNode;
	ASSERT_EQ(roster->RegisterNode(reader), B_OK);
	EXPECT_EQ(roster->SetRefFor(reader->Node(), entry_ref(scratch.File("notes.txt").c_str()),
		false, nullptr), B_MEDIA_NO_HANDLER);
	reader->Release();

	media_addon_id id;
	EXPECT_EQ(roster->LoadAddOn(scratch.File("missing.so").c_str(), &id), B_ENTRY_NOT_FOUND);
	EXPECT_EQ(roster->LoadAddOn(scratch.File("notes.txt").c_str(), &id), B_NOT_AN_EXECUTABLE);
	EXPECT_NE(std::string(roster->LastAddOnError()).find("notes.txt"), std::string::npos);
	EXPECT_EQ(roster->LoadAddOn(MEDIA_TEST_PLAIN_LIBRARY, &id), B_MISSING_SYMBOL);
	EXPECT_NE(std::string(roster->LastAddOnError()).find("make_media_addon"),
		std::string::npos);
}

TEST_F(MediaGraph, AnAddOnFileOffersFlavorsAndMakesWorkingNodes)
{
	media_addon_id id;
	ASSERT_EQ(roster->LoadAddOn(MEDIA_TEST_ADDON, &id), B_OK) << roster->LastAddOnError();
	BMediaAddOn* addOn = roster->AddOnFor(id);
	ASSERT_NE(addOn, nullptr);
	ASSERT_EQ(addOn->CountFlavors(), 1);
	const flavor_info* flavor = nullptr;
	ASSERT_EQ(addOn->GetFlavorAt(0, &flavor), B_OK);
	EXPECT_STREQ(flavor->name, "Pass-through");
	EXPECT_EQ(flavor->kinds, uint64(B_BUFFER_PRODUCER | B_BUFFER_CONSUMER | B_CONTROLLABLE));
	EXPECT_EQ(addOn->GetFlavorAt(1, &flavor), B_BAD_INDEX);

	dormant_node_info dormant;
	dormant.addon = id;
	dormant.flavor_id = 0;
	media_node through;
	ASSERT_EQ(roster->InstantiateDormantNode(dormant, &through), B_OK);

	// tone -> pass-through (gain 0.5) -> collector.
	auto* tone = new ToneGeneratorNode(882.0f, 0.0f);
	auto* collector = new CollectingConsumer(8192);
	ASSERT_EQ(roster->RegisterNode(tone), B_OK);
	ASSERT_EQ(roster->RegisterNode(collector), B_OK);
	media_format format = media_format::RawAudioFormat();
	ASSERT_EQ(ConnectNodes(tone->Node(), through, &format), B_OK);
	format = media_format::RawAudioFormat();
	ASSERT_EQ(ConnectNodes(through, collector->Node(), &format), B_OK);

	BParameterWeb* web = nullptr;
	ASSERT_EQ(roster->GetParameterWebFor(through, &web), B_OK);
	ASSERT_EQ(web->CountParameters(), 1);
	BParameter* gain = web->ParameterAt(0);
	EXPECT_STREQ(gain->Name(), "Gain");
	float half = 0.5f;
	ASSERT_EQ(gain->SetValue(&half, sizeof(half), 0), B_OK);
	float value = 0;
	size_t size = sizeof(value);
	ASSERT_EQ(gain->GetValue(&value, &size, nullptr), B_OK);
	EXPECT_EQ(value, 0.5f);
	delete web;

	bigtime_t start = system_time_source()->Now() + 10000;
	roster->StartNode(collector->Node(), start);
	roster->StartNode(through, start);
	roster->StartNode(tone->Node(), start);
	ASSERT_TRUE(collector->WaitForSamples(8192));
	roster->StopNode(tone->Node(), 0, true);
	std::vector<float> got = collector->Samples();
	EXPECT_NEAR(SignalPeak(got), 0.5, 0.001);
	EXPECT_NEAR(SignalFrequency(got, 44100), 882.0, 3.0);

	tone->Release();
	roster->ReleaseNode(through);
	collector->Release();
}

// Collects the parameter changes the roster tells it about.
class ParameterWatcher : public BLooper {
public:
	ParameterWatcher() : BLooper("watcher") {}
	void MessageReceived(BMessage* message) override
	{
		if (message->what != B_MEDIA_NEW_PARAMETER_VALUE) {
			BLooper::MessageReceived(message);
			return;
		}
		std::lock_guard<std::mutex> guard(fLock);
		int32 id = 0;
		const void* data = nullptr;
		ssize_t size = 0;
		message->FindInt32("parameter", &id);
		if (message->FindData("value", B_RAW_TYPE, &data, &size) == B_OK && size == 4)
			std::memcpy(&fValue, data, 4);
		fParameter = id;
		fChanged.notify_all();
	}
	// The value of the first change of parameter id (NAN after 20 s without one).
	float WaitFor(int32 id)
	{
		std::unique_lock<std::mutex> guard(fLock);
		if (!fChanged.wait_for(guard, std::chrono::seconds(20), [&] { return fParameter == id; }))
			return NAN;
		return fValue;
	}

private:
	std::mutex fLock;
	std::condition_variable fChanged;
	int32 fParameter = -1;
	float fValue = 0;
};

TEST_F(MediaGraph, ParametersChangeOnTheNodesThreadAndWatchersHearOfIt)
{
	auto* tone = new ToneGeneratorNode(440.0f, -6.0f);
	ASSERT_EQ(roster->RegisterNode(tone), B_OK);
	auto* watcher = new ParameterWatcher;
	watcher->Run();
	ASSERT_EQ(roster->StartWatching(BMessenger(watcher), tone->Node(),
		B_MEDIA_NEW_PARAMETER_VALUE), B_OK);

	BParameterWeb* web = nullptr;
	ASSERT_EQ(roster->GetParameterWebFor(tone->Node(), &web), B_OK);
	ASSERT_EQ(web->CountParameters(), 2);
	auto* frequency = static_cast<BContinuousParameter*>(web->ParameterWithID(1));
	ASSERT_NE(frequency, nullptr);
	EXPECT_EQ(frequency->Type(), B_CONTINUOUS_PARAMETER);
	EXPECT_STREQ(frequency->Unit(), "Hz");
	EXPECT_EQ(frequency->MaxValue(), 20000.0f);
	EXPECT_EQ(web->Node(), tone->Node());
	float hz = 1000.0f;
	ASSERT_EQ(frequency->SetValue(&hz, sizeof(hz), 0), B_OK);
	EXPECT_EQ(watcher->WaitFor(1), 1000.0f);
	float got = 0;
	size_t size = sizeof(got);
	ASSERT_EQ(frequency->GetValue(&got, &size, nullptr), B_OK);
	EXPECT_EQ(got, 1000.0f);
	size = 2;
	EXPECT_EQ(roster->GetParameterValue(tone->Node(), 1, &got, &size, nullptr), B_NO_MEMORY);
	size = sizeof(got);
	EXPECT_EQ(roster->GetParameterValue(tone->Node(), 77, &got, &size, nullptr), B_BAD_INDEX);

	EXPECT_EQ(roster->StopWatching(BMessenger(watcher), tone->Node(),
		B_MEDIA_NEW_PARAMETER_VALUE), B_OK);
	delete web;
	tone->Release();
	if (watcher->Lock())
		watcher->Quit();
}

TEST_F(MediaGraph, TheDefaultInputCanBeAToneGenerator)
{
	setenv("SUITE_AUDIO_INPUT", "tone:300:-20:2", 1);
	media_node input;
	ASSERT_EQ(roster->GetAudioInput(&input), B_OK);
	live_node_info info;
	ASSERT_EQ(roster->GetLiveNodeInfo(input, &info), B_OK);
	EXPECT_STREQ(info.name, "Tone generator");
	auto* collector = new CollectingConsumer(8192);
	ASSERT_EQ(roster->RegisterNode(collector), B_OK);
	media_format format = media_format::RawAudioFormat();
	ASSERT_EQ(ConnectNodes(input, collector->Node(), &format), B_OK);
	EXPECT_EQ(format.u.raw_audio.channel_count, 2u);
	bigtime_t start = system_time_source()->Now() + 10000;
	roster->StartNode(collector->Node(), start);
	roster->StartNode(input, start);
	ASSERT_TRUE(collector->WaitForSamples(8192));
	roster->StopNode(input, 0, true);
	std::vector<float> got = collector->Samples();
	EXPECT_NEAR(SignalPeak(got), 0.1, 0.001);
	collector->Release();
	roster->ReleaseNode(input);
	unsetenv("SUITE_AUDIO_INPUT");
}

}  // namespace

#include "SoundConsumer.h"
#include "media/Buffer.h"
#include "media/MediaRoster.h"
#include "media/PlatformNodes.h"
#include "media/TimeSource.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <cmath>
#include <cstdarg>
#include <mutex>
#include <vector>

namespace {

// What the hooks saw, for the test thread to wait on.
struct HookLog {
	std::mutex lock;
	std::condition_variable changed;
	std::vector<int32> codes;
	std::vector<bigtime_t> timeouts;
	std::vector<bigtime_t> stamps;
	std::vector<int16> samples;
	std::string inputName;
	media_raw_audio_format format{};
	int32 buffers = 0;

	template <class Condition>
	bool WaitFor(Condition condition, bigtime_t timeout = 10000000)
	{
		std::unique_lock<std::mutex> guard(lock);
		return changed.wait_for(guard, std::chrono::microseconds(timeout),
			[&] { return condition(); });
	}
};

void Record(void* cookie, bigtime_t timestamp, void* data, size_t size,
	const media_raw_audio_format& format)
{
	auto* log = static_cast<HookLog*>(cookie);
	std::lock_guard<std::mutex> guard(log->lock);
	log->format = format;
	log->stamps.push_back(timestamp);
	const int16* samples = static_cast<const int16*>(data);
	log->samples.insert(log->samples.end(), samples, samples + size / sizeof(int16));
	log->buffers++;
	log->changed.notify_all();
}

void Notify(void* cookie, int32 code, ...)
{
	auto* log = static_cast<HookLog*>(cookie);
	std::lock_guard<std::mutex> guard(log->lock);
	log->codes.push_back(code);
	va_list args;
	va_start(args, code);
	if (code == SoundConsumer::kTimedOut)
		log->timeouts.push_back(va_arg(args, bigtime_t));
	else if (code == SoundConsumer::kConnectionMade)
		log->inputName = va_arg(args, const char*);
	va_end(args);
	log->changed.notify_all();
}

bool Saw(HookLog& log, int32 code)
{
	return std::find(log.codes.begin(), log.codes.end(), code) != log.codes.end();
}

// Registers both nodes and connects the producer's output to the consumer in 16-bit frames.
void ConnectInShorts(BMediaNode* producer, SoundConsumer* consumer)
{
	BMediaRoster* roster = BMediaRoster::Roster();
	ASSERT_EQ(roster->RegisterNode(producer), B_OK);
	ASSERT_EQ(roster->RegisterNode(consumer), B_OK);
	media_output output;
	media_input input;
	int32 count = 0;
	ASSERT_EQ(roster->GetFreeOutputsFor(producer->Node(), &output, 1, &count,
		B_MEDIA_RAW_AUDIO), B_OK);
	ASSERT_EQ(roster->GetFreeInputsFor(consumer->Node(), &input, 1, &count, B_MEDIA_RAW_AUDIO),
		B_OK);
	media_format format = media_format::RawAudioFormat(output.format.u.raw_audio);
	format.u.raw_audio.format = media_raw_audio_format::B_AUDIO_SHORT;
	ASSERT_EQ(roster->Connect(output.source, input.destination, &format, &output, &input), B_OK);
}

TEST(SoundConsumer, OffersOneInputAndTakesRawAudioOnly)
{
	SoundConsumer* consumer = new SoundConsumer("Rules");
	media_input input;
	int32 cookie = 0;
	ASSERT_EQ(consumer->GetNextInput(&cookie, &input), B_OK);
	EXPECT_STREQ(input.name, "Rules Input");
	EXPECT_EQ(input.destination.id, 1);
	EXPECT_EQ(input.destination.port, consumer->ControlPort());
	EXPECT_EQ(input.format, media_format::RawAudioFormat());
	EXPECT_EQ(consumer->GetNextInput(&cookie, &input), B_BAD_INDEX);

	media_format format;   // a wildcard type
	EXPECT_EQ(consumer->AcceptFormat(input.destination, &format), B_OK);
	EXPECT_EQ(format.type, B_MEDIA_RAW_AUDIO);
	format.type = B_MEDIA_MIDI;
	EXPECT_EQ(consumer->AcceptFormat(input.destination, &format), B_MEDIA_BAD_FORMAT);
	EXPECT_EQ(format, media_format::RawAudioFormat());
	EXPECT_EQ(consumer->AcceptFormat(media_destination(input.destination.port, 2), &format),
		B_MEDIA_BAD_DESTINATION);

	media_raw_audio_format raw{};
	raw.frame_rate = 44100;
	raw.channel_count = 2;
	raw.format = media_raw_audio_format::B_AUDIO_SHORT;
	raw.byte_order = B_MEDIA_HOST_ENDIAN;
	raw.buffer_size = 2048;
	media_format shorts = media_format::RawAudioFormat(raw);
	media_source producer(12345, 0);
	media_input connected;
	ASSERT_EQ(consumer->Connected(producer, input.destination, shorts, &connected), B_OK);
	EXPECT_EQ(connected.format, shorts);
	EXPECT_EQ(consumer->Connected(media_source(12346, 0), input.destination, shorts,
		&connected), B_MEDIA_BAD_DESTINATION) << "a second connection";
	// Connected now: a float format no longer fits and is answered with the input's.
	media_raw_audio_format floats = raw;
	floats.format = media_raw_audio_format::B_AUDIO_FLOAT;
	media_format proposal = media_format::RawAudioFormat(floats);
	cookie = 0;
	ASSERT_EQ(consumer->GetNextInput(&cookie, &input), B_OK);
	EXPECT_EQ(input.format, shorts);
	EXPECT_EQ(consumer->AcceptFormat(input.destination, &proposal), B_MEDIA_BAD_FORMAT);
	EXPECT_EQ(proposal, shorts);
	EXPECT_EQ(consumer->FormatChanged(producer, input.destination, 1,
		media_format::RawAudioFormat(floats)), B_MEDIA_BAD_FORMAT);

	bigtime_t latency = 0;
	media_node_id clock = -1;
	EXPECT_EQ(consumer->GetLatencyFor(input.destination, &latency, &clock), B_OK);
	EXPECT_EQ(latency, 500);
	EXPECT_EQ(clock, consumer->TimeSource()->ID());

	consumer->Disconnected(producer, input.destination);
	cookie = 0;
	ASSERT_EQ(consumer->GetNextInput(&cookie, &input), B_OK);
	EXPECT_EQ(input.format, media_format::RawAudioFormat()) << "wildcard again when free";
	consumer->Release();
}

TEST(SoundConsumer, ServesItsPortOnANamedThreadAndReportsLongSilences)
{
	HookLog log;
	SoundConsumer* consumer = new SoundConsumer("Quiet one", nullptr, Notify, &log);
	BMediaRoster* roster = BMediaRoster::Roster();
	ASSERT_EQ(roster->RegisterNode(consumer), B_OK);
	thread_id thread = consumer->ServiceThread();
	ASSERT_GE(thread, 0);
	thread_info info;
	ASSERT_EQ(get_thread_info(thread, &info), B_OK);
	EXPECT_STREQ(info.name, "Quiet one Service");
	EXPECT_EQ(info.priority, 110);

	// 1 s, then 2 s without a message.
	ASSERT_TRUE(log.WaitFor([&] { return log.timeouts.size() >= 2; }, 8000000));
	{
		std::lock_guard<std::mutex> guard(log.lock);
		EXPECT_EQ(log.timeouts[0], 1000000);
		EXPECT_EQ(log.timeouts[1], 2000000);
	}
	consumer->Release();
	EXPECT_NE(get_thread_info(thread, &info), B_OK) << "the service thread ended";
	std::lock_guard<std::mutex> guard(log.lock);
	EXPECT_EQ(log.codes.back(), SoundConsumer::kNodeDies);
}

TEST(SoundConsumer, HookChangesFromAnotherThreadGoThroughTheServiceThread)
{
	HookLog first, second;
	SoundConsumer* consumer = new SoundConsumer(nullptr, nullptr, Notify, &first);
	EXPECT_STREQ(consumer->Name(), "SoundConsumer");
	ASSERT_EQ(BMediaRoster::Roster()->RegisterNode(consumer), B_OK);
	ASSERT_EQ(consumer->SetHooks(Record, Notify, &second), B_OK);
	EXPECT_TRUE(Saw(first, SoundConsumer::kHooksChanged));
	EXPECT_FALSE(Saw(second, SoundConsumer::kHooksChanged));
	consumer->Release();
	EXPECT_TRUE(Saw(second, SoundConsumer::kNodeDies));
	EXPECT_FALSE(Saw(first, SoundConsumer::kNodeDies));
}

TEST(SoundConsumer, RecordsWhatAProducerSendsWithItsTimes)
{
	HookLog log;
	BMediaRoster* roster = BMediaRoster::Roster();
	auto* tone = new ToneGeneratorNode(441.0f, -6.0f, 44100.0f, 2);
	auto* consumer = new SoundConsumer("Recording", Record, Notify, &log);
	ConnectInShorts(tone, consumer);
	EXPECT_TRUE(Saw(log, SoundConsumer::kConnectionMade));
	EXPECT_EQ(log.inputName, "Recording Input");

	bigtime_t start = consumer->TimeSource()->Now() + 50000;
	ASSERT_EQ(roster->StartNode(consumer->Node(), start), B_OK);
	ASSERT_EQ(roster->StartNode(tone->Node(), start), B_OK);
	ASSERT_TRUE(log.WaitFor([&] { return log.buffers >= 20; }));
	roster->StopNode(tone->Node(), 0, true);

	{
		std::lock_guard<std::mutex> guard(log.lock);
		EXPECT_EQ(log.format.format, media_raw_audio_format::B_AUDIO_SHORT);
		EXPECT_EQ(log.format.channel_count, 2u);
		// Times follow each other by one buffer's duration.
		bigtime_t step = bigtime_t(1e6 * (log.samples.size() / 2 / log.buffers) / 44100.0);
		for (size_t i = 1; i < log.stamps.size(); i++)
			EXPECT_NEAR(log.stamps[i] - log.stamps[i - 1], step, 2) << i;
		// A 441 Hz sine at -6 dBFS: 100 frames a period, peak near 16384.
		int16 peak = 0;
		int crossings = 0;
		for (size_t i = 2; i < log.samples.size(); i += 2) {
			peak = std::max<int16>(peak, log.samples[i]);
			crossings += (log.samples[i] >= 0) != (log.samples[i - 2] >= 0);
		}
		EXPECT_NEAR(peak, 16422, 300);
		EXPECT_NEAR(crossings / 2.0 / (log.samples.size() / 2) * 44100, 441, 5);
	}
	roster->ReleaseNode(tone->Node());
	consumer->Release();
	EXPECT_TRUE(Saw(log, SoundConsumer::kConnectionBroken));
}

TEST(SoundConsumer, ASeekMovesTheTimesTheHookSees)
{
	HookLog log;
	BMediaRoster* roster = BMediaRoster::Roster();
	auto* tone = new ToneGeneratorNode(441.0f, -6.0f, 44100.0f, 2);
	auto* consumer = new SoundConsumer("Seeking", Record, Notify, &log);
	ConnectInShorts(tone, consumer);

	// Media time 10 s is at performance time `start` + 0.2 s.
	const bigtime_t start = consumer->TimeSource()->Now() + 50000;
	const bigtime_t seekAt = start + 200000;
	ASSERT_EQ(roster->SeekNode(consumer->Node(), 10000000, seekAt), B_OK);
	ASSERT_EQ(roster->StartNode(consumer->Node(), start), B_OK);
	ASSERT_EQ(roster->StartNode(tone->Node(), start), B_OK);
	ASSERT_TRUE(log.WaitFor([&] { return log.buffers >= 40; }));
	roster->StopNode(tone->Node(), 0, true);
	{
		std::lock_guard<std::mutex> guard(log.lock);
		EXPECT_TRUE(Saw(log, SoundConsumer::kWillSeek));
		EXPECT_TRUE(Saw(log, SoundConsumer::kWillStart));
		// From the start the times count from 10 s; where the seek's performance time is
		// reached they count from 10 s again: one step back of the 0.2 s between.
		EXPECT_NEAR(log.stamps.front(), 10000000, 20000);
		int steps = 0;
		for (size_t i = 1; i < log.stamps.size(); i++) {
			if (log.stamps[i] < log.stamps[i - 1]) {
				steps++;
				EXPECT_NEAR(log.stamps[i], 10000000, 20000);
				EXPECT_NEAR(log.stamps[i - 1] - log.stamps[i], 200000, 20000);
			}
		}
		EXPECT_EQ(steps, 1);
	}
	roster->ReleaseNode(tone->Node());
	consumer->Release();
}

TEST(SoundConsumer, LeavesAfterRepeatedPortErrorsAndSaysSo)
{
	HookLog log;
	auto* consumer = new SoundConsumer("Broken", nullptr, Notify, &log);
	ASSERT_EQ(BMediaRoster::Roster()->RegisterNode(consumer), B_OK);
	thread_id thread = consumer->ServiceThread();
	testing::internal::CaptureStderr();
	delete_port(consumer->ControlPort());
	status_t exitValue;
	EXPECT_EQ(wait_for_thread(thread, &exitValue), B_OK);
	std::string errors = testing::internal::GetCapturedStderr();
	EXPECT_NE(errors.find("SoundConsumer: error 0x"), std::string::npos) << errors;
	EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 4) << errors;
	EXPECT_TRUE(Saw(log, SoundConsumer::kNodeDies));
	consumer->Release();
}

}  // namespace

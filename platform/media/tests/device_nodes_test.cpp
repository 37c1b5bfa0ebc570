// The default input node between a capture device and a consumer that wants another rate
// and channel count, with a device of the test's own making (a thread calling the hook).
#include "MediaTestNodes.h"

#include "kernel/OS.h"
#include "media/DeviceNodes.h"
#include "media/TimeSource.h"

#include <atomic>
#include <cmath>
#include <thread>

#include <unistd.h>

namespace {

constexpr double kPi = 3.141592653589793;

// 48 000 Hz stereo: a 1 kHz sine, left at 0.8 and right at 0.4, in 480-frame blocks.
class FakeCapture : public AudioDevice {
public:
	FakeCapture(AudioDevice::CaptureHook hook, void* cookie) : fHook(hook), fCookie(cookie)
	{
		fRate = 48000;
		fChannels = 2;
		fMaxBlock = 480;
		fDescription = "test capture";
	}
	~FakeCapture() override { Stop(); }
	status_t Start() override
	{
		if (fThread.joinable())
			return B_OK;
		fRunning = true;
		fThread = std::thread([this] {
			float block[480 * 2];
			size_t frame = 0;
			while (fRunning.load()) {
				for (size_t i = 0; i < 480; i++, frame++) {
					float v = float(0.8 * std::sin(2 * kPi * 1000 * double(frame) / 48000));
					block[2 * i] = v;
					block[2 * i + 1] = v / 2;
				}
				fHook(fCookie, block, 480, system_time());
				snooze(2000);
			}
		});
		return B_OK;
	}
	void Stop() override
	{
		fRunning = false;
		if (fThread.joinable())
			fThread.join();
	}
	void Vanish() { fLost = true; }

private:
	AudioDevice::CaptureHook fHook;
	void* fCookie;
	std::atomic<bool> fRunning{false};
	std::thread fThread;
};

TEST(AudioInput, ConvertsToTheRateAndChannelsItsConsumerTakes)
{
	BMediaRoster* roster = BMediaRoster::Roster();
	auto* input = new AudioInputNode(nullptr, 0);
	auto device = std::make_unique<FakeCapture>(&AudioInputNode::CaptureHook, input);
	FakeCapture* capture = device.get();
	ASSERT_EQ(input->UseDevice(std::move(device)), B_OK);
	auto* collector = new CollectingConsumer(44100);
	media_raw_audio_format wanted{};
	wanted.frame_rate = 44100;
	wanted.channel_count = 1;
	wanted.format = media_raw_audio_format::B_AUDIO_SHORT;
	collector->Accept(wanted);
	ASSERT_EQ(roster->RegisterNode(input), B_OK);
	ASSERT_EQ(roster->RegisterNode(collector), B_OK);
	media_format format = media_format::RawAudioFormat();
	ASSERT_EQ(ConnectNodes(input->Node(), collector->Node(), &format), B_OK);
	EXPECT_EQ(format.u.raw_audio.frame_rate, 44100.0f);
	EXPECT_EQ(format.u.raw_audio.channel_count, 1u);
	EXPECT_EQ(format.u.raw_audio.format, uint32(media_raw_audio_format::B_AUDIO_SHORT));

	bigtime_t start = system_time_source()->Now() + 10000;
	roster->StartNode(collector->Node(), start);
	roster->StartNode(input->Node(), start);
	ASSERT_TRUE(collector->WaitForSamples(22050));

	// A vanished device ends the stream: the consumer hears of it, nothing hangs.
	capture->Vanish();
	EXPECT_TRUE(collector->WaitForEnd());
	roster->StopNode(input->Node(), 0, true);

	std::vector<float> got = collector->Samples();
	std::vector<float> steady(got.begin() + 2000, got.begin() + 22050);
	EXPECT_NEAR(SignalFrequency(steady, 44100), 1000.0, 1.0);
	EXPECT_NEAR(SignalPeak(steady), 0.6, 0.01);   // the mono mix of 0.8 and 0.4

	collector->Release();
	input->Release();
}

TEST(AudioInput, WithoutADeviceTheNodeSaysWhy)
{
	// No JACK server of this name; this machine has no sound card.
	setenv("JACK_DEFAULT_SERVER", ("no-such-server-" + std::to_string(getpid())).c_str(), 1);
	auto* input = new AudioInputNode(nullptr, 0);
	if (input->OpenDevice() == B_OK) {
		input->Release();
		GTEST_SKIP() << "this machine has an audio input";
	}
	EXPECT_EQ(input->InitCheck(), B_MEDIA_SYSTEM_FAILURE);
	EXPECT_FALSE(input->ErrorText().empty());
	input->Release();
}

}  // namespace

// micfeed over the JACK server of the run: the default audio input is the server's capture
// ports, another JACK client plays into it, and what the recorder reads is written to a
// WAV file and read back with libsndfile.
#include "JackSource.h"
#include "Recorder.h"
#include "WavReadBack.h"
#include "media/MediaFileWriter.h"
#include "testing/JackAvailable.h"
#include "testing/ScratchDir.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(CaptureJack, ASinePlayedIntoTheDefaultInputIsReadAtItsLevelAndFrequency)
{
	SKIP_WITHOUT_JACK();
	unsetenv("SUITE_AUDIO_INPUT");
	ScratchDir dir("micfeed-jack");
	ASSERT_TRUE(dir.Valid());
	JackSource sine(440.0, 0.25f);
	ASSERT_TRUE(sine.Open("micfeed test sine"));

	const std::string path = dir.File("out.wav");
	Recorder recorder;
	MediaFileWriter writer;
	ASSERT_EQ(writer.Create(path, 44100, 2), B_OK);
	std::vector<int16> frames(2 * 1024);
	// The first read makes the default input; then the sine is connected to it.
	ASSERT_EQ(recorder.Read(reinterpret_cast<char*>(frames.data()), 1024), 1024);
	ASSERT_EQ(recorder.StartStatus(), B_OK);
	ASSERT_TRUE(sine.WaitAndConnect());
	for (int i = 0; i < 22; i++)   // half a second to settle
		ASSERT_EQ(recorder.Read(reinterpret_cast<char*>(frames.data()), 1024), 1024);
	for (int i = 0; i < 86; i++) {   // two seconds
		ASSERT_EQ(recorder.Read(reinterpret_cast<char*>(frames.data()), 1024), 1024);
		ASSERT_EQ(writer.WriteFrames(frames.data(), 1024), B_OK);
	}
	ASSERT_EQ(writer.Commit(), B_OK);

	WavReadBack wav(path);
	ASSERT_TRUE(wav.ok);
	EXPECT_EQ(wav.Frames(), 86 * 1024);
	for (int c = 0; c < 2; c++) {
		EXPECT_NEAR(wav.Frequency(c), 440, 2) << c;
		EXPECT_NEAR(wav.Rms(c), 0.25 * 32767 / std::sqrt(2.0), 150) << c;
	}
}

}  // namespace

// Debian's third-party plug-ins (lsp-plugins-vst, dragonfly-reverb-vst) through the wrapper:
// a gain scales, a reverb leaves a tail, nothing comes out that is not a number.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <cstdlib>
#include <vector>

#include "vst/VSTPlugIn.h"

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

const char kLspCompDelay[] = "/usr/lib/vst/lsp-plugins/comp-delay-stereo.so";
const char kDragonflyRoom[] = "/usr/lib/lxvst/DragonflyRoomReverb-vst.so";

bool Exists(const char* path)
{
	struct stat info;
	return stat(path, &info) == 0;
}

// What third-party plug-ins keep allocated after they are closed is theirs, not ours.
struct ForeignAllocations {
#if defined(__SANITIZE_ADDRESS__)
	ForeignAllocations() { __lsan_disable(); }
	~ForeignAllocations() { __lsan_enable(); }
#endif
};

struct Stream {
	Stream(int32 frames) : left(size_t(frames)), right(size_t(frames)) {}
	float** get()
	{
		pointers[0] = left.data();
		pointers[1] = right.data();
		return pointers;
	}
	std::vector<float> left, right;
	float* pointers[2];
};

double Rms(const std::vector<float>& samples, size_t from, size_t to)
{
	double sum = 0;
	for (size_t i = from; i < to; i++)
		sum += double(samples[i]) * samples[i];
	return std::sqrt(sum / double(to - from));
}

bool AllFinite(const std::vector<float>& samples)
{
	for (float s : samples) {
		if (!std::isfinite(s))
			return false;
	}
	return true;
}

// Runs `in` through the plug-in in blocks of 512 frames.
void ProcessAll(VSTPlugIn& plugIn, Stream& in, Stream& out)
{
	const int32 frames = int32(in.left.size());
	for (int32 at = 0; at < frames; at += 512) {
		const int32 n = std::min(512, frames - at);
		float* inputs[] = {in.left.data() + at, in.right.data() + at};
		float* outputs[] = {out.left.data() + at, out.right.data() + at};
		plugIn.process(inputs, outputs, n, 0);
	}
}

TEST(RealPlugIns, LspOutputGainScalesTheSignal)
{
	if (!Exists(kLspCompDelay))
		GTEST_SKIP() << "lsp-plugins-vst is not installed";
	ForeignAllocations foreign;
	VSTPlugIn prototype(kLspCompDelay, 0);
	ASSERT_EQ(prototype.InitCheck(), B_OK) << prototype.ErrorText();
	EXPECT_EQ(prototype.Flavor()->inputChannels, (std::vector<int32>{2}));
	std::unique_ptr<VSTPlugIn> plugIn = prototype.newInstance();
	ASSERT_NE(plugIn, nullptr);
	ASSERT_EQ(plugIn->open(0), B_OK);
	plugIn->setSampleRate(44100);
	plugIn->setBlockSize(512);

	int32 gainIndex = -1;
	for (int32 i = 0; i < plugIn->CountParameters(); i++) {
		if (plugIn->ParameterAt(i)->Name() == "g_out")
			gainIndex = i;
	}
	ASSERT_GE(gainIndex, 0) << "comp-delay-stereo has no g_out parameter";
	plugIn->setParameterAt(gainIndex, 0.3f, 0);
	std::string display;
	plugIn->getParameterInfo(gainIndex, nullptr, nullptr, &display);
	const double decibels = strtod(display.c_str(), nullptr);
	ASSERT_LT(decibels, -1.0) << "display '" << display << "'";
	const double expected = std::pow(10.0, decibels / 20);

	plugIn->resume();
	const int32 frames = 44100;
	Stream in(frames), out(frames);
	for (int32 i = 0; i < frames; i++) {
		in.left[size_t(i)] = 0.5f * float(std::sin(2 * M_PI * 440 * i / 44100.0));
		in.right[size_t(i)] = 0.5f * float(std::sin(2 * M_PI * 660 * i / 44100.0));
	}
	ProcessAll(*plugIn, in, out);
	EXPECT_TRUE(AllFinite(out.left) && AllFinite(out.right));
	// After the plug-in's own smoothing, the level is the displayed gain (to 0.1 dB).
	const double ratio = Rms(out.left, 22050, 44100) / Rms(in.left, 22050, 44100);
	EXPECT_NEAR(20 * std::log10(ratio), decibels, 0.1);
	EXPECT_NEAR(Rms(out.right, 22050, 44100) / Rms(in.right, 22050, 44100), expected,
		expected * 0.02);
	plugIn->suspend();
}

TEST(RealPlugIns, DragonflyReverbLeavesATail)
{
	if (!Exists(kDragonflyRoom))
		GTEST_SKIP() << "dragonfly-reverb-vst is not installed";
	ForeignAllocations foreign;
	VSTPlugIn prototype(kDragonflyRoom, 0);
	ASSERT_EQ(prototype.InitCheck(), B_OK) << prototype.ErrorText();
	EXPECT_STREQ(prototype.Name(), "Dragonfly Room Reverb");
	std::unique_ptr<VSTPlugIn> plugIn = prototype.newInstance();
	ASSERT_NE(plugIn, nullptr);
	ASSERT_EQ(plugIn->open(0), B_OK);
	plugIn->setSampleRate(44100);
	plugIn->setBlockSize(512);
	plugIn->resume();

	// A tenth of a second of noise, then two seconds of silence.
	const int32 frames = 44100 * 21 / 10;
	Stream in(frames), out(frames);
	srand(7);
	for (int32 i = 0; i < 4410; i++) {
		in.left[size_t(i)] = float(rand() % 2001 - 1000) / 2000;
		in.right[size_t(i)] = in.left[size_t(i)];
	}
	ProcessAll(*plugIn, in, out);
	EXPECT_TRUE(AllFinite(out.left) && AllFinite(out.right));
	// Half a second after the input stopped the room still sounds.
	const double tail = Rms(out.left, 4410 + 22050, 4410 + 26460);
	EXPECT_GT(tail, 1e-4);
	EXPECT_GT(Rms(out.left, 0, 4410), 0.01);
	plugIn->suspend();
}

}  // namespace

// Processing, fades, bypass and conversions allocate nothing.
#include <gtest/gtest.h>

#include <vector>

#include "TestPlugIns.h"
#include "testing/AllocationCounter.h"
#include "vst/SampleConversion.h"
#include "vst/VSTPlugIn.h"

namespace {

TEST(PlugInMemory, ProcessingAllocatesNothing)
{
	VSTPlugIn prototype(TestPlugInPath("gain").c_str(), 0);
	std::unique_ptr<VSTPlugIn> gain = prototype.newInstance();
	ASSERT_NE(gain, nullptr);
	ASSERT_EQ(gain->open(0), B_OK);
	gain->setSampleRate(44100);
	gain->setBlockSize(512);
	gain->resume();
	std::vector<float> a(512, 0.5f), b(512, -0.5f), c(512), d(512);
	float* in[] = {a.data(), b.data()};
	float* out[] = {c.data(), d.data()};
	std::vector<int16> raw(1024);

	AllocationCounter counter;
	for (int block = 0; block < 100; block++) {
		// Every fade and the host bypass on the way.
		if (block % 10 == 3)
			gain->setBypass(block % 20 == 3);
		if (block % 10 == 7)
			gain->setMuted(block % 20 == 7);
		gain->setParameterAt(0, float(block % 10) / 10, 0);
		ConvertToFloat(kSampleShort, false, raw.data(), 2, 512, in);
		gain->process(in, out, 512, 0);
		ConvertFromFloat(kSampleShort, false, out, 2, 512, raw.data());
	}
	EXPECT_EQ(counter.Count(), 0);
	EXPECT_GT(TestPlugInLogOf("gain")->processCalls, 50);
}

}  // namespace

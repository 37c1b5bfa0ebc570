// "Test Meter": a level meter without an editor (effFlagsHasVu): passes stereo through and
// answers effGetVu with the last block's peak × 32767. Only the accumulating process call:
// no effFlagsCanReplacing. Entry: VSTPluginMain.
#include <cmath>

#include "TestEffect.h"

namespace {

class Meter : public TestEffect {
public:
	explicit Meter(audioMasterCallback host) : TestEffect(host, 2, 2, 0, effFlagsHasVu)
	{
		fName = "Test Meter";
		fProduct = "Meter";
		fEffect.flags &= ~effFlagsCanReplacing;
		fEffect.processReplacing = nullptr;
	}

protected:
	intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
		float opt) override
	{
		if (opcode == effGetVu)
			return intptr_t(fPeak * 32767);
		return TestEffect::Dispatch(opcode, index, value, ptr, opt);
	}
	void Process(float** in, float** out, int32_t frames) override
	{
		fPeak = 0;
		for (int32_t c = 0; c < 2; c++) {
			for (int32_t i = 0; i < frames; i++) {
				out[c][i] = in[c][i];
				fPeak = std::max(fPeak, std::fabs(in[c][i]));
			}
		}
	}

private:
	float fPeak = 0;
};

}  // namespace

TEST_PLUGIN_ENTRY(Meter, VSTPluginMain)

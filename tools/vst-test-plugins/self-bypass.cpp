// "Test Self Bypass": takes effSetBypass and then passes its input through itself;
// otherwise halves it. Entry: VSTPluginMain.
#include "TestEffect.h"

namespace {

class SelfBypass : public TestEffect {
public:
	explicit SelfBypass(audioMasterCallback host) : TestEffect(host, 2, 2, 0, 0)
	{
		fName = "Test Self Bypass";
		fProduct = "Self Bypass";
	}

protected:
	intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
		float opt) override
	{
		if (opcode == effSetBypass) {
			test_plugin_log()->bypassRequests++;
			fBypassed = value != 0;
			return 1;
		}
		return TestEffect::Dispatch(opcode, index, value, ptr, opt);
	}
	void Process(float** in, float** out, int32_t frames) override
	{
		const float gain = fBypassed ? 1.0f : 0.5f;
		for (int32_t c = 0; c < 2; c++) {
			for (int32_t i = 0; i < frames; i++)
				out[c][i] = in[c][i] * gain;
		}
	}

private:
	bool fBypassed = false;
};

}  // namespace

TEST_PLUGIN_ENTRY(SelfBypass, VSTPluginMain)

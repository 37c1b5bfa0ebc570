// "Test Gain": stereo, one continuous parameter "Gain" (0…1 is a gain of 0…2, 0.5 unity),
// one program. Answers a tail size. Entry: VSTPluginMain.
#include "TestEffect.h"

namespace {

class Gain : public TestEffect {
public:
	explicit Gain(audioMasterCallback host) : TestEffect(host, 2, 2, 1, 0)
	{
		fName = "Test Gain";
		fProduct = "Gain";
		fParameters[0] = 0.5f;
		fEffect.numPrograms = 1;
	}

protected:
	intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
		float opt) override
	{
		if (opcode == effGetTailSize)
			return 4410;
		if (opcode == effGetProgramName)
			return Copy(ptr, "Default");
		return TestEffect::Dispatch(opcode, index, value, ptr, opt);
	}
	void Process(float** in, float** out, int32_t frames) override
	{
		const float gain = 2 * fParameters[0];
		for (int32_t c = 0; c < 2; c++) {
			for (int32_t i = 0; i < frames; i++)
				out[c][i] = in[c][i] * gain;
		}
	}
	std::string ParameterName(int32_t) override { return "Gain"; }
};

}  // namespace

TEST_PLUGIN_ENTRY(Gain, VSTPluginMain)

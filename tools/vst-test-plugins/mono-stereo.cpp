// "Test Mono Stereo": a stereo plug-in that can do mono (effFlagsCanMono). Output channel c
// is input channel c plus 0.25 × the other input, so a test sees what each input carried.
// Entry: VSTPluginMain.
#include "TestEffect.h"

namespace {

class MonoStereo : public TestEffect {
public:
	explicit MonoStereo(audioMasterCallback host) : TestEffect(host, 2, 2, 0, effFlagsCanMono)
	{
		fName = "Test Mono Stereo";
		fProduct = "Mono Stereo";
	}

protected:
	void Process(float** in, float** out, int32_t frames) override
	{
		for (int32_t i = 0; i < frames; i++) {
			const float left = in[0][i], right = in[1][i];
			out[0][i] = left + 0.25f * right;
			out[1][i] = right + 0.25f * left;
		}
	}
};

}  // namespace

TEST_PLUGIN_ENTRY(MonoStereo, VSTPluginMain)

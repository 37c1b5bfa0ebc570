// "Test Splitter": one input, two outputs: the input and its negation. Its pins are named
// by the plug-in. Entry: VSTPluginMain.
#include "TestEffect.h"

namespace {

class Splitter : public TestEffect {
public:
	explicit Splitter(audioMasterCallback host) : TestEffect(host, 1, 2, 0, 0)
	{
		fName = "Test Splitter";
		fProduct = "Splitter";
	}

protected:
	intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
		float opt) override
	{
		if (opcode == effGetOutputProperties) {
			auto* pin = static_cast<VstPinProperties*>(ptr);
			strcpy(pin->label, index == 0 ? "Straight" : "Inverted");
			pin->flags = kVstPinIsActive;
			return 1;
		}
		return TestEffect::Dispatch(opcode, index, value, ptr, opt);
	}
	void Process(float** in, float** out, int32_t frames) override
	{
		for (int32_t i = 0; i < frames; i++) {
			out[0][i] = in[0][i];
			out[1][i] = -in[0][i];
		}
	}
};

}  // namespace

TEST_PLUGIN_ENTRY(Splitter, VSTPluginMain)

// "Test Chatty": calls its host back from process and from idle. Each block: automates
// parameter 0 with the block's first input sample, asks for a display update and for idle
// time. Each idle call: reports changed I/O; answers "more idle, please" three times.
// It has no name, vendor or product of its own (named after its file) and is stereo.
// Entry: main.
#include "TestEffect.h"

namespace {

class Chatty : public TestEffect {
public:
	explicit Chatty(audioMasterCallback host) : TestEffect(host, 2, 2, 1, 0)
	{
		fName = "";
	}

protected:
	intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
		float opt) override
	{
		if (opcode == effIdle) {
			test_plugin_log()->idleCalls++;
			fHost(&fEffect, audioMasterIOChanged, 0, 0, nullptr, 0);
			return ++fIdles <= 3 ? 1 : 0;
		}
		if (opcode == effGetEffectName || opcode == effGetVendorString
			|| opcode == effGetProductString)
			return 0;
		return TestEffect::Dispatch(opcode, index, value, ptr, opt);
	}
	void Process(float** in, float** out, int32_t frames) override
	{
		fHost(&fEffect, audioMasterAutomate, 0, 0, nullptr, in[0][0]);
		fHost(&fEffect, audioMasterUpdateDisplay, 0, 0, nullptr, 0);
		fHost(&fEffect, audioMasterNeedIdle, 0, 0, nullptr, 0);
		for (int32_t c = 0; c < 2; c++)
			std::copy(in[c], in[c] + frames, out[c]);
	}

private:
	int32_t fIdles = 0;
};

}  // namespace

extern "C" TestPlugInLog* test_plugin_log()
{
	static TestPlugInLog log;
	return &log;
}

// The legacy entry name: a function called main that is not the program's main.
extern "C" __attribute__((visibility("default"))) AEffect* ChattyEntry(audioMasterCallback host)
	__asm__("main");
AEffect* ChattyEntry(audioMasterCallback host)
{
	return (new Chatty(host))->Effect();
}

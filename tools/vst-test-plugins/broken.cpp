// Broken plug-ins, one per BROKEN_KIND:
//   1 the entry returns null
//   2 the entry crashes
//   3 the entry never returns
//   4 the effect has a bad magic
//   5 the effect claims absurd channel counts
//   6 the effect claims a negative parameter count
//   7 no entry at all
//   8 an instrument (a synth): loads, but no node can be made of it
//   9 needs offline processing (can do "noRealTime")
#include <csignal>
#include <unistd.h>

#include "TestEffect.h"

namespace {

class Plain : public TestEffect {
public:
	explicit Plain(audioMasterCallback host) : TestEffect(host, 2, 2, 0, 0)
	{
		fName = "Test Broken";
		if (BROKEN_KIND == 8) {
			fName = "Test Synth";
			fCategory = kPlugCategSynth;
			fEffect.numInputs = 0;
		}
		if (BROKEN_KIND == 9)
			fName = "Test Offline";
	}

protected:
	intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
		float opt) override
	{
		if (opcode == effCanDo && BROKEN_KIND == 9 && ptr != nullptr
			&& strcmp(static_cast<const char*>(ptr), "noRealTime") == 0)
			return 1;
		return TestEffect::Dispatch(opcode, index, value, ptr, opt);
	}
	void Process(float**, float** out, int32_t frames) override
	{
		for (int32_t c = 0; c < fEffect.numOutputs; c++)
			std::fill(out[c], out[c] + frames, 0.0f);
	}
};

}  // namespace

extern "C" TestPlugInLog* test_plugin_log()
{
	static TestPlugInLog log;
	return &log;
}

#if BROKEN_KIND != 7
extern "C" __attribute__((visibility("default"))) AEffect* VSTPluginMain(
	audioMasterCallback host)
{
	host(nullptr, audioMasterVersion, 0, 0, nullptr, 0);
	switch (BROKEN_KIND) {
		case 1:
			return nullptr;
		case 2:
			raise(SIGSEGV);
			return nullptr;
		case 3:
			for (;;)
				pause();
		default:
			break;
	}
	if (BROKEN_KIND == 4) {
		// No host can close an effect it does not recognise: nothing to free.
		static Plain unrecognised(host);
		unrecognised.Effect()->magic = 0x12345678;
		return unrecognised.Effect();
	}
	AEffect* effect = (new Plain(host))->Effect();
	if (BROKEN_KIND == 5) {
		effect->numInputs = 100000;
		effect->numOutputs = 100000;
	}
	if (BROKEN_KIND == 6)
		effect->numParams = -5;
	return effect;
}
#endif

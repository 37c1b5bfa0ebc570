// "Test Switch": mono, with parameters that exercise every construction rule:
//   0 "Mode"      switch, integer range 0…2, integer step 1, shown "Off" "Half" "Full"
//   1 "  Level  " integer range -12…12 (not a switch), unit " dB "
//   2 "Fine"      float step 0.01 (nothing else read), unit "never asked"
//   3 ""          no name
//   4 "Steps"     switch, integer range 1…3 without an integer step, shown "One" …
// Two programs whose names are read by selecting them. Output = input × Mode / 2.
// Entry: main_plugin.
#include "TestEffect.h"

namespace {

class Switch : public TestEffect {
public:
	explicit Switch(audioMasterCallback host) : TestEffect(host, 1, 1, 5, 0)
	{
		fName = "Test Switch";
		fProduct = "Switch";
		fEffect.numPrograms = 2;
		fParameters[0] = 1.0f;
	}

protected:
	intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
		float opt) override
	{
		switch (opcode) {
			case effGetParameterProperties:
			{
				auto* p = static_cast<VstParameterProperties*>(ptr);
				if (index == 0) {
					p->flags = kVstParameterIsSwitch | kVstParameterUsesIntegerMinMax
						| kVstParameterUsesIntStep;
					p->minInteger = 0;
					p->maxInteger = 2;
					p->stepInteger = 1;
					return 1;
				}
				if (index == 1) {
					p->flags = kVstParameterUsesIntegerMinMax;
					p->minInteger = -12;
					p->maxInteger = 12;
					return 1;
				}
				if (index == 2) {
					p->flags = kVstParameterUsesFloatStep | kVstParameterIsSwitch;
					p->stepFloat = 0.01f;
					return 1;
				}
				if (index == 4) {
					p->flags = kVstParameterIsSwitch | kVstParameterUsesIntegerMinMax;
					p->minInteger = 1;
					p->maxInteger = 3;
					return 1;
				}
				return 0;
			}
			case effSetProgram:
				test_plugin_log()->programSelections++;
				fProgram = int32_t(value);
				return 0;
			case effGetProgram:
				return fProgram;
			case effGetProgramName:
				return Copy(ptr, fProgram == 0 ? "First" : "Second");
			default:
				return TestEffect::Dispatch(opcode, index, value, ptr, opt);
		}
	}
	void Process(float** in, float** out, int32_t frames) override
	{
		const float gain = Setting(0, 2) / 2.0f;
		for (int32_t i = 0; i < frames; i++)
			out[0][i] = in[0][i] * gain;
	}
	std::string ParameterName(int32_t index) override
	{
		const char* names[] = {"Mode", "  Level  ", "Fine", "", "Steps"};
		return names[index];
	}
	std::string ParameterDisplay(int32_t index) override
	{
		if (index == 0) {
			const char* modes[] = {"Off", "Half", "Full"};
			return std::string(" ") + modes[Setting(0, 2)] + " ";
		}
		if (index == 4) {
			const char* steps[] = {"One", "Two", "Three"};
			return steps[Setting(4, 2)];
		}
		return TestEffect::ParameterDisplay(index);
	}
	std::string ParameterLabel(int32_t index) override
	{
		return index == 1 ? " dB " : index == 2 ? "never asked" : "";
	}

private:
	// The setting of a switch with `steps` + 1 positions.
	int32_t Setting(int32_t index, int32_t steps)
	{
		return int32_t(fParameters[size_t(index)] * float(steps) + 0.5f);
	}

	int32_t fProgram = 0;
};

}  // namespace

TEST_PLUGIN_ENTRY(Switch, main_plugin)

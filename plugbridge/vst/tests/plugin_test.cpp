// The wrapper over the project's test plug-ins: loading, the flavor, parameters, states and
// fades, host bypass, the host callback and its messages.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "TestPlugIns.h"
#include "kernel/Image.h"
#include "kernel/OS.h"
#include "vst/AudioMaster.h"
#include "vst/VSTMessages.h"
#include "vst/VSTPlugIn.h"

namespace {

std::unique_ptr<VSTPlugIn> Prototype(const char* name)
{
	auto plugIn = std::make_unique<VSTPlugIn>(TestPlugInPath(name).c_str(), 7);
	EXPECT_EQ(plugIn->InitCheck(), B_OK) << name << ": " << plugIn->ErrorText();
	return plugIn;
}

// Audio blocks of a fixed number of channels and frames, with pointer arrays.
struct Blocks {
	Blocks(int32 channels, int32 frames, float value = 0)
		: data(size_t(channels), std::vector<float>(size_t(frames), value))
	{
		for (auto& channel : data)
			pointers.push_back(channel.data());
	}
	float** get() { return pointers.data(); }
	std::vector<std::vector<float>> data;
	std::vector<float*> pointers;
};

// An opened, resumed instance of a test plug-in.
struct Running {
	explicit Running(const char* name, port_id port = 0)
		: prototype(Prototype(name)), instance(prototype->newInstance())
	{
		EXPECT_NE(instance, nullptr);
		EXPECT_EQ(instance->open(port), B_OK);
		instance->setSampleRate(48000);
		instance->setBlockSize(128);
		instance->resume();
	}
	std::unique_ptr<VSTPlugIn> prototype;
	std::unique_ptr<VSTPlugIn> instance;
};

TEST(PlugIn, PrototypeDescribesItselfAsAFlavor)
{
	auto gain = Prototype("gain");
	EXPECT_TRUE(gain->IsPrototype());
	EXPECT_STREQ(gain->Name(), "Test Gain");
	const VSTFlavorDescription* flavor = gain->Flavor();
	ASSERT_NE(flavor, nullptr);
	EXPECT_EQ(flavor->name, "Test Gain");
	EXPECT_EQ(flavor->info, "Gain\nSuite Tests");
	EXPECT_EQ(flavor->internalId, 7);
	EXPECT_TRUE(flavor->consumer);
	EXPECT_TRUE(flavor->producer);
	EXPECT_EQ(flavor->inputChannels, (std::vector<int32>{2}));
	EXPECT_EQ(flavor->outputChannels, (std::vector<int32>{2}));

	auto monoStereo = Prototype("mono-stereo");
	EXPECT_EQ(monoStereo->Flavor()->inputChannels, (std::vector<int32>{1, 2}));
	EXPECT_EQ(monoStereo->Flavor()->outputChannels, (std::vector<int32>{2}));
	auto splitter = Prototype("splitter");
	EXPECT_EQ(splitter->Flavor()->inputChannels, (std::vector<int32>{1}));
	EXPECT_EQ(splitter->Flavor()->outputChannels, (std::vector<int32>{2}));
	auto synth = Prototype("synth");
	EXPECT_FALSE(synth->Flavor()->consumer);
	EXPECT_TRUE(synth->Flavor()->producer);

	// The whole table, odd counts included; "can mono" matters for inputs only.
	EXPECT_EQ(VSTPlugIn::FlavorChannels(1, false), (std::vector<int32>{1}));
	EXPECT_EQ(VSTPlugIn::FlavorChannels(3, false), (std::vector<int32>{1, 2}));
	EXPECT_EQ(VSTPlugIn::FlavorChannels(0, true), (std::vector<int32>{1, 2}));
	EXPECT_EQ(VSTPlugIn::FlavorChannels(0, false), (std::vector<int32>{2}));
	EXPECT_EQ(VSTPlugIn::FlavorChannels(4, true), (std::vector<int32>{1, 2}));
	EXPECT_EQ(VSTPlugIn::FlavorChannels(4, false), (std::vector<int32>{2}));
}

TEST(PlugIn, EntryIsFoundUnderEachNameAndAskedWithANullEffect)
{
	// gain exports VSTPluginMain, switch main_plugin, chatty main.
	for (const char* name : {"gain", "switch", "chatty"}) {
		auto plugIn = Prototype(name);
		TestPlugInLog* log = TestPlugInLogOf(name);
		ASSERT_NE(log, nullptr) << name;
		EXPECT_EQ(log->hostVersion, 2) << name;
		// Asked before any stream is set: a usable rate and block size, not 1.
		EXPECT_EQ(log->hostSampleRate, 44100) << name;
		EXPECT_EQ(log->hostBlockSize, 512) << name;
	}
	// A plug-in without a name of its own is named after its file.
	EXPECT_STREQ(Prototype("chatty")->Name(), "vst-test-chatty.so");
	// Without vendor and product, the info names the interface version.
	EXPECT_EQ(Prototype("chatty")->Flavor()->info, "PlugIn for VST 2400.00");
}

TEST(PlugIn, BrokenFilesAreRefusedWithTheirReason)
{
	struct Case {
		const char* name;
		status_t status;
		const char* words;
	} cases[] = {
		{"null-entry", B_ERROR, "no effect"},
		{"bad-magic", B_BAD_DATA, "bad magic number 0x12345678"},
		{"absurd-channels", B_BAD_DATA, "100000 inputs"},
		{"negative-parameters", B_BAD_DATA, "-5 parameters"},
		{"no-entry", B_MISSING_SYMBOL, "no VST entry"},
		{"not-a-plugin", B_FILE_NOT_FOUND, "not a loadable shared object"},
		{"missing", B_FILE_NOT_FOUND, "not a loadable shared object"},
	};
	for (const Case& c : cases) {
		VSTPlugIn plugIn(TestPlugInPath(c.name).c_str(), 0);
		EXPECT_EQ(plugIn.InitCheck(), c.status) << c.name;
		EXPECT_NE(plugIn.ErrorText().find(c.words), std::string::npos)
			<< c.name << ": " << plugIn.ErrorText();
		EXPECT_EQ(plugIn.Effect(), nullptr) << c.name;
		EXPECT_EQ(plugIn.newInstance(), nullptr) << c.name;
	}
	// A refused file is unloaded again.
	EXPECT_EQ(TestPlugInLogOf("negative-parameters"), nullptr);
}

TEST(PlugIn, InstanceLifecycleReachesThePlugIn)
{
	auto prototype = Prototype("gain");
	auto instance = prototype->newInstance();
	ASSERT_NE(instance, nullptr);
	EXPECT_FALSE(instance->IsPrototype());
	EXPECT_STREQ(instance->Name(), "Test Gain");
	TestPlugInLog* log = TestPlugInLogOf("gain");
	ASSERT_EQ(instance->open(0), B_OK);
	EXPECT_EQ(log->opens, 1);
	EXPECT_EQ(instance->CountParameters(), 1);
	instance->setSampleRate(96000);
	instance->setBlockSize(256);
	EXPECT_EQ(log->sampleRate, 96000);
	EXPECT_EQ(log->blockSize, 256);
	// The host callback now answers with the stream the host set.
	EXPECT_EQ(AudioMaster::callback(instance->Effect(), audioMasterGetSampleRate, 0, 0, nullptr,
		0), 96000);
	EXPECT_EQ(AudioMaster::callback(instance->Effect(), audioMasterGetBlockSize, 0, 0, nullptr,
		0), 256);
	instance->resume();
	EXPECT_TRUE(instance->IsResumed());
	instance->suspend();
	EXPECT_EQ(log->mainsOn, 1);
	EXPECT_EQ(log->mainsOff, 1);
	EXPECT_EQ(instance->getTailSize(), 4410);
	EXPECT_EQ(instance->getVersion(), 240000);
	EXPECT_EQ(instance->getCategory(), kPlugCategEffect);
	EXPECT_TRUE(instance->canRealtime());
	EXPECT_FALSE(Prototype("offline")->canRealtime());
	EXPECT_EQ(instance->openEditor(nullptr), B_UNSUPPORTED);

	// The instance keeps the file loaded after its prototype goes.
	prototype.reset();
	Blocks in(2, 64, 0.5f), out(2, 64);
	instance->resume();
	instance->process(in.get(), out.get(), 64, 0);
	EXPECT_FLOAT_EQ(out.data[1][63], 0.5f);
	instance.reset();
	EXPECT_EQ(TestPlugInLogOf("gain"), nullptr);
}

TEST(PlugIn, PinsAndProgramsAreNamed)
{
	Running gain("gain");
	std::string name;
	int32 flags = 0;
	ASSERT_TRUE(gain.instance->getInputAt(1, &name, &flags));
	EXPECT_EQ(name, "Test Gain Input 2");
	EXPECT_EQ(flags, kVstPinIsActive);
	EXPECT_TRUE(gain.instance->getOutputAt(0, &name, &flags));
	EXPECT_EQ(name, "Test Gain Output 1");
	EXPECT_FALSE(gain.instance->getInputAt(2, &name, &flags));
	EXPECT_FALSE(gain.instance->getOutputAt(-1, &name, &flags));

	Running splitter("splitter");
	EXPECT_TRUE(splitter.instance->getInputAt(0, &name, &flags));
	EXPECT_EQ(name, "Test Splitter Input");
	EXPECT_TRUE(splitter.instance->getOutputAt(1, &name, &flags));
	EXPECT_EQ(name, "Inverted");

	// Switch answers program names only for the selected program: the wrapper selects the
	// program and then the remembered one again.
	Running switcher("switch");
	TestPlugInLog* log = TestPlugInLogOf("switch");
	switcher.instance->getProgramAt(1, &name);
	EXPECT_EQ(name, "Second");
	EXPECT_EQ(switcher.instance->getProgram(), 0);
	EXPECT_EQ(log->programSelections, 2);
	switcher.instance->setProgram(1);
	EXPECT_EQ(switcher.instance->getProgram(), 1);
	switcher.instance->getProgramAt(0, nullptr);
}

TEST(PlugIn, ParametersFollowTheConstructionRules)
{
	Running running("switch");
	VSTPlugIn& plugIn = *running.instance;
	ASSERT_EQ(plugIn.CountParameters(), 5);

	const VSTParameter* mode = plugIn.ParameterAt(0);
	EXPECT_EQ(mode->Name(), "Mode");
	EXPECT_TRUE(mode->IsDiscrete());
	EXPECT_EQ(mode->Minimum(), 0);
	EXPECT_EQ(mode->Maximum(), 2);
	EXPECT_EQ(mode->Step(), 1);
	EXPECT_EQ(mode->Label(), "");  // a range other than 0…1, but the plug-in has none

	const VSTParameter* level = plugIn.ParameterAt(1);
	EXPECT_EQ(level->Name(), "Level");  // blanks around removed
	EXPECT_FALSE(level->IsDiscrete());
	EXPECT_EQ(level->Minimum(), -12);
	EXPECT_EQ(level->Maximum(), 12);
	EXPECT_EQ(level->Label(), "dB");

	// A float step ends construction: not discrete, no label even though it has one.
	const VSTParameter* fine = plugIn.ParameterAt(2);
	EXPECT_FALSE(fine->IsDiscrete());
	EXPECT_FLOAT_EQ(fine->Step(), 0.01f);
	EXPECT_EQ(fine->Label(), "");

	EXPECT_EQ(plugIn.ParameterAt(3)->Name(), "Untitled Parameter 3");
	EXPECT_EQ(plugIn.ParameterAt(5), nullptr);

	// A continuous 0…1 parameter has no unit label.
	Running gain("gain");
	EXPECT_EQ(gain.instance->ParameterAt(0)->Label(), "");
	EXPECT_FLOAT_EQ(gain.instance->ParameterAt(0)->Step(), 0.005f);
}

TEST(PlugIn, ParameterValuesConvertBetweenRangeAndPlugIn)
{
	Running running("switch");
	VSTPlugIn& plugIn = *running.instance;
	VSTParameter* level = plugIn.ParameterAt(1);
	EXPECT_FLOAT_EQ(level->setValue(6.0f), 0.75f);
	float value = 0;
	EXPECT_TRUE(level->getValue(&value));
	EXPECT_FLOAT_EQ(value, 6.0f);
	int32 setting = -1;
	EXPECT_FALSE(level->getValue(&setting));
	EXPECT_EQ(level->setValue(int32(1)), -1);
	// Outside the range, or not a number: clamped, never outside 0…1 for the plug-in.
	EXPECT_FLOAT_EQ(level->setValue(40.0f), 1.0f);
	EXPECT_FLOAT_EQ(level->setValue(NAN), 0.0f);

	VSTParameter* mode = plugIn.ParameterAt(0);
	EXPECT_EQ(mode->setValue(0.5f), -1);
	EXPECT_FLOAT_EQ(mode->setValue(int32(1)), 0.5f);
	EXPECT_TRUE(mode->getValue(&setting));
	EXPECT_EQ(setting, 1);
	EXPECT_FALSE(mode->getValue(&value));

	// A switch starting at 1: what is read can be written back unchanged.
	VSTParameter* steps = plugIn.ParameterAt(4);
	steps->setValue(int32(2));
	ASSERT_TRUE(steps->getValue(&setting));
	EXPECT_EQ(setting, 2);
	steps->setValue(setting);
	steps->getValue(&setting);
	EXPECT_EQ(setting, 2);

	// Through the node's ids: parameters, then bypass, then mute.
	plugIn.setParameterAt(0, 0, 2);
	EXPECT_FALSE(plugIn.getParameterAt(0, &value, &setting));
	EXPECT_EQ(setting, 2);
	plugIn.setParameterAt(1, -6.0f, 0);
	EXPECT_TRUE(plugIn.getParameterAt(1, &value, &setting));
	EXPECT_FLOAT_EQ(value, -6.0f);
	setting = 99;
	EXPECT_FALSE(plugIn.getParameterAt(7, &value, &setting));
	EXPECT_EQ(setting, 99);
	plugIn.setParameterAt(-1, 1, 1);  // nothing
}

TEST(PlugIn, DiscreteItemsCarryThePlugInsTextsAndLeaveItsValue)
{
	Running running("switch");
	VSTParameter* mode = running.instance->ParameterAt(0);
	mode->setValue(int32(1));
	std::vector<VSTParameter::Item> items = mode->DiscreteItems();
	ASSERT_EQ(items.size(), 3u);
	EXPECT_EQ(items[0].value, 0);
	EXPECT_EQ(items[0].label, "Off");  // blanks around removed
	EXPECT_EQ(items[1].label, "Half");
	EXPECT_EQ(items[2].value, 2);
	EXPECT_EQ(items[2].label, "Full");
	int32 setting = -1;
	mode->getValue(&setting);
	EXPECT_EQ(setting, 1);

	// Declared without an integer step: one step at a time, from 1 to 3.
	items = running.instance->ParameterAt(4)->DiscreteItems();
	ASSERT_EQ(items.size(), 3u);
	EXPECT_EQ(items[0].label, "One");
	EXPECT_EQ(items[2].label, "Three");
	EXPECT_TRUE(running.instance->ParameterAt(1)->DiscreteItems().empty());
}

// A hand-made effect for ranges no test plug-in declares.
struct FakeSwitch {
	static intptr_t Dispatch(AEffect* e, int32_t opcode, int32_t, intptr_t, void* ptr, float)
	{
		auto* self = static_cast<FakeSwitch*>(e->object);
		if (opcode == effGetParameterProperties) {
			auto* p = static_cast<VstParameterProperties*>(ptr);
			p->flags = kVstParameterIsSwitch | kVstParameterUsesIntegerMinMax;
			p->minInteger = 0;
			p->maxInteger = self->maximum;
			return 1;
		}
		if (opcode == effGetParamName)
			strcpy(static_cast<char*>(ptr), "Big");
		return 0;
	}
	static void Set(AEffect* e, int32_t, float v) { static_cast<FakeSwitch*>(e->object)->value = v; }
	static float Get(AEffect* e, int32_t) { return static_cast<FakeSwitch*>(e->object)->value; }

	explicit FakeSwitch(int32_t max) : maximum(max)
	{
		effect.magic = kEffectMagic;
		effect.dispatcher = &Dispatch;
		effect.setParameter = &Set;
		effect.getParameter = &Get;
		effect.numParams = 1;
		effect.object = this;
	}
	AEffect effect{};
	int32_t maximum;
	float value = 0;
};

TEST(PlugIn, DiscreteSettingsRoundTripAndAbsurdRangesStayBounded)
{
	FakeSwitch ten(10);
	VSTParameter tenWay(&ten.effect, 0);
	for (int32 v = 0; v <= 10; v++) {
		tenWay.setValue(v);
		int32 read = -1;
		tenWay.getValue(&read);
		EXPECT_EQ(read, v);  // 7 / 10 as a float is 0.69999…: truncating would give 6
	}
	FakeSwitch huge(1000000000);
	VSTParameter hugeWay(&huge.effect, 0);
	EXPECT_EQ(int32(hugeWay.DiscreteItems().size()), VSTParameter::kMaxItems);
}

// Runs `blocks` blocks of a constant input through the gain (set to halve) and returns
// channel 1 of the last one.
std::vector<float> GainBlock(VSTPlugIn& gain, int32 frames = 128)
{
	Blocks in(2, frames, 1.0f), out(2, frames, 7.0f);
	gain.process(in.get(), out.get(), frames, 0);
	EXPECT_EQ(out.data[0], out.data[1]);
	return out.data[1];
}

TEST(PlugIn, BypassCrossfadesToTheDryInputAndBack)
{
	Running running("gain");
	VSTPlugIn& gain = *running.instance;
	gain.setParameterAt(0, 0.25f, 0);  // a gain of 0.5
	TestPlugInLog* log = TestPlugInLogOf("gain");
	EXPECT_EQ(GainBlock(gain)[0], 0.5f);

	gain.setBypass(true);
	EXPECT_EQ(log->bypassRequests, 1);  // offered to the plug-in first, which refused
	EXPECT_EQ(gain.BypassState(), 1);
	std::vector<float> out = GainBlock(gain);
	for (int32 i = 0; i < 64; i++)
		EXPECT_EQ(out[size_t(i)], 0.5f) << i;
	for (int32 i = 0; i < 64; i++) {
		const float g = 1.0f - float(i) / 64;
		EXPECT_FLOAT_EQ(out[size_t(64 + i)], g * 0.5f + (1 - g) * 1.0f) << i;
	}
	EXPECT_EQ(gain.BypassState(), 2);
	int32 calls = log->processCalls;
	out = GainBlock(gain);
	EXPECT_EQ(out, std::vector<float>(128, 1.0f));
	EXPECT_EQ(log->processCalls, calls);  // host bypass: the plug-in is not called
	float value;
	int32 on = 0;
	gain.getParameterAt(1, &value, &on);
	EXPECT_EQ(on, 1);

	// Asking again changes nothing.
	gain.setBypass(true);
	EXPECT_EQ(gain.BypassState(), 2);

	gain.setBypass(false);
	EXPECT_EQ(gain.BypassState(), 3);
	out = GainBlock(gain);
	for (int32 i = 0; i < 64; i++) {
		const float g = float(i) / 64;
		EXPECT_FLOAT_EQ(out[size_t(i)], g * 0.5f + (1 - g) * 1.0f) << i;
	}
	EXPECT_EQ(out[64], 0.5f);
	EXPECT_EQ(gain.BypassState(), 0);

	// Switched while stopped: straight to the state, no fade.
	gain.suspend();
	gain.setBypass(true);
	EXPECT_EQ(gain.BypassState(), 2);
	gain.setBypass(false);
	EXPECT_EQ(gain.BypassState(), 0);
}

TEST(PlugIn, MuteFadesOutAndInAndGoesStraightToMutedWhenStopped)
{
	Running running("gain");
	VSTPlugIn& gain = *running.instance;
	gain.setParameterAt(0, 0.25f, 0);
	gain.setMuted(true);
	EXPECT_EQ(gain.MuteState(), 1);
	std::vector<float> out = GainBlock(gain);
	EXPECT_EQ(out[63], 0.5f);
	for (int32 i = 0; i < 64; i++)
		EXPECT_FLOAT_EQ(out[size_t(64 + i)], 0.5f * (1.0f - float(i) / 64)) << i;
	EXPECT_EQ(gain.MuteState(), 2);
	float value;
	int32 on = 0;
	gain.getParameterAt(2, &value, &on);
	EXPECT_EQ(on, 1);

	gain.setMuted(false);
	EXPECT_EQ(gain.MuteState(), 3);
	out = GainBlock(gain);
	for (int32 i = 0; i < 64; i++)
		EXPECT_FLOAT_EQ(out[size_t(i)], 0.5f * float(i) / 64) << i;
	EXPECT_EQ(out[100], 0.5f);
	EXPECT_EQ(gain.MuteState(), 0);

	// The mute fade comes first; a pending bypass fade waits for the next block.
	gain.setMuted(true);
	gain.setBypass(true);
	GainBlock(gain);
	EXPECT_EQ(gain.MuteState(), 2);
	EXPECT_EQ(gain.BypassState(), 1);

	gain.suspend();
	gain.setMuted(false);
	EXPECT_EQ(gain.MuteState(), 0);
	gain.setMuted(true);
	EXPECT_EQ(gain.MuteState(), 2);

	// A block shorter than a fade fades across the whole block.
	Running shortBlocks("gain");
	shortBlocks.instance->setMuted(true);
	out = GainBlock(*shortBlocks.instance, 16);
	EXPECT_FLOAT_EQ(out[0], 1.0f);
	EXPECT_FLOAT_EQ(out[15], 1.0f / 16);
}

TEST(PlugIn, HostBypassCopiesTheMatchingOrTheFirstInput)
{
	Running splitter("splitter");
	splitter.instance->suspend();
	splitter.instance->setBypass(true);
	splitter.instance->resume();
	Blocks in(1, 32), out(2, 32, 9.0f);
	for (int32 i = 0; i < 32; i++)
		in.data[0][size_t(i)] = float(i);
	splitter.instance->process(in.get(), out.get(), 32, 0);
	EXPECT_EQ(out.data[0], in.data[0]);
	EXPECT_EQ(out.data[1], in.data[0]);

	Running gain("gain");
	gain.instance->suspend();
	gain.instance->setBypass(true);
	Blocks stereo(2, 32), copy(2, 32);
	stereo.data[0].assign(32, 0.25f);
	stereo.data[1].assign(32, -0.75f);
	gain.instance->process(stereo.get(), copy.get(), 32, 0);
	EXPECT_EQ(copy.data, stereo.data);

	// A plug-in without inputs has nothing to copy: silence.
	Running synth("synth");
	synth.instance->suspend();
	synth.instance->setBypass(true);
	Blocks none(0, 32), generated(2, 32, 3.0f);
	synth.instance->process(none.get(), generated.get(), 32, 0);
	EXPECT_EQ(generated.data[0], std::vector<float>(32, 0.0f));
}

TEST(PlugIn, APlugInThatTakesBypassIsLeftToDoIt)
{
	Running running("self-bypass");
	VSTPlugIn& plugIn = *running.instance;
	plugIn.setBypass(true);
	EXPECT_EQ(plugIn.BypassState(), -1);
	EXPECT_EQ(TestPlugInLogOf("self-bypass")->bypassRequests, 1);
	Blocks in(2, 128, 0.8f), out(2, 128);
	plugIn.process(in.get(), out.get(), 128, 0);
	EXPECT_EQ(out.data, in.data);  // its own bypass, no fade from the host
	float value;
	int32 on = 0;
	plugIn.getParameterAt(0, &value, &on);
	EXPECT_EQ(on, 1);
	plugIn.setBypass(false);
	EXPECT_EQ(plugIn.BypassState(), 0);
	plugIn.process(in.get(), out.get(), 128, 0);
	EXPECT_FLOAT_EQ(out.data[0][0], 0.4f);
}

TEST(PlugIn, AccumulatingPlugInsGetClearedOutputs)
{
	Running running("meter");
	Blocks in(2, 100, 0.3f), out(2, 100, 5.0f);
	running.instance->process(in.get(), out.get(), 100, 0);
	EXPECT_EQ(out.data, in.data);
	TestPlugInLog* log = TestPlugInLogOf("meter");
	EXPECT_EQ(log->accumulateCalls, 1);
	EXPECT_EQ(log->processCalls, 0);
	EXPECT_FALSE(running.instance->hasEditor());
}

TEST(PlugIn, CallbacksFromTheAudioPathBecomeControlPortMessages)
{
	port_id port = create_port(20, "chatty node");
	ASSERT_GT(port, 0);
	Running running("chatty", port);
	Blocks in(2, 64, 0.125f), out(2, 64);
	running.instance->process(in.get(), out.get(), 64, 0);

	int32 code = 0;
	VSTAutomateData automate{};
	ASSERT_EQ(read_port_etc(port, &code, &automate, sizeof(automate), B_RELATIVE_TIMEOUT, 0),
		ssize_t(sizeof(automate)));
	EXPECT_EQ(code, VST_AUTOMATE);
	EXPECT_EQ(automate.index, 0);
	EXPECT_EQ(automate.value, 0.125f);
	char none[8];
	EXPECT_EQ(read_port_etc(port, &code, none, sizeof(none), B_RELATIVE_TIMEOUT, 0), 0);
	EXPECT_EQ(code, VST_UPDATE_DISPLAY);
	read_port_etc(port, &code, none, sizeof(none), B_RELATIVE_TIMEOUT, 0);
	EXPECT_EQ(code, VST_NEED_IDLE);

	// Idle: more is wanted three times; each call reports changed I/O.
	EXPECT_TRUE(running.instance->callIdle());
	EXPECT_TRUE(running.instance->callIdle());
	EXPECT_TRUE(running.instance->callIdle());
	EXPECT_FALSE(running.instance->callIdle());
	EXPECT_EQ(port_count(port), 4);
	read_port_etc(port, &code, none, sizeof(none), B_RELATIVE_TIMEOUT, 0);
	EXPECT_EQ(code, VST_IO_CHANGED);

	// Closed: unregistered, so nothing more reaches the port.
	EXPECT_EQ(AudioMaster::getInstance()->getPortFor(running.instance->Effect()), port);
	AEffect* effect = running.instance->Effect();
	running.instance->close();
	EXPECT_EQ(AudioMaster::getInstance()->getPortFor(effect), 0);
	delete_port(port);
}

TEST(AudioMasterCallback, AnswersTheHostQuestions)
{
	auto ask = [](int32_t opcode, void* ptr = nullptr) {
		return AudioMaster::callback(nullptr, opcode, 0, 0, ptr, 0);
	};
	EXPECT_EQ(ask(audioMasterVersion), 2);
	EXPECT_EQ(ask(audioMasterIdle), 1);
	EXPECT_EQ(ask(audioMasterGetNumAutomatableParameters), 0);
	EXPECT_EQ(ask(audioMasterGetParameterQuantization), 1);
	EXPECT_EQ(ask(audioMasterWillReplaceOrAccumulate), 1);
	EXPECT_EQ(ask(audioMasterGetAutomationState), 4);
	EXPECT_EQ(ask(audioMasterGetVendorVersion), 40);
	EXPECT_EQ(ask(audioMasterGetLanguage), 1);
	EXPECT_EQ(ask(audioMasterCurrentId), 0);
	EXPECT_EQ(ask(audioMasterGetTime), 0);
	// Notifications for an effect without a port go nowhere, and say so by their answer.
	EXPECT_EQ(ask(audioMasterUpdateDisplay), 1);
	EXPECT_EQ(ask(audioMasterIOChanged), 0);
	char text[64] = {};
	EXPECT_EQ(ask(audioMasterGetVendorString, text), 1);
	EXPECT_STREQ(text, "Ravelin");
	EXPECT_EQ(ask(audioMasterGetProductString, text), 1);
	EXPECT_STREQ(text, "VSTAddOn");
	EXPECT_EQ(ask(audioMasterGetVendorString), 1);  // no buffer: nothing written

	char canDo[32];
	EXPECT_EQ(ask(audioMasterCanDo), 0);
	for (const char* yes : {"reportConnectionChanges", "acceptIOChanges", "sizeWindow",
			 "supplyIdle"})
		EXPECT_EQ(ask(audioMasterCanDo, strcpy(canDo, yes)), 1) << yes;
	for (const char* no : {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
			 "receiveVstEvents", "receiveVstMidiEvent", "receiveVstTimeInfo",
			 "asyncProcessing", "offline", "supportShell"})
		EXPECT_EQ(ask(audioMasterCanDo, strcpy(canDo, no)), -1) << no;
	EXPECT_EQ(ask(audioMasterCanDo, strcpy(canDo, "sizeWindowX")), 0);
	EXPECT_EQ(ask(audioMasterCanDo, strcpy(canDo, "")), 0);
}

TEST(AudioMasterCallback, RegistryMapsEffectsToPorts)
{
	AudioMaster* master = AudioMaster::getInstance();
	AEffect a{}, b{};
	a.numParams = 12;
	EXPECT_EQ(master->registerPlugIn(&a, 41), B_OK);
	EXPECT_EQ(master->registerPlugIn(&b, 42), B_OK);
	EXPECT_EQ(master->getPortFor(&a), 41);
	EXPECT_EQ(master->getPortFor(&b), 42);
	EXPECT_EQ(AudioMaster::callback(&a, audioMasterGetNumAutomatableParameters, 0, 0, nullptr,
		0), 12);
	EXPECT_EQ(master->unregisterPlugIn(&a), B_OK);
	EXPECT_EQ(master->getPortFor(&a), 0);
	EXPECT_EQ(master->getPortFor(&b), 42);
	EXPECT_EQ(master->unregisterPlugIn(&b), B_OK);
	EXPECT_EQ(master->getPortFor(nullptr), 0);
}

}  // namespace

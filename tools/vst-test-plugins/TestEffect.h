#pragma once
// The common part of the test plug-ins: an AEffect whose dispatcher answers the usual
// questions from a few fields, with hooks for each plug-in's own behaviour. Each plug-in
// source defines one TestEffect subclass and its entry with TEST_PLUGIN_ENTRY.

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "TestPlugInLog.h"
#include "vst/Vst2Interface.h"

extern "C" __attribute__((visibility("default"))) TestPlugInLog* test_plugin_log();

class TestEffect {
public:
	TestEffect(audioMasterCallback host, int32_t inputs, int32_t outputs, int32_t parameters,
		int32_t flags)
		:
		fHost(host),
		fParameters(size_t(parameters), 0.0f)
	{
		memset(&fEffect, 0, sizeof(fEffect));
		fEffect.magic = kEffectMagic;
		fEffect.dispatcher = &DispatchCall;
		fEffect.process = &AccumulateCall;
		fEffect.setParameter = &SetParameterCall;
		fEffect.getParameter = &GetParameterCall;
		fEffect.processReplacing = &ReplaceCall;
		fEffect.numInputs = inputs;
		fEffect.numOutputs = outputs;
		fEffect.numParams = parameters;
		fEffect.flags = flags | effFlagsCanReplacing;
		fEffect.object = this;
		fEffect.uniqueID = 0x54657374;  // 'Test'
		fEffect.version = 1;
		TestPlugInLog* log = test_plugin_log();
		*log = TestPlugInLog{};
		log->effects++;
		log->hostVersion = host(nullptr, audioMasterVersion, 0, 0, nullptr, 0);
		log->hostSampleRate = host(nullptr, audioMasterGetSampleRate, 0, 0, nullptr, 0);
		log->hostBlockSize = host(nullptr, audioMasterGetBlockSize, 0, 0, nullptr, 0);
	}
	virtual ~TestEffect() = default;

	AEffect* Effect() { return &fEffect; }

protected:
	// Answers an opcode; the base answers names, counts and the common switches.
	virtual intptr_t Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr,
		float opt)
	{
		TestPlugInLog* log = test_plugin_log();
		switch (opcode) {
			case effOpen:
				log->opens++;
				return 0;
			case effClose:
				log->closes++;
				delete this;
				return 0;
			case effMainsChanged:
				(value ? log->mainsOn : log->mainsOff)++;
				return 0;
			case effSetSampleRate:
				log->sampleRate = opt;
				return 0;
			case effSetBlockSize:
				log->blockSize = int32_t(value);
				return 0;
			case effSetBypass:
				log->bypassRequests++;
				return 0;
			case effIdle:
				log->idleCalls++;
				return 0;
			case effGetEffectName:
				return Copy(ptr, fName);
			case effGetVendorString:
				return Copy(ptr, "Suite Tests");
			case effGetProductString:
				return Copy(ptr, fProduct);
			case effGetVstVersion:
				return 2400;
			case effGetPlugCategory:
				return fCategory;
			case effGetParamName:
				return index >= 0 && index < fEffect.numParams ? Copy(ptr, ParameterName(index))
					: 0;
			case effGetParamDisplay:
				if (index < 0 || index >= fEffect.numParams)
					return 0;
				return Copy(ptr, ParameterDisplay(index));
			case effGetParamLabel:
				return index >= 0 && index < fEffect.numParams
					? Copy(ptr, ParameterLabel(index)) : 0;
			default:
				return 0;
		}
	}
	virtual void Process(float** in, float** out, int32_t frames) = 0;
	virtual std::string ParameterName(int32_t index) { return "Param " + std::to_string(index); }
	virtual std::string ParameterDisplay(int32_t index)
	{
		char text[32];
		snprintf(text, sizeof(text), "%.3f", double(fParameters[size_t(index)]));
		return text;
	}
	virtual std::string ParameterLabel(int32_t) { return std::string(); }
	virtual void SetParameter(int32_t index, float value) { fParameters[size_t(index)] = value; }

	static intptr_t Copy(void* ptr, const std::string& text)
	{
		if (ptr == nullptr)
			return 0;
		strcpy(static_cast<char*>(ptr), text.c_str());
		return 1;
	}

	AEffect fEffect;
	audioMasterCallback fHost;
	std::vector<float> fParameters;
	std::string fName = "Test Effect";
	std::string fProduct = "Test";
	int32_t fCategory = kPlugCategEffect;

private:
	static TestEffect* Self(AEffect* effect) { return static_cast<TestEffect*>(effect->object); }
	static intptr_t DispatchCall(AEffect* e, int32_t opcode, int32_t index, intptr_t value,
		void* ptr, float opt)
	{
		return Self(e)->Dispatch(opcode, index, value, ptr, opt);
	}
	static void ReplaceCall(AEffect* e, float** in, float** out, int32_t frames)
	{
		test_plugin_log()->processCalls++;
		test_plugin_log()->lastFrames = frames;
		Self(e)->Process(in, out, frames);
	}
	// Adds the processed block into the outputs, as the accumulating call must.
	static void AccumulateCall(AEffect* e, float** in, float** out, int32_t frames)
	{
		test_plugin_log()->accumulateCalls++;
		test_plugin_log()->lastFrames = frames;
		float scratch[8][4096];
		const int32_t outputs = std::min(e->numOutputs, 8);
		const int32_t n = std::min(frames, 4096);
		float* targets[8];
		for (int32_t c = 0; c < outputs; c++)
			targets[c] = scratch[c];
		Self(e)->Process(in, targets, n);
		for (int32_t c = 0; c < outputs; c++) {
			for (int32_t i = 0; i < n; i++)
				out[c][i] += scratch[c][i];
		}
	}
	static void SetParameterCall(AEffect* e, int32_t index, float value)
	{
		if (index >= 0 && index < e->numParams)
			Self(e)->SetParameter(index, value);
	}
	static float GetParameterCall(AEffect* e, int32_t index)
	{
		return index >= 0 && index < e->numParams ? Self(e)->fParameters[size_t(index)] : 0;
	}
};

// Defines the log and an entry named `symbol` that makes a `Class`.
#define TEST_PLUGIN_ENTRY(Class, symbol)                                              \
	extern "C" TestPlugInLog* test_plugin_log()                                       \
	{                                                                                 \
		static TestPlugInLog log;                                                     \
		return &log;                                                                  \
	}                                                                                 \
	extern "C" __attribute__((visibility("default"))) AEffect* symbol(                \
		audioMasterCallback host)                                                     \
	{                                                                                 \
		return (new Class(host))->Effect();                                           \
	}

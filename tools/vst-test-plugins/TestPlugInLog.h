#pragma once
// What a test plug-in was asked by its host, for the host's tests to read: every test
// plug-in exports `TestPlugInLog* test_plugin_log()` (the log of its newest effect).
// Plain data; the host's tests read it on the thread that drives the plug-in.

#include <cstdint>

struct TestPlugInLog {
	int32_t effects;          // effects made by the entry
	int32_t opens;
	int32_t closes;
	int32_t mainsOn;
	int32_t mainsOff;
	int32_t bypassRequests;   // effSetBypass calls
	int32_t idleCalls;
	int32_t processCalls;     // processReplacing or process
	int32_t accumulateCalls;  // process (the accumulating one)
	int32_t programSelections;
	int32_t lastFrames;
	int32_t blockSize;
	float sampleRate;
	// What the host callback answered during the entry call.
	intptr_t hostVersion;
	intptr_t hostSampleRate;
	intptr_t hostBlockSize;
};

typedef TestPlugInLog* (*TestPlugInLogFunction)();

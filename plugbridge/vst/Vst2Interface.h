#pragma once
// The binary interface between a host and a VST 2 effect plug-in on 64-bit Linux: the
// effect record a plug-in's entry returns, the property records the dispatcher fills,
// their flags, and the opcode numbers in both directions.
//
// A plug-in allocates its AEffect and owns it; a host reads the fields below and never
// relies on the record's size. Check `magic == kEffectMagic` before anything else.
// Strings a plug-in writes go into buffers the host zeroes and sizes generously
// (kVstStringBufferSize): many plug-ins write past the nominal lengths.

#include <cstddef>
#include <cstdint>

struct AEffect;

typedef intptr_t (*audioMasterCallback)(AEffect* effect, int32_t opcode, int32_t index,
	intptr_t value, void* ptr, float opt);
typedef intptr_t (*AEffectDispatcherProc)(AEffect* effect, int32_t opcode, int32_t index,
	intptr_t value, void* ptr, float opt);
typedef void (*AEffectProcessProc)(AEffect* effect, float** inputs, float** outputs,
	int32_t sampleFrames);
typedef void (*AEffectProcessDoubleProc)(AEffect* effect, double** inputs, double** outputs,
	int32_t sampleFrames);
typedef void (*AEffectSetParameterProc)(AEffect* effect, int32_t index, float value);
typedef float (*AEffectGetParameterProc)(AEffect* effect, int32_t index);

// The entry every plug-in exports (as VSTPluginMain, main or main_plugin).
typedef AEffect* (*VstPluginEntry)(audioMasterCallback host);

// 'VstP' read as a big-endian four-character constant.
constexpr int32_t kEffectMagic = 0x56737450;

struct AEffect {
	int32_t magic;
	AEffectDispatcherProc dispatcher;
	// The accumulating process call: adds into the outputs.
	AEffectProcessProc process;
	AEffectSetParameterProc setParameter;
	AEffectGetParameterProc getParameter;
	int32_t numPrograms;
	int32_t numParams;
	int32_t numInputs;
	int32_t numOutputs;
	int32_t flags;
	intptr_t resvd1;
	intptr_t resvd2;
	// Latency in samples.
	int32_t initialDelay;
	int32_t realQualities;
	int32_t offQualities;
	float ioRatio;
	void* object;
	void* user;
	int32_t uniqueID;
	int32_t version;
	AEffectProcessProc processReplacing;
	AEffectProcessDoubleProc processDoubleReplacing;
	char future[56];
};

static_assert(offsetof(AEffect, dispatcher) == 8);
static_assert(offsetof(AEffect, process) == 16);
static_assert(offsetof(AEffect, setParameter) == 24);
static_assert(offsetof(AEffect, getParameter) == 32);
static_assert(offsetof(AEffect, numPrograms) == 40);
static_assert(offsetof(AEffect, numParams) == 44);
static_assert(offsetof(AEffect, numInputs) == 48);
static_assert(offsetof(AEffect, numOutputs) == 52);
static_assert(offsetof(AEffect, flags) == 56);
static_assert(offsetof(AEffect, resvd1) == 64);
static_assert(offsetof(AEffect, resvd2) == 72);
static_assert(offsetof(AEffect, initialDelay) == 80);
static_assert(offsetof(AEffect, realQualities) == 84);
static_assert(offsetof(AEffect, offQualities) == 88);
static_assert(offsetof(AEffect, ioRatio) == 92);
static_assert(offsetof(AEffect, object) == 96);
static_assert(offsetof(AEffect, user) == 104);
static_assert(offsetof(AEffect, uniqueID) == 112);
static_assert(offsetof(AEffect, version) == 116);
static_assert(offsetof(AEffect, processReplacing) == 120);
static_assert(offsetof(AEffect, processDoubleReplacing) == 128);
static_assert(offsetof(AEffect, future) == 136);
static_assert(sizeof(AEffect) == 192);

// AEffect::flags
enum {
	effFlagsHasEditor = 1 << 0,
	effFlagsHasClip = 1 << 1,
	effFlagsHasVu = 1 << 2,
	effFlagsCanMono = 1 << 3,
	effFlagsCanReplacing = 1 << 4,
	effFlagsProgramChunks = 1 << 5,
	effFlagsIsSynth = 1 << 8,
	effFlagsNoSoundInStop = 1 << 9,
	effFlagsExtIsAsync = 1 << 10,
	effFlagsExtHasBuffer = 1 << 11,
	effFlagsCanDoubleReplacing = 1 << 12,
};

// Dispatcher opcodes (host to plug-in).
enum {
	effOpen = 0,
	effClose = 1,
	effSetProgram = 2,            // value: program
	effGetProgram = 3,
	effSetProgramName = 4,
	effGetProgramName = 5,        // ptr: buffer
	effGetParamLabel = 6,         // index, ptr
	effGetParamDisplay = 7,       // index, ptr
	effGetParamName = 8,          // index, ptr
	effGetVu = 9,
	effSetSampleRate = 10,        // opt: rate
	effSetBlockSize = 11,         // value: frames
	effMainsChanged = 12,         // value: 0 off, 1 on
	effEditGetRect = 13,          // ptr: ERect**
	effEditOpen = 14,             // ptr: parent window
	effEditClose = 15,
	effEditDraw = 16,
	effEditMouse = 17,
	effEditKey = 18,
	effEditIdle = 19,
	effEditTop = 20,
	effEditSleep = 21,
	effIdentify = 22,
	effGetChunk = 23,
	effSetChunk = 24,
	effProcessEvents = 25,
	effCanBeAutomated = 26,
	effString2Parameter = 27,
	effGetNumProgramCategories = 28,
	effGetProgramNameIndexed = 29,
	effCopyProgram = 30,
	effConnectInput = 31,
	effConnectOutput = 32,
	effGetInputProperties = 33,   // index, ptr: VstPinProperties*
	effGetOutputProperties = 34,  // index, ptr: VstPinProperties*
	effGetPlugCategory = 35,
	effSetSpeakerArrangement = 42,
	effSetBlockSizeAndSampleRate = 43,
	effSetBypass = 44,            // value: 0/1
	effGetEffectName = 45,        // ptr
	effGetErrorText = 46,
	effGetVendorString = 47,      // ptr
	effGetProductString = 48,     // ptr
	effGetVendorVersion = 49,
	effVendorSpecific = 50,
	effCanDo = 51,                // ptr: string; 1 yes, 0 unknown, -1 no
	effGetTailSize = 52,
	effIdle = 53,
	effGetIcon = 54,
	effSetViewPosition = 55,
	effGetParameterProperties = 56,  // index, ptr: VstParameterProperties*
	effKeysRequired = 57,
	effGetVstVersion = 58,
	effEditKeyDown = 59,
	effEditKeyUp = 60,
	effBeginSetProgram = 67,
	effEndSetProgram = 68,
	effStartProcess = 71,
	effStopProcess = 72,
	effSetProcessPrecision = 77,
};

// Host callback opcodes (plug-in to host).
enum {
	audioMasterAutomate = 0,      // index, opt: value
	audioMasterVersion = 1,
	audioMasterCurrentId = 2,
	audioMasterIdle = 3,
	audioMasterPinConnected = 4,
	audioMasterWantMidi = 6,
	audioMasterGetTime = 7,
	audioMasterProcessEvents = 8,
	audioMasterSetTime = 9,
	audioMasterTempoAt = 10,
	audioMasterGetNumAutomatableParameters = 11,
	audioMasterGetParameterQuantization = 12,
	audioMasterIOChanged = 13,
	audioMasterNeedIdle = 14,
	audioMasterSizeWindow = 15,   // index: width, value: height
	audioMasterGetSampleRate = 16,
	audioMasterGetBlockSize = 17,
	audioMasterGetInputLatency = 18,
	audioMasterGetOutputLatency = 19,
	audioMasterGetPreviousPlug = 20,
	audioMasterGetNextPlug = 21,
	audioMasterWillReplaceOrAccumulate = 22,
	audioMasterGetCurrentProcessLevel = 23,
	audioMasterGetAutomationState = 24,
	audioMasterSetOutputSampleRate = 30,
	audioMasterGetOutputSpeakerArrangement = 31,
	audioMasterGetVendorString = 32,
	audioMasterGetProductString = 33,
	audioMasterGetVendorVersion = 34,
	audioMasterVendorSpecific = 35,
	audioMasterSetIcon = 36,
	audioMasterCanDo = 37,
	audioMasterGetLanguage = 38,
	audioMasterOpenWindow = 39,
	audioMasterCloseWindow = 40,
	audioMasterGetDirectory = 41,
	audioMasterUpdateDisplay = 42,
	audioMasterBeginEdit = 43,
	audioMasterEndEdit = 44,
	audioMasterOpenFileSelector = 45,
	audioMasterCloseFileSelector = 46,
};

// VstParameterProperties::flags
enum {
	kVstParameterIsSwitch = 1 << 0,
	kVstParameterUsesIntegerMinMax = 1 << 1,
	kVstParameterUsesFloatStep = 1 << 2,
	kVstParameterUsesIntStep = 1 << 3,
	kVstParameterSupportsDisplayIndex = 1 << 4,
	kVstParameterSupportsDisplayCategory = 1 << 5,
	kVstParameterCanRamp = 1 << 6,
};

struct VstParameterProperties {
	float stepFloat;
	float smallStepFloat;
	float largeStepFloat;
	char label[64];
	int32_t flags;
	int32_t minInteger;
	int32_t maxInteger;
	int32_t stepInteger;
	int32_t largeStepInteger;
	char shortLabel[8];
	int16_t displayIndex;
	int16_t category;
	int16_t numParametersInCategory;
	int16_t reserved;
	char categoryLabel[24];
	char future[16];
};

static_assert(offsetof(VstParameterProperties, label) == 12);
static_assert(offsetof(VstParameterProperties, flags) == 76);
static_assert(offsetof(VstParameterProperties, minInteger) == 80);
static_assert(offsetof(VstParameterProperties, stepInteger) == 88);
static_assert(offsetof(VstParameterProperties, shortLabel) == 96);
static_assert(offsetof(VstParameterProperties, displayIndex) == 104);
static_assert(offsetof(VstParameterProperties, categoryLabel) == 112);
static_assert(offsetof(VstParameterProperties, future) == 136);
static_assert(sizeof(VstParameterProperties) == 152);

// VstPinProperties::flags
enum {
	kVstPinIsActive = 1 << 0,
	kVstPinIsStereo = 1 << 1,
	kVstPinUseSpeaker = 1 << 2,
};

struct VstPinProperties {
	char label[64];
	int32_t flags;
	int32_t arrangementType;
	char shortLabel[8];
	char future[48];
};

static_assert(offsetof(VstPinProperties, flags) == 64);
static_assert(offsetof(VstPinProperties, shortLabel) == 72);
static_assert(sizeof(VstPinProperties) == 128);

// effGetPlugCategory answers.
enum {
	kPlugCategUnknown = 0,
	kPlugCategEffect = 1,
	kPlugCategSynth = 2,
	kPlugCategAnalysis = 3,
	kPlugCategMastering = 4,
	kPlugCategSpacializer = 5,
	kPlugCategRoomFx = 6,
	kPlugSurroundFx = 7,
	kPlugCategRestoration = 8,
	kPlugCategOfflineProcess = 9,
	kPlugCategShell = 10,
	kPlugCategGenerator = 11,
};

struct ERect {
	int16_t top;
	int16_t left;
	int16_t bottom;
	int16_t right;
};

static_assert(sizeof(ERect) == 8);

// Nominal lengths of the strings plug-ins fill, with terminator.
enum {
	kVstMaxParamStrLen = 8,
	kVstMaxProgNameLen = 24,
	kVstMaxEffectNameLen = 32,
	kVstMaxVendorStrLen = 64,
	kVstMaxProductStrLen = 64,
};

// What a host gives a plug-in to write any string into.
constexpr size_t kVstStringBufferSize = 256;

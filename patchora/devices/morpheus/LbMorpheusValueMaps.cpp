#include "devices/morpheus/LbMorpheusValueMaps.h"

#include "app/LbKeyName.h"

#include <cstdio>
#include <cstring>

status_t LbTableMap::IdForName(const char* name, int32* id) const
{
    if (name == nullptr || id == nullptr) return B_ERROR;
    for (int32 i = 0; i < mCount; i++) {
        if (mEntries[i].name != nullptr && strcmp(mEntries[i].name, name) == 0) {
            *id = mEntries[i].id;
            return B_OK;
        }
    }
    return B_ERROR;
}

status_t LbTableMap::NameForId(int32 id, const char** name) const
{
    if (name == nullptr) return B_ERROR;
    for (int32 i = 0; i < mCount; i++) {
        if (mEntries[i].id == id && mEntries[i].name != nullptr) {
            *name = mEntries[i].name;
            return B_OK;
        }
    }
    return B_ERROR;
}

namespace {

template <int32 N>
constexpr int32 Count(const LbIdName (&)[N])
{
    return N;
}

const LbIdName kBendRange[] = {{0, "0"}, {1, "+/- 1"}, {2, "+/- 2"}, {3, "+/- 3"}, {4, "+/- 4"},
                               {5, "+/- 5"}, {6, "+/- 6"}, {7, "+/- 7"}, {8, "+/- 8"}, {9, "+/- 9"},
                               {10, "+/- 10"}, {11, "+/- 11"}, {12, "+/- 12"}, {13, "Global"}};
const LbIdName kTuning[] = {{0, "Equal"}, {1, "Just C"}, {2, "Vallotti"}, {3, "19-Tone"}, {4, "Gamelan"},
                            {5, "User"}};
const LbIdName kMixBus[] = {{-1, "Preset"}, {0, "Main"}, {1, "Sub 1"}, {2, "FX A"}, {3, "FX B"}};
const LbIdName kFxBus[] = {{0, "Main"}, {1, "Sub 1"}, {2, "Sub 2"}};
const LbIdName kProgram[] = {{-1, "Off"}, {0, "1"}, {1, "2"}, {2, "3"}, {3, "4"}};
const LbIdName kPortMode[] = {{0, "Mono"}, {1, "Poly 1 Key"}, {2, "Poly 2 Key"}, {3, "Poly 3 Key"},
                              {4, "Poly 4 Key"}, {5, "Poly 5 Key"}};
const LbIdName kVelCurve[] = {{0, "Off"}, {1, "Curve 1"}, {2, "Curve 2"}, {3, "Curve 3"}, {4, "Curve 4"},
                              {5, "Global"}};
const LbIdName kLfoShape[] = {{0, "Random"}, {1, "Tri"}, {2, "Sine"}, {3, "Saw"}, {4, "Square"}};
const LbIdName kXfadeMode[] = {{0, "Off"}, {1, "Crossfade"}, {2, "Cross-Switch"}};
const LbIdName kXfadeDir[] = {{0, "Primary->Secondary"}, {1, "Secondary->Primary"}};
const LbIdName kSoloMode[] = {{0, "Off"}, {1, "Wind"}, {2, "Synth"}};
const LbIdName kSoloPriority[] = {{0, "Hi"}, {1, "Low"}, {2, "First"}, {3, "Last"}, {4, "Drum"}};
const LbIdName kPortShape[] = {{0, "Linear"}, {1, "Expo 1"}, {2, "Expo 2"}, {3, "Expo 3"}, {4, "Expo 4"},
                               {5, "Expo 5"}, {6, "Expo 6"}, {7, "Expo 7"}, {8, "Expo 8"}};
const LbIdName k1To8[] = {{0, "1"}, {1, "2"}, {2, "3"}, {3, "4"}, {4, "5"}, {5, "6"}, {6, "7"}, {7, "8"}};
const LbIdName kNoteOnSources[] = {{0, "Key"}, {1, "Velocity"}, {2, "Pitchwheel"}, {3, "Control A"},
                                   {4, "Control B"}, {5, "Control C"}, {6, "Control D"}, {7, "Mono Pressure"},
                                   {8, "Free-run Function Generator"}};
const LbIdName kRealtimeSources[] = {{0, "Pitchwheel"}, {1, "Control A"}, {2, "Control B"}, {3, "Control C"},
                                     {4, "Control D"}, {5, "Mono Pressure"}, {6, "Poly Pressure"},
                                     {7, "LFO 1"}, {8, "LFO 2"}, {9, "Auxiliary Envelope"},
                                     {10, "Function Generator 1"}, {11, "Function Generator 2"},
                                     {12, "Free-run Function Generator"}};
const LbIdName kFgCondition[] = {{0, "Never"}, {1, "AlwaysEnd"}, {2, "NoteOnEnd"}, {3, "NoteOnImm"},
                                 {4, "NoteOffEnd"}, {5, "NoteOffImm"}, {6, "LFO1End"}, {7, "LFO2End"},
                                 {8, "Footswitch1End"}, {9, "Footswitch1Imm"}, {10, "Footswitch2End"},
                                 {11, "Footswitch2Imm"}, {12, "Footswitch3End"}, {13, "Footswitch3Imm"},
                                 {14, "VelocityEnd"}, {15, "KeyEnd"}};
const LbIdName kPortRate[] = {{0, "Off"}};
const LbIdName kMmmPan[] = {{-8, "Preset"}};
const LbIdName kBToA[] = {{101, "A Only"}};
const LbIdName kMhpBank[] = {{0, "Preset - RAM"}, {1, "Preset - ROM"}, {2, "Preset - Card"}};
const LbIdName kMmmBank[] = {{0, "Preset - RAM"}, {1, "Preset - ROM"}, {2, "Hyperpreset - RAM"},
                             {3, "Preset - Card"}, {4, "Hyperpreset - Card"}};

#define LB_DESTINATIONS(START, TONE, XFORM2, FILTER)                                                           \
    {0, "Off"}, {1, "Pitch"}, {2, "Pitch Primary"}, {3, "Pitch Secondary"}, {4, "Volume"},                     \
        {5, "Volume Primary"}, {6, "Volume Secondary"}, {7, "Attack"}, {8, "Attack Primary"},                  \
        {9, "Attack Secondary"}, {10, "Decay"}, {11, "Decay Primary"}, {12, "Decay Secondary"},                \
        {13, "Release"}, {14, "Release Primary"}, {15, "Release Secondary"}, {16, "Crossfade"},                \
        {17, "LFO 1 Amount"}, {18, "LFO 1 Rate"}, {19, "LFO 2 Amount"}, {20, "LFO 2 Rate"},                    \
        {21, "Auxiliary Amount"}, {22, "Auxiliary Attack"}, {23, "Auxiliary Decay"},                           \
        {24, "Auxiliary Release"}, {25, START("Start")}, {26, START("Start Primary")},                         \
        {27, START("Start Secondary")}, {28, "Pan"}, {29, "Pan Primary"}, {30, "Pan Secondary"},               \
        {31, TONE("Tone")}, {32, TONE("Tone Primary")}, {33, TONE("Tone Secondary")}, {34, "Morph"},           \
        {35, "Morph Primary"}, {36, "Morph Secondary"}, {37, XFORM2("Transform 2")},                           \
        {38, XFORM2("Transform 2 Primary")}, {39, XFORM2("Transform 2 Secondary")},                            \
        {40, "Portamento Rate"}, {41, "Portamento Rate Primary"}, {42, "Portamento Rate Secondary"},           \
        {43, "Function Generator 1 Amount"}, {44, "Function Generator 2 Amount"}, {45, FILTER("Filter Level")}, \
        {46, FILTER("Filter Level Primary")}, {47, FILTER("Filter Level Secondary")},                          \
        {48, FILTER("Frequency Tracking")}, {49, FILTER("Frequency Tracking Primary")},                        \
        {50, FILTER("Frequency Tracking Secondary")}

#define LB_NAMED(text) text
#define LB_UNNAMED(text) nullptr
const LbIdName kNoteOnDestinations[] = {LB_DESTINATIONS(LB_NAMED, LB_NAMED, LB_NAMED, LB_NAMED)};
const LbIdName kRealtimeDestinations[] = {LB_DESTINATIONS(LB_UNNAMED, LB_UNNAMED, LB_UNNAMED, LB_UNNAMED)};
#undef LB_NAMED
#undef LB_UNNAMED
#undef LB_DESTINATIONS

const LbIdName kFgShape[] = {
    {0, "Linear"}, {1, "Exponential+1"}, {2, "Exponential+2"}, {3, "Exponential+3"}, {4, "Exponential+4"},
    {5, "Exponential+5"}, {6, "Exponential+6"}, {7, "Exponential+7"}, {8, "Circle 1.4"}, {9, "Circle 1.6"},
    {10, "Circle 1.8"}, {11, "Circle 1.16"}, {12, "Squeeze"}, {13, "Fast Line 1"}, {14, "Fast Line 2"},
    {15, "Fast Line 3"}, {16, "Medium Line 1"}, {17, "Medium Line 2"}, {18, "Slow Ramp 1"}, {19, "Slow Ramp2"},
    {20, "Bloom"}, {21, "Bloom 2"}, {22, "Circle 1.16 R"}, {23, "Circle 1.8 R"}, {24, "Circle 1.6 R"},
    {25, "Circle 1.4 R"}, {26, "Slow Curve 1"}, {27, "Slow Curve 2"}, {28, "Delay DC"}, {29, "DC Delay"},
    {30, "Curve 2x"}, {31, "Curve 2x B"}, {32, "Curve 2x C"}, {33, "Zig-Zag 1"}, {34, "Zig-Zag 2"},
    {35, "Zig-Zag 3"}, {36, "Chaos 03"}, {37, "Chaos 06"}, {38, "Chaos 12"}, {39, "Chaos 16"},
    {40, "Chaos 25"}, {41, "Chaos 33"}, {42, "Chaos 37"}, {43, "Chaos 50"}, {44, "Chaos 66"},
    {45, "Chaos 75"}, {46, "Chaos 95"}, {47, "Chaos 99"}, {48, "Linear Shuffle"}, {49, "Linear Shuffle 2"},
    {50, "Random A"}, {51, "Random B"}, {52, "Random C"}, {53, "Random D"}, {54, "Random E"},
    {55, "Random F"}, {56, "Random G"}, {57, "Random H"}, {58, "Random I"}, {59, "Random J"},
    {60, "Random K"}, {61, "Random L"}, {62, "Random Z"}};

} // namespace

#define LB_DEFINE_TABLE_MAP(Name, table) \
    Name::Name() : LbTableMap(table, Count(table)) {}

LB_DEFINE_TABLE_MAP(LbBendRangeMap, kBendRange)
LB_DEFINE_TABLE_MAP(LbTuningMap, kTuning)
LB_DEFINE_TABLE_MAP(LbMixBusMap, kMixBus)
LB_DEFINE_TABLE_MAP(LbFxBusMap, kFxBus)
LB_DEFINE_TABLE_MAP(LbProgramMap, kProgram)
LB_DEFINE_TABLE_MAP(LbPortModeMap, kPortMode)
LB_DEFINE_TABLE_MAP(LbVelCurveMap, kVelCurve)
LB_DEFINE_TABLE_MAP(LbLfoShapeMap, kLfoShape)
LB_DEFINE_TABLE_MAP(LbXfadeModeMap, kXfadeMode)
LB_DEFINE_TABLE_MAP(LbXfadeDirMap, kXfadeDir)
LB_DEFINE_TABLE_MAP(LbSoloModeMap, kSoloMode)
LB_DEFINE_TABLE_MAP(LbSoloPriorityMap, kSoloPriority)
LB_DEFINE_TABLE_MAP(LbPortShapeMap, kPortShape)
LB_DEFINE_TABLE_MAP(Lb1To8Map, k1To8)
LB_DEFINE_TABLE_MAP(LbNoteOnSourcesMap, kNoteOnSources)
LB_DEFINE_TABLE_MAP(LbRealtimeSourcesMap, kRealtimeSources)
LB_DEFINE_TABLE_MAP(LbFgConditionMap, kFgCondition)
LB_DEFINE_TABLE_MAP(MpPortRateMap, kPortRate)
LB_DEFINE_TABLE_MAP(MmmPanMap, kMmmPan)
LB_DEFINE_TABLE_MAP(MmmBToAMap, kBToA)
LB_DEFINE_TABLE_MAP(LbMhpBankMap, kMhpBank)
LB_DEFINE_TABLE_MAP(LbMmmBankMap, kMmmBank)
LB_DEFINE_TABLE_MAP(LbNoteOnDestinationsMap, kNoteOnDestinations)
LB_DEFINE_TABLE_MAP(LbRealtimeDestinationsMap, kRealtimeDestinations)
LB_DEFINE_TABLE_MAP(LbFgShapeMap, kFgShape)

#undef LB_DEFINE_TABLE_MAP

status_t LbKeyMap::IdForName(const char* name, int32* id) const
{
    if (name == nullptr || id == nullptr) return B_ERROR;
    for (int32 k = 0; k < 128; k++) {
        if (strcmp(KeyName(k), name) == 0) {
            *id = k;
            return B_OK;
        }
    }
    return B_ERROR;
}

status_t LbKeyMap::NameForId(int32 id, const char** name) const
{
    if (name == nullptr || id < 0 || id > 127) return B_ERROR;
    *name = KeyName(id);
    return B_OK;
}

status_t IProgramMap::IdForName(const char*, int32*) const
{
    return B_ERROR;
}

status_t IProgramMap::NameForId(int32 id, const char** name) const
{
    if (name == nullptr) return B_ERROR;
    snprintf(mBuffer, sizeof mBuffer, "%ld", long(id));
    *name = mBuffer;
    return B_OK;
}

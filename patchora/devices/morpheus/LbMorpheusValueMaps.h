#pragma once
// The fixed value maps of the Morpheus model: the names the editors show for the values of
// menus and knobs. Each answers NameForId for its own ids and -1 for any other; IdForName
// compares names exactly, front to back, so the first equal name wins. Indexes are ids.
#include "params/LbIntToStringMapI.h"

struct LbIdName {
    int32 id;
    const char* name;   // null: the id has no name in this map
};

class LbTableMap : public LbIntToStringMapI {
public:
    LbTableMap(const LbIdName* entries, int32 count) : mEntries(entries), mCount(count) {}
    status_t IdForName(const char* name, int32* id) const override;
    status_t NameForId(int32 id, const char** name) const override;
    int32 CountEntries() const { return mCount; }

private:
    const LbIdName* mEntries;   // static table
    int32 mCount;
};

#define LB_DECLARE_TABLE_MAP(Name) \
    class Name : public LbTableMap { \
    public: \
        Name(); \
    }

LB_DECLARE_TABLE_MAP(LbBendRangeMap);
LB_DECLARE_TABLE_MAP(LbTuningMap);
LB_DECLARE_TABLE_MAP(LbMixBusMap);
LB_DECLARE_TABLE_MAP(LbFxBusMap);
LB_DECLARE_TABLE_MAP(LbProgramMap);
LB_DECLARE_TABLE_MAP(LbPortModeMap);
LB_DECLARE_TABLE_MAP(LbVelCurveMap);
LB_DECLARE_TABLE_MAP(LbLfoShapeMap);
LB_DECLARE_TABLE_MAP(LbXfadeModeMap);
LB_DECLARE_TABLE_MAP(LbXfadeDirMap);
LB_DECLARE_TABLE_MAP(LbSoloModeMap);
LB_DECLARE_TABLE_MAP(LbSoloPriorityMap);
LB_DECLARE_TABLE_MAP(LbPortShapeMap);
LB_DECLARE_TABLE_MAP(Lb1To8Map);
LB_DECLARE_TABLE_MAP(LbNoteOnSourcesMap);
LB_DECLARE_TABLE_MAP(LbRealtimeSourcesMap);
LB_DECLARE_TABLE_MAP(LbFgConditionMap);
LB_DECLARE_TABLE_MAP(MpPortRateMap);
LB_DECLARE_TABLE_MAP(MmmPanMap);
LB_DECLARE_TABLE_MAP(MmmBToAMap);
LB_DECLARE_TABLE_MAP(LbMhpBankMap);
LB_DECLARE_TABLE_MAP(LbMmmBankMap);
LB_DECLARE_TABLE_MAP(LbNoteOnDestinationsMap);
// As the note-on destinations, without those real-time cords cannot reach (start, tone,
// transform 2, filter level and frequency tracking).
LB_DECLARE_TABLE_MAP(LbRealtimeDestinationsMap);
LB_DECLARE_TABLE_MAP(LbFgShapeMap);

#undef LB_DECLARE_TABLE_MAP

// Keys 0..127 named "C-2" .. "G8".
class LbKeyMap : public LbIntToStringMapI {
public:
    status_t IdForName(const char* name, int32* id) const override;
    status_t NameForId(int32 id, const char** name) const override;
};

// Program menus: every id is named by its number; no name leads back to an id.
class IProgramMap : public LbIntToStringMapI {
public:
    status_t IdForName(const char* name, int32* id) const override;
    status_t NameForId(int32 id, const char** name) const override;

private:
    mutable char mBuffer[16] = {};
};

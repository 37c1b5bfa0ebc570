#pragma once
// Value-to-name maps: the names an editor shows for the values of a parameter (instrument
// names, filter types, ...). Indexes are positions in a menu; ids are the values stored in
// the patch. By default the two are the same. All operations give 0, or -1 when the id,
// index or name is not in the map. Returned names stay owned by the map.
#include "kernel/SupportDefs.h"

class LbIntToStringMapI {
public:
    // Gives the map up: destroys it unless a subclass shares it. Release(null) is ignored.
    virtual void Release() { delete this; }
    static void Release(LbIntToStringMapI* map) { if (map) map->Release(); }

    virtual status_t IdForIndex(int32 index, int32* id) const;
    virtual status_t IdForName(const char* name, int32* id) const = 0;
    virtual status_t IndexForId(int32 id, int32* index) const;
    virtual status_t IndexForName(const char* name, int32* index) const;
    virtual status_t NameForId(int32 id, const char** name) const = 0;
    virtual status_t NameForIndex(int32 index, const char** name) const;

protected:
    virtual ~LbIntToStringMapI() = default;
};

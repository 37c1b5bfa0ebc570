#include "params/LbIntToStringMapI.h"

status_t LbIntToStringMapI::IdForIndex(int32 index, int32* id) const
{
    if (id == nullptr) return B_ERROR;
    *id = index;
    return B_OK;
}

status_t LbIntToStringMapI::IndexForId(int32 id, int32* index) const
{
    if (index == nullptr) return B_ERROR;
    *index = id;
    return B_OK;
}

status_t LbIntToStringMapI::IndexForName(const char* name, int32* index) const
{
    int32 id;
    if (IdForName(name, &id) != B_OK) return B_ERROR;
    return IndexForId(id, index);
}

status_t LbIntToStringMapI::NameForIndex(int32 index, const char** name) const
{
    int32 id;
    if (IdForIndex(index, &id) != B_OK) return B_ERROR;
    return NameForId(id, name);
}

#pragma once
#include "kernel/SupportDefs.h"

class LbPatchI;

// Iterators over patches and patch numbers. Peek gives the current item without moving
// (null / -1 at the end), Next gives it and moves on, HasNext is true while Peek has one.
class LbPatchIteratorI {
public:
    virtual ~LbPatchIteratorI() = default;
    virtual bool HasNext() = 0;
    virtual LbPatchI* Next() = 0;
    virtual LbPatchI* Peek() = 0;
    virtual int32 Size() = 0;
};

class LbInt32IteratorI {
public:
    virtual ~LbInt32IteratorI() = default;
    virtual bool HasNext() = 0;
    virtual int32 Next() = 0;
    virtual int32 Peek() = 0;
    virtual status_t Size(int32* count) = 0;
};

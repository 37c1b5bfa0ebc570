#pragma once
// LbPreferencesI: the program's table of look values, built once at start and read-only
// afterwards: sizes and colours by key, for the editor views. An unknown key answers 0
// (size) or opaque black (colour).
// Threads: any thread may read.
#include "kernel/Geometry.h"
#include "kernel/SupportDefs.h"

class LbPreferencesI {
public:
    virtual ~LbPreferencesI() = default;
    virtual float Size(uint32 key) const = 0;
    virtual rgb_color Color(uint32 key) const = 0;
};

#pragma once
#include "kernel/SupportDefs.h"

// Anything that takes a System Exclusive reply: the bytes without F0/F7, their length
// and the time stamp.
class LbDataReceiverI {
public:
    virtual ~LbDataReceiverI() = default;
    virtual void SystemExclusive(const uint8* data, uint32 length, uint32 time) = 0;
};

#pragma once
// Change notification between controls bound to the same parameter: moving one point of a
// curve tells the number fields of that parameter, and the other way round.
#include "kernel/SupportDefs.h"

#include <vector>

class LbParam;

class LbIntChangeConsumer {
public:
    virtual ~LbIntChangeConsumer() = default;
    virtual void IntChange(const LbParam* param, int32 value) = 0;
};

class LbIntChangeProducer {
public:
    // No duplicate check: a consumer added twice hears every change twice.
    void AddIntConsumer(LbIntChangeConsumer* consumer);
    // Tells every consumer, in the order they were added.
    void SendIntChange(const LbParam* param, int32 value) const;

private:
    std::vector<LbIntChangeConsumer*> mConsumers;   // not owned
};

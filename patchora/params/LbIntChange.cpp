#include "params/LbIntChange.h"

#include <cassert>

void LbIntChangeProducer::AddIntConsumer(LbIntChangeConsumer* consumer)
{
    assert(consumer != nullptr && "consumer != 0");
    mConsumers.push_back(consumer);
}

void LbIntChangeProducer::SendIntChange(const LbParam* param, int32 value) const
{
    for (LbIntChangeConsumer* consumer : mConsumers) consumer->IntChange(param, value);
}

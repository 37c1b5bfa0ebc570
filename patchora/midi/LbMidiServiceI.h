#pragma once
#include "kernel/SupportDefs.h"

class BMidiConsumer;
class BMidiProducer;
class BMidiLocalProducer;
class LbDataI;
class LbDataReceiverI;
class LbSequencerRulesI;

// The one path between a device and the instrument's MIDI ports: sends SysEx and program
// changes, hands the next incoming SysEx message to the receiver that waits for it, and
// runs the audition loop.
class LbMidiServiceI {
public:
    virtual ~LbMidiServiceI() = default;
    virtual uint8 MidiChannel() const = 0;
    virtual void SetMidiChannel(uint8 channel) = 0;
    virtual status_t SetMidiConsumer(BMidiConsumer* consumer) = 0;
    virtual const char* MidiConsumerName() const = 0;
    virtual status_t SetMidiProducer(BMidiProducer* producer) = 0;
    virtual const char* MidiProducerName() const = 0;
    virtual void SetSequencerRules(LbSequencerRulesI* rules) = 0;
    virtual LbSequencerRulesI* SequencerRules() const = 0;
    virtual status_t SendSystemExclusive(const LbDataI* data, bool awaitReply, LbDataReceiverI* receiver) = 0;
    virtual void SystemExclusive(const uint8* data, uint32 length, uint32 time) = 0;
    virtual status_t StartSequence(int32 flags) = 0;
    virtual status_t StopSequence(int32 flags) = 0;
    virtual BMidiLocalProducer* MidiOutput() const = 0;
    virtual void OpenSequencer() = 0;
};

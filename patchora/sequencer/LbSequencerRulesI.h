#pragma once
// The audition sequencer: a phrase the instrument plays while the user edits. Start plays
// until Stop is called (from another thread) and returns only then.
#include "kernel/SupportDefs.h"

class BMessage;
class BMidiLocalProducer;
class QWidget;
struct BPoint;

class LbSequencerRulesI {
public:
    virtual ~LbSequencerRulesI() = default;
    virtual uint32 Tempo() const = 0;
    virtual void SetTempo(uint32 tempo) = 0;
    virtual void Init() = 0;
    virtual void Start(BMidiLocalProducer* producer) = 0;
    virtual void Stop(BMidiLocalProducer* producer) = 0;
    virtual void AddControls(QWidget* view, BPoint topLeft) = 0;
    virtual void MessageReceived(BMessage* message) = 0;
};

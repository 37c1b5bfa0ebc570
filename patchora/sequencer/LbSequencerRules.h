#pragma once
#include "sequencer/LbSequencerRulesI.h"

#include <condition_variable>
#include <mutex>

// The audition rules a MIDI service starts with. It keeps its tempo and holds the loop
// in Start until Stop; the note phrase itself and its controls are not played yet.
class LbSequencerRules : public LbSequencerRulesI {
public:
    explicit LbSequencerRules(uint8 channel = 0) : mChannel(channel) {}

    uint32 Tempo() const override;
    void SetTempo(uint32 tempo) override;
    void Init() override {}
    void Start(BMidiLocalProducer* producer) override;
    void Stop(BMidiLocalProducer* producer) override;
    void AddControls(QWidget* view, BPoint topLeft) override;
    void MessageReceived(BMessage* message) override {}

    bool IsPlaying() const;
    uint8 Channel() const { return mChannel; }

private:
    mutable std::mutex mLock;
    std::condition_variable mStopped;
    uint32 mTempo = 120;
    bool mPlaying = false;
    bool mStopRequested = false;
    uint8 mChannel;
};

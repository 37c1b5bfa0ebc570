#pragma once
// The path between one device and its instrument's MIDI ports.
//
// Requests: SendSystemExclusive with awaitReply set blocks the calling thread until the
// next System Exclusive message from the instrument has been handed to the receiver and
// the receiver has returned, or until ResponseTimeOut() passes (LB_NO_RESPONSE). A reply
// whose receiver is still at work when the time-out passes gets as long again; past that
// the request returns B_TIMED_OUT while the receiver goes on (it must outlive the
// delivery: IsWaiting() stays true until it has returned). One request at a time: a
// second one while a reply is awaited gets LB_BUSY. The waiting is a condition variable,
// not a poll.
//
// Replies arrive on the input's delivery thread; the receiver runs there.
//
// Audition: StartSequence runs the sequencer rules on a thread of their own ("ORB™ Play
// Loop") until StopSequence. A loop started with bit 0 of the flags set is stopped only
// by a stop with bit 0 set. StartSequence waits for an outstanding request to end, at
// most twice ResponseTimeOut(), else returns LB_BUSY.
#include "midi/LbMidiServiceI.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class LbMidiInput;

class LbMidiService : public LbMidiServiceI {
public:
    LbMidiService();
    ~LbMidiService() override;
    LbMidiService(const LbMidiService&) = delete;
    LbMidiService& operator=(const LbMidiService&) = delete;

    uint8 MidiChannel() const override { return mChannel; }
    void SetMidiChannel(uint8 channel) override { mChannel = channel; }
    status_t SetMidiConsumer(BMidiConsumer* consumer) override;
    const char* MidiConsumerName() const override;
    status_t SetMidiProducer(BMidiProducer* producer) override;
    const char* MidiProducerName() const override;
    void SetSequencerRules(LbSequencerRulesI* rules) override;
    LbSequencerRulesI* SequencerRules() const override { return mRules; }
    status_t SendSystemExclusive(const LbDataI* data, bool awaitReply, LbDataReceiverI* receiver) override;
    void SystemExclusive(const uint8* data, uint32 length, uint32 time) override;
    status_t StartSequence(int32 flags) override;
    status_t StopSequence(int32 flags) override;
    BMidiLocalProducer* MidiOutput() const override { return mOutput; }
    void OpenSequencer() override;

    virtual bigtime_t ResponseTimeOut() const { return 3000000; }

    // Whether a reply is awaited now (for tests and status displays).
    bool IsWaiting() const;
    bool IsPlaying() const { return mPlaying.load(); }

private:
    void PlayLoop();
    // With mReplyLock held: no reply is awaited any more; wakes whoever waits for that.
    void EndWait();

    uint8 mChannel = 0;
    LbSequencerRulesI* mRules;
    BMidiConsumer* mConsumer = nullptr;
    BMidiLocalProducer* mOutput = nullptr;
    BMidiProducer* mProducer = nullptr;
    LbMidiInput* mInput = nullptr;

    // Reply state, guarded by mReplyLock.
    mutable std::mutex mReplyLock;
    std::condition_variable mReplyDone;
    LbDataReceiverI* mReceiver = nullptr;
    bool mWaiting = false;
    bool mDelivering = false;
    std::thread::id mDeliveryThread;

    // Audition state, guarded by mSequenceLock.
    std::mutex mSequenceLock;
    std::thread mLoopThread;
    std::mutex mLoopEndLock;
    std::condition_variable mLoopEnded;
    bool mLoopRunning = false;   // guarded by mLoopEndLock
    std::atomic<bool> mPlaying{false};
    std::atomic<int32> mSequenceFlags{0};
};

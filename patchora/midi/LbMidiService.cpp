#include "midi/LbMidiService.h"

#include "kernel/OS.h"
#include "librarian/LbDataI.h"
#include "librarian/LbDataReceiverI.h"
#include "librarian/LbStatus.h"
#include "midi/MidiConsumer.h"
#include "midi/MidiProducer.h"
#include "sequencer/LbSequencerRules.h"

#include <cassert>
#include <chrono>

// The instrument's incoming messages: every System Exclusive message goes to the service.
class LbMidiInput : public BMidiLocalConsumer {
public:
    explicit LbMidiInput(LbMidiService* service) : mService(service) {}
    void SystemExclusive(void* data, size_t length, bigtime_t time) override
    {
        if (length > UINT32_MAX) return;
        // Called by name, not through the service's virtual table: a message may come
        // while the service is being destroyed (its destructor waits for this call to
        // end before anything it uses goes), and destruction rewrites that table.
        mService->LbMidiService::SystemExclusive(static_cast<const uint8*>(data), uint32(length),
                                                 uint32(time));
    }

private:
    LbMidiService* mService;
};

LbMidiService::LbMidiService() : mRules(new LbSequencerRules)
{
}

LbMidiService::~LbMidiService()
{
    StopSequence(1);
    if (mProducer) {
        if (mInput) mProducer->Disconnect(mInput);
        mProducer->Release();
    }
    // The last release waits for a reply being delivered to finish.
    if (mInput) mInput->Release();
    if (mOutput) {
        if (mConsumer) mOutput->Disconnect(mConsumer);
        mOutput->Release();
    }
    if (mConsumer) mConsumer->Release();
    delete mRules;
}

status_t LbMidiService::SetMidiConsumer(BMidiConsumer* consumer)
{
    if (consumer == nullptr) return B_BAD_VALUE;
    if (mConsumer) return B_NOT_ALLOWED;
    status_t status = consumer->Acquire();
    if (status != B_OK) return status;
    auto* output = new BMidiLocalProducer("Patchora output");
    status = output->Connect(consumer);
    if (status != B_OK) {
        output->Release();
        consumer->Release();
        return status;
    }
    mConsumer = consumer;
    mOutput = output;
    return B_OK;
}

const char* LbMidiService::MidiConsumerName() const
{
    return mConsumer ? mConsumer->Name() : "<none>";
}

status_t LbMidiService::SetMidiProducer(BMidiProducer* producer)
{
    if (producer == nullptr) return B_BAD_VALUE;
    if (mProducer) return B_NOT_ALLOWED;
    status_t status = producer->Acquire();
    if (status != B_OK) return status;
    auto* input = new LbMidiInput(this);
    status = producer->Connect(input);
    if (status != B_OK) {
        input->Release();
        producer->Release();
        return status;
    }
    mProducer = producer;
    mInput = input;
    return B_OK;
}

const char* LbMidiService::MidiProducerName() const
{
    return mProducer ? mProducer->Name() : "<none>";
}

void LbMidiService::SetSequencerRules(LbSequencerRulesI* rules)
{
    if (rules == mRules) return;
    delete mRules;
    mRules = rules;
}

bool LbMidiService::IsWaiting() const
{
    std::lock_guard<std::mutex> lock(mReplyLock);
    return mWaiting;
}

status_t LbMidiService::SendSystemExclusive(const LbDataI* data, bool awaitReply, LbDataReceiverI* receiver)
{
    assert(data != nullptr && "data != 0");
    {
        std::lock_guard<std::mutex> lock(mReplyLock);
        if (mWaiting) return LB_BUSY;
        if (mConsumer == nullptr || mOutput == nullptr) return B_ERROR;
        mWaiting = awaitReply;
        mReceiver = receiver;
    }

    status_t status = mOutput->SpraySystemExclusive(data->Bits(), data->Length(), 0);
    if (status != B_OK) {
        // Nothing left, so nothing will answer: do not wait out the time-out for it.
        std::lock_guard<std::mutex> lock(mReplyLock);
        EndWait();
        return status;
    }
    if (!awaitReply) return B_OK;

    std::unique_lock<std::mutex> lock(mReplyLock);
    const std::chrono::microseconds timeOut(ResponseTimeOut());
    if (mReplyDone.wait_for(lock, timeOut, [this] { return !mWaiting; })) return B_OK;
    if (mDelivering) {
        // The reply came just in time and its receiver is still at work: give it as long
        // again to finish. Past that the request ends; the delivery still ends the wait
        // (until then the service is busy), and the receiver must outlive it.
        if (mReplyDone.wait_for(lock, timeOut, [this] { return !mWaiting; })) return B_OK;
        return B_TIMED_OUT;
    }
    EndWait();
    return LB_NO_RESPONSE;
}

void LbMidiService::EndWait()
{
    mReceiver = nullptr;
    mWaiting = false;
    mReplyDone.notify_all();
}

void LbMidiService::SystemExclusive(const uint8* data, uint32 length, uint32 time)
{
    LbDataReceiverI* receiver;
    {
        std::lock_guard<std::mutex> lock(mReplyLock);
        // A receiver handing a message it does not want back to us: it is nobody's.
        if (mDelivering && mDeliveryThread == std::this_thread::get_id()) return;
        receiver = mReceiver;
        if (receiver == nullptr && !mWaiting) return;   // nothing awaited: the message goes to no one
        mDelivering = true;
        mDeliveryThread = std::this_thread::get_id();
    }
    if (receiver) receiver->SystemExclusive(data, length, time);
    std::lock_guard<std::mutex> lock(mReplyLock);
    mDelivering = false;
    mDeliveryThread = {};
    EndWait();
}

status_t LbMidiService::StartSequence(int32 flags)
{
    std::lock_guard<std::mutex> sequenceLock(mSequenceLock);
    if (mPlaying.load()) return B_ERROR;
    {
        // Never interleave the audition with a request. A request ends within two of its
        // time-outs (the wait, then a late reply's delivery): an audition that has waited
        // that long gives up, as the stop it holds off would wait for it.
        std::unique_lock<std::mutex> lock(mReplyLock);
        if (!mReplyDone.wait_for(lock, 2 * std::chrono::microseconds(ResponseTimeOut()),
                                 [this] { return !mWaiting; }))
            return LB_BUSY;
    }
    if (mLoopThread.joinable()) mLoopThread.join();
    mSequenceFlags = flags;
    {
        std::lock_guard<std::mutex> lock(mLoopEndLock);
        mLoopRunning = true;
    }
    mPlaying = true;
    try {
        mLoopThread = std::thread(&LbMidiService::PlayLoop, this);
    } catch (const std::system_error&) {
        mPlaying = false;
        mLoopRunning = false;
        return B_NO_MORE_THREADS;
    }
    return B_OK;
}

void LbMidiService::PlayLoop()
{
    name_this_thread("ORB\u2122 Play Loop");
    while (mPlaying.load()) {
        mRules->Init();
        if (!mPlaying.load()) break;
        mRules->Start(mOutput);
    }
    std::lock_guard<std::mutex> lock(mLoopEndLock);
    mLoopRunning = false;
    mLoopEnded.notify_all();
}

status_t LbMidiService::StopSequence(int32 flags)
{
    if ((flags & 1) == 0 && (mSequenceFlags & 1) != 0) return B_OK;
    std::lock_guard<std::mutex> sequenceLock(mSequenceLock);
    mSequenceFlags = 0;
    mPlaying = false;
    if (!mLoopThread.joinable()) return B_OK;
    // The rules' Start returns once they are told to stop. A stop that came between the
    // loop's check and its call to Start would be missed, so tell them again until the
    // loop has ended.
    std::unique_lock<std::mutex> lock(mLoopEndLock);
    while (mLoopRunning) {
        lock.unlock();
        mRules->Stop(mOutput);
        lock.lock();
        mLoopEnded.wait_for(lock, std::chrono::milliseconds(50), [this] { return !mLoopRunning; });
    }
    lock.unlock();
    mLoopThread.join();
    return B_OK;
}

void LbMidiService::OpenSequencer()
{
    // The playback window belongs to the windowed program; without it there is nothing
    // to show.
}

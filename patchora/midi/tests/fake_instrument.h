#pragma once
// An instrument made of endpoints of this process: it answers every System Exclusive
// message it receives with whatever the test's answer function returns (nothing for an
// empty block), after an optional delay.
#include "midi/MidiConsumer.h"
#include "midi/MidiProducer.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

class FakeInstrument {
public:
    using Answer = std::function<std::vector<uint8>(const std::vector<uint8>& request)>;

    explicit FakeInstrument(Answer answer) : mIn(new Input(this)), mOut(new BMidiLocalProducer("fake out")),
                                             mAnswer(std::move(answer)) {}
    ~FakeInstrument()
    {
        mIn->Release();
        mOut->Release();
    }
    FakeInstrument(const FakeInstrument&) = delete;
    FakeInstrument& operator=(const FakeInstrument&) = delete;

    BMidiConsumer* In() { return mIn; }
    BMidiProducer* Out() { return mOut; }
    void SetDelay(std::chrono::milliseconds delay) { mDelay = delay; }
    // Sends a message of its own accord (a reply that comes late, a stray dump).
    void Spray(const std::vector<uint8>& bytes) { mOut->SpraySystemExclusive(bytes.data(), bytes.size()); }
    std::vector<std::vector<uint8>> Received()
    {
        std::lock_guard<std::mutex> lock(mLock);
        return mReceived;
    }
    std::vector<uint8> ProgramChanges()
    {
        std::lock_guard<std::mutex> lock(mLock);
        return mPrograms;
    }

private:
    class Input : public BMidiLocalConsumer {
    public:
        explicit Input(FakeInstrument* owner) : BMidiLocalConsumer("fake in"), mOwner(owner) {}
        void SystemExclusive(void* data, size_t length, bigtime_t) override
        {
            std::vector<uint8> request(static_cast<uint8*>(data), static_cast<uint8*>(data) + length);
            {
                std::lock_guard<std::mutex> lock(mOwner->mLock);
                mOwner->mReceived.push_back(request);
            }
            std::vector<uint8> reply = mOwner->mAnswer(request);
            if (reply.empty()) return;
            if (mOwner->mDelay.count() > 0) std::this_thread::sleep_for(mOwner->mDelay);
            mOwner->mOut->SpraySystemExclusive(reply.data(), reply.size());
        }
        void ProgramChange(uchar, uchar program, bigtime_t) override
        {
            std::lock_guard<std::mutex> lock(mOwner->mLock);
            mOwner->mPrograms.push_back(program);
        }

    private:
        FakeInstrument* mOwner;
    };

    Input* mIn;
    BMidiLocalProducer* mOut;
    Answer mAnswer;
    std::chrono::milliseconds mDelay{0};
    std::mutex mLock;
    std::vector<std::vector<uint8>> mReceived;
    std::vector<uint8> mPrograms;
};

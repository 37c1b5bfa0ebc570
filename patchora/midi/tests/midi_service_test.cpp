#include "librarian/LbData.h"
#include "librarian/LbDataReceiverI.h"
#include "librarian/LbStatus.h"
#include "midi/LbMidiService.h"
#include "midi/tests/fake_instrument.h"
#include "sequencer/LbSequencerRules.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;

namespace {

// The real service with a short time-out, so that tests of the time-out run quickly.
class QuickService : public LbMidiService {
public:
    explicit QuickService(bigtime_t timeOut = 300000) : mTimeOut(timeOut) {}
    bigtime_t ResponseTimeOut() const override { return mTimeOut; }

private:
    bigtime_t mTimeOut;
};

// A receiver that holds on to the reply until it is let go (or, so that a test that waits
// for it cannot hang, until half a minute has passed).
class HoldingReceiver : public LbDataReceiverI {
public:
    void SystemExclusive(const uint8*, uint32, uint32) override
    {
        std::unique_lock<std::mutex> lock(mLock);
        mHolding = true;
        mChanged.notify_all();
        mChanged.wait_for(lock, 30s, [this] { return mLetGo; });
        mHolding = false;
        mDone = true;
    }
    void LetGo()
    {
        std::lock_guard<std::mutex> lock(mLock);
        mLetGo = true;
        mChanged.notify_all();
    }
    bool Holding()
    {
        std::lock_guard<std::mutex> lock(mLock);
        return mHolding;
    }
    bool Done()
    {
        std::lock_guard<std::mutex> lock(mLock);
        return mDone;
    }

private:
    std::mutex mLock;
    std::condition_variable mChanged;
    bool mHolding = false, mLetGo = false, mDone = false;
};

// Runs `work` on a thread of its own and waits for it at most `patience`: whether it
// ended. A call that never ends leaves its thread behind (and the test has failed).
bool EndsWithin(std::chrono::seconds patience, std::function<void()> work)
{
    auto ended = std::make_shared<std::promise<void>>();
    std::future<void> result = ended->get_future();
    std::thread([ended, work = std::move(work)] {
        work();
        ended->set_value();
    }).detach();
    return result.wait_for(patience) == std::future_status::ready;
}

void WaitUntilWaiting(LbMidiService& service)
{
    while (!service.IsWaiting()) std::this_thread::sleep_for(1ms);
}

class Collector : public LbDataReceiverI {
public:
    void SystemExclusive(const uint8* data, uint32 length, uint32) override
    {
        std::this_thread::sleep_for(mWork);
        std::lock_guard<std::mutex> lock(mLock);
        mMessages.emplace_back(data, data + length);
        mArrived.notify_all();
    }
    std::vector<std::vector<uint8>> Messages()
    {
        std::lock_guard<std::mutex> lock(mLock);
        return mMessages;
    }
    bool WaitFor(size_t count, std::chrono::milliseconds timeout)
    {
        std::unique_lock<std::mutex> lock(mLock);
        return mArrived.wait_for(lock, timeout, [&] { return mMessages.size() >= count; });
    }
    std::chrono::milliseconds mWork{0};

private:
    std::mutex mLock;
    std::condition_variable mArrived;
    std::vector<std::vector<uint8>> mMessages;
};

std::vector<uint8> Echo(const std::vector<uint8>& request)
{
    std::vector<uint8> reply = request;
    reply.push_back(0x7E);
    return reply;
}

LbData Request(std::initializer_list<uint8> bytes)
{
    std::vector<uint8> v(bytes);
    return LbData(v.data(), uint32(v.size()));
}

void Connect(LbMidiService& service, FakeInstrument& instrument)
{
    ASSERT_EQ(B_OK, service.SetMidiConsumer(instrument.In()));
    ASSERT_EQ(B_OK, service.SetMidiProducer(instrument.Out()));
}

TEST(MidiService, ReplyReachesTheReceiverBeforeTheRequesterGoesOn)
{
    FakeInstrument instrument(Echo);
    LbMidiService service;
    Connect(service, instrument);
    EXPECT_STREQ("fake in", service.MidiConsumerName());
    EXPECT_STREQ("fake out", service.MidiProducerName());

    Collector receiver;
    receiver.mWork = 50ms;   // a receiver that takes its time parsing
    LbData request = Request({0xF0, 0x18, 0x0C, 0x00, 0x00, 0x05, 0x00, 0xF7});
    ASSERT_EQ(B_OK, service.SendSystemExclusive(&request, true, &receiver));
    auto messages = receiver.Messages();
    ASSERT_EQ(1u, messages.size());
    // The reply arrives without its framing bytes.
    EXPECT_EQ((std::vector<uint8>{0x18, 0x0C, 0x00, 0x00, 0x05, 0x00, 0x7E}), messages[0]);
    EXPECT_FALSE(service.IsWaiting());
    // The request left framed exactly once.
    ASSERT_EQ(1u, instrument.Received().size());
    EXPECT_EQ((std::vector<uint8>{0x18, 0x0C, 0x00, 0x00, 0x05, 0x00}), instrument.Received()[0]);
}

TEST(MidiService, SecondRequestWhileOneWaitsIsBusy)
{
    FakeInstrument instrument(Echo);
    instrument.SetDelay(200ms);
    LbMidiService service;
    Connect(service, instrument);
    Collector first, second;
    LbData request = Request({0xF0, 0x01, 0xF7});

    auto waiting = std::async(std::launch::async, [&] { return service.SendSystemExclusive(&request, true, &first); });
    while (!service.IsWaiting()) std::this_thread::sleep_for(1ms);
    auto other = std::async(std::launch::async, [&] { return service.SendSystemExclusive(&request, true, &second); });
    EXPECT_EQ(LB_BUSY, other.get());
    EXPECT_EQ(B_OK, waiting.get());
    EXPECT_EQ(1u, first.Messages().size());
    EXPECT_EQ(0u, second.Messages().size());
    EXPECT_EQ(1u, instrument.Received().size());   // the busy request sent nothing
}

TEST(MidiService, LateReplyAfterTheTimeOutGoesToNoOne)
{
    FakeInstrument instrument([](const std::vector<uint8>&) { return std::vector<uint8>(); });
    QuickService service;
    Connect(service, instrument);
    Collector receiver;
    LbData request = Request({0xF0, 0x02, 0xF7});
    EXPECT_EQ(LB_NO_RESPONSE, service.SendSystemExclusive(&request, true, &receiver));
    EXPECT_FALSE(service.IsWaiting());

    instrument.Spray({0xF0, 0x18, 0x01, 0xF7});
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(receiver.Messages().empty());
    // Idle again: the next request works.
    EXPECT_EQ(B_OK, service.SendSystemExclusive(&request, false, nullptr));
}

TEST(MidiService, AwaitedReplyWithoutReceiverStillEndsTheWait)
{
    FakeInstrument instrument(Echo);
    QuickService service;
    Connect(service, instrument);
    LbData request = Request({0xF0, 0x05, 0xF7});
    EXPECT_EQ(B_OK, service.SendSystemExclusive(&request, true, nullptr));
    EXPECT_FALSE(service.IsWaiting());
}

TEST(MidiService, ReceiverWithoutAwaitGetsTheNextMessage)
{
    FakeInstrument instrument([](const std::vector<uint8>&) { return std::vector<uint8>(); });
    LbMidiService service;
    Connect(service, instrument);
    Collector receiver;
    LbData request = Request({0xF0, 0x03, 0xF7});
    ASSERT_EQ(B_OK, service.SendSystemExclusive(&request, false, &receiver));
    EXPECT_FALSE(service.IsWaiting());
    instrument.Spray({0xF0, 0x11, 0xF7});
    instrument.Spray({0xF0, 0x22, 0xF7});
    ASSERT_TRUE(receiver.WaitFor(1, 2000ms));
    std::this_thread::sleep_for(100ms);
    ASSERT_EQ(1u, receiver.Messages().size());   // only the next one
    EXPECT_EQ(std::vector<uint8>{0x11}, receiver.Messages()[0]);
}

TEST(MidiService, WithoutPortsNothingIsSentAndTheServiceStaysIdle)
{
    LbMidiService service;
    EXPECT_STREQ("<none>", service.MidiConsumerName());
    EXPECT_STREQ("<none>", service.MidiProducerName());
    LbData request = Request({0xF0, 0x04, 0xF7});
    Collector receiver;
    EXPECT_EQ(B_ERROR, service.SendSystemExclusive(&request, true, &receiver));
    EXPECT_EQ(B_ERROR, service.SendSystemExclusive(&request, false, nullptr));
    EXPECT_FALSE(service.IsWaiting());
    EXPECT_EQ(nullptr, service.MidiOutput());
    EXPECT_EQ(B_BAD_VALUE, service.SetMidiConsumer(nullptr));
    // Stopping what never started does no harm.
    EXPECT_EQ(B_OK, service.StopSequence(1));
    EXPECT_EQ(B_OK, service.StopSequence(0));
}

TEST(MidiService, UnsendableBlockFailsAtOnceInsteadOfWaiting)
{
    FakeInstrument instrument(Echo);
    LbMidiService service;
    Connect(service, instrument);
    // A status byte inside the block would split it on the wire.
    LbData broken = Request({0xF0, 0x18, 0x90, 0x40, 0xF7});
    Collector receiver;
    EXPECT_NE(B_OK, service.SendSystemExclusive(&broken, true, &receiver));
    EXPECT_FALSE(service.IsWaiting());
    EXPECT_TRUE(instrument.Received().empty());
}

TEST(MidiService, AuditionStartedDuringARequestBeginsWhenTheRequestEnds)
{
    // Answered: the audition starts once the reply has been handled.
    {
        FakeInstrument instrument(Echo);
        instrument.SetDelay(200ms);
        LbMidiService service;
        Connect(service, instrument);
        Collector receiver;
        LbData request = Request({0xF0, 0x06, 0xF7});
        auto waiting = std::async(std::launch::async, [&] { return service.SendSystemExclusive(&request, true, &receiver); });
        WaitUntilWaiting(service);
        EXPECT_EQ(B_OK, service.StartSequence(0));
        EXPECT_EQ(1u, receiver.Messages().size()) << "the audition began before the reply was handled";
        EXPECT_EQ(B_OK, waiting.get());
        EXPECT_EQ(B_OK, service.StopSequence(0));
    }
    // Timed out: the time-out wakes the audition too. The service is left behind when the
    // audition never starts, since its stop would wait for ever as well.
    auto* instrument = new FakeInstrument([](const std::vector<uint8>&) { return std::vector<uint8>(); });
    auto* service = new QuickService(1000000);
    Connect(*service, *instrument);
    LbData request = Request({0xF0, 0x07, 0xF7});
    auto waiting = std::async(std::launch::async, [&] { return service->SendSystemExclusive(&request, true, nullptr); });
    WaitUntilWaiting(*service);
    auto started = std::make_shared<std::atomic<status_t>>(B_ERROR);
    bool ended = EndsWithin(30s, [service, started] { *started = service->StartSequence(0); });
    EXPECT_EQ(LB_NO_RESPONSE, waiting.get());
    ASSERT_TRUE(ended) << "the audition still waits for a request that timed out";
    EXPECT_EQ(B_OK, started->load());
    EXPECT_TRUE(service->IsPlaying());
    EXPECT_EQ(B_OK, service->StopSequence(0));
    delete service;
    delete instrument;
}

TEST(MidiService, ReceiverOutlastingTheTimeOutEndsTheRequestAndKeepsTheServiceBusy)
{
    FakeInstrument instrument(Echo);
    QuickService service;
    Connect(service, instrument);
    HoldingReceiver receiver;
    LbData request = Request({0xF0, 0x08, 0xF7});

    // The request ends while its receiver still holds the reply.
    EXPECT_EQ(B_TIMED_OUT, service.SendSystemExclusive(&request, true, &receiver));
    EXPECT_FALSE(receiver.Done()) << "the request waited for its receiver without a bound";
    EXPECT_TRUE(receiver.Holding());
    // Until the receiver returns, the service is busy: no request, no audition.
    EXPECT_TRUE(service.IsWaiting());
    EXPECT_EQ(LB_BUSY, service.SendSystemExclusive(&request, true, nullptr));
    EXPECT_EQ(LB_BUSY, service.StartSequence(0));
    EXPECT_FALSE(service.IsPlaying());

    receiver.LetGo();
    for (int i = 0; i < 3000 && service.IsWaiting(); i++) std::this_thread::sleep_for(10ms);
    EXPECT_FALSE(service.IsWaiting());
    EXPECT_TRUE(receiver.Done());
    Collector next;
    EXPECT_EQ(B_OK, service.SendSystemExclusive(&request, true, &next));
    EXPECT_EQ(1u, next.Messages().size());
}

TEST(MidiService, AuditionStopFlagsAndRestart)
{
    FakeInstrument instrument(Echo);
    LbMidiService service;
    Connect(service, instrument);
    auto* rules = new LbSequencerRules;
    service.SetSequencerRules(rules);
    EXPECT_EQ(rules, service.SequencerRules());

    ASSERT_EQ(B_OK, service.StartSequence(1));
    EXPECT_EQ(B_ERROR, service.StartSequence(0));   // already playing
    EXPECT_EQ(B_OK, service.StopSequence(0));        // a loop started with bit 0 ignores it
    EXPECT_TRUE(service.IsPlaying());
    EXPECT_EQ(B_OK, service.StopSequence(1));
    EXPECT_FALSE(service.IsPlaying());
    EXPECT_FALSE(rules->IsPlaying());

    ASSERT_EQ(B_OK, service.StartSequence(0));
    EXPECT_EQ(B_OK, service.StopSequence(0));
    EXPECT_FALSE(service.IsPlaying());
    // Quick start/stop cycles never leave the loop behind.
    for (int i = 0; i < 50; i++) {
        ASSERT_EQ(B_OK, service.StartSequence(0));
        ASSERT_EQ(B_OK, service.StopSequence(0));
    }
    EXPECT_FALSE(rules->IsPlaying());
}

} // namespace

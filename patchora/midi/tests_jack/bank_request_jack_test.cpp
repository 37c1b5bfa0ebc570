// End to end over a real JACK server: a toy instrument runs as a program of its own on
// JACK MIDI ports, and a bank snapshot requests a whole 128-patch bank from it through
// the system ports of the MIDI layer. ./test starts the server (dummy driver); without
// one this test skips, or fails where a server was promised.
#include "librarian/LbBankSnapshot.h"
#include "librarian/LbIterators.h"
#include "librarian/tests/toy_device.h"
#include "midi/MidiConsumer.h"
#include "midi/MidiProducer.h"
#include "midi/MidiRoster.h"
#include "testing/JackAvailable.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

const bool kUseJack = setenv("SUITE_MIDI_API", "jack", 1) == 0 && setenv("JACK_NO_START_SERVER", "1", 1) == 0;

// The toy instrument program, running while the object lives.
class InstrumentProcess {
public:
    explicit InstrumentProcess(const char* name)
    {
        int toChild[2], fromChild[2];
        if (pipe(toChild) != 0 || pipe(fromChild) != 0) return;
        mPid = fork();
        if (mPid == 0) {
            dup2(toChild[0], 0);
            dup2(fromChild[1], 1);
            close(toChild[1]);
            close(fromChild[0]);
            execl(TOY_INSTRUMENT_PATH, TOY_INSTRUMENT_PATH, name, "400", (char*)nullptr);
            _exit(127);
        }
        close(toChild[0]);
        close(fromChild[1]);
        mInput = toChild[1];
        FILE* out = fdopen(fromChild[0], "r");
        char line[64] = {};
        mReady = out && fgets(line, sizeof line, out) && strncmp(line, "ready", 5) == 0;
        if (out) fclose(out);
    }
    ~InstrumentProcess()
    {
        if (mInput >= 0) close(mInput);   // closing its input ends it
        if (mPid > 0) {
            int status = 0;
            waitpid(mPid, &status, 0);
        }
    }
    bool Ready() const { return mReady; }

private:
    pid_t mPid = -1;
    int mInput = -1;
    bool mReady = false;
};

template <typename Endpoint>
Endpoint* FindPort(Endpoint* (*at)(int32), int32 (*count)(), const std::string& suffix)
{
    for (int attempt = 0; attempt < 100; attempt++) {
        int32 n = count();
        for (int32 i = 0; i < n; i++) {
            Endpoint* endpoint = at(i);
            if (endpoint == nullptr) continue;
            std::string name = endpoint->Name();
            if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0)
                return endpoint;
            endpoint->Release();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return nullptr;
}

TEST(BankRequestJack, WholeBankComesOverJackMidiInNumberOrder)
{
    ASSERT_TRUE(kUseJack);
    SKIP_WITHOUT_JACK();
    ASSERT_STREQ("jack", BMidiRoster::SystemApiName());
    InstrumentProcess instrument("Toy Instrument");
    ASSERT_TRUE(instrument.Ready()) << "the toy instrument program did not start";

    BMidiConsumer* in = FindPort<BMidiConsumer>(BMidiRoster::ConsumerAt, BMidiRoster::CountConsumers,
                                                "Toy Instrument in");
    BMidiProducer* out = FindPort<BMidiProducer>(BMidiRoster::ProducerAt, BMidiRoster::CountProducers,
                                                 "Toy Instrument out");
    ASSERT_NE(nullptr, in) << "the instrument's input port is not listed";
    ASSERT_NE(nullptr, out) << "the instrument's output port is not listed";

    ToyAddon addon;
    ToyDevice device(&addon);
    auto* service = new LbMidiService;
    ASSERT_EQ(B_OK, service->SetMidiConsumer(in));
    ASSERT_EQ(B_OK, service->SetMidiProducer(out));
    in->Release();
    out->Release();
    device.SetMidiService(service);
    device.Banks().push_back(new ToyBank("Toy Bank", &device, 0, 127));
    LbDeviceSnapshot deviceSnapshot(&device);
    LbBankSnapshotI* snapshot = deviceSnapshot.Snapshots()[0];

    LbDmwBankInt32It all(device.Banks()[0]);
    ASSERT_EQ(B_OK, snapshot->Request(&all, nullptr));
    ASSERT_EQ(128u, snapshot->Patches().size());
    for (int32 n = 0; n < 128; n++) {
        LbPatchI* patch = snapshot->Patches()[size_t(n)];
        EXPECT_EQ(n, patch->Number());
        // The filler after the name starts with a 0 byte, which ends the name.
        EXPECT_STREQ(("Sound " + std::to_string(n)).c_str(), patch->Name());
        EXPECT_EQ(2u + 6u + std::to_string(n).size() + 400u, patch->Data()->Length());
    }
}

} // namespace

#pragma once
// Fakes for the Morpheus model's tests: a MIDI service that records what is sent and can
// answer, a bank snapshot that keeps installed patches, and the real data files.
#include "librarian/LbBankPatch.h"
#include "librarian/LbBankSnapshotI.h"
#include "librarian/LbData.h"
#include "librarian/LbDataReceiverI.h"
#include "midi/LbMidiServiceI.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

using Bytes = std::vector<uint8>;

class FakeMidiService : public LbMidiServiceI {
public:
    uint8 MidiChannel() const override { return channel; }
    void SetMidiChannel(uint8 c) override { channel = c; }
    status_t SetMidiConsumer(BMidiConsumer*) override { return B_OK; }
    const char* MidiConsumerName() const override { return "fake"; }
    status_t SetMidiProducer(BMidiProducer*) override { return B_OK; }
    const char* MidiProducerName() const override { return "fake"; }
    void SetSequencerRules(LbSequencerRulesI*) override {}
    LbSequencerRulesI* SequencerRules() const override { return nullptr; }
    status_t SendSystemExclusive(const LbDataI* data, bool awaitReply, LbDataReceiverI* receiver) override
    {
        sent.emplace_back(data->Bits(), data->Bits() + data->Length());
        waited.push_back(awaitReply);
        if (awaitReply && receiver != nullptr && reply) {
            Bytes answer = reply(sent.back());
            if (!answer.empty()) receiver->SystemExclusive(answer.data(), uint32(answer.size()), 0);
        }
        return status;
    }
    // Incoming messages nobody else took; hands them to `echoTo` to imitate delivering
    // them to the receiver that waits.
    void SystemExclusive(const uint8* data, uint32 length, uint32 time) override
    {
        incoming.emplace_back(data, data + length);
        if (echoTo) echoTo->SystemExclusive(data, length, time);
    }
    status_t StartSequence(int32) override { return B_OK; }
    status_t StopSequence(int32) override { return B_OK; }
    BMidiLocalProducer* MidiOutput() const override { return output; }
    void OpenSequencer() override {}

    uint8 channel = 0;
    status_t status = B_OK;
    std::vector<Bytes> sent;
    std::vector<bool> waited;
    std::vector<Bytes> incoming;
    // Answer to a request sent with the wait flag (empty: no answer).
    std::function<Bytes(const Bytes&)> reply;
    LbDataReceiverI* echoTo = nullptr;
    BMidiLocalProducer* output = nullptr;   // not owned
};

// Keeps what banks install, by number.
class TestSnapshot : public LbBankSnapshotI {
public:
    struct Installed {
        std::string name;
        Bytes bytes;
    };
    void SystemExclusive(const uint8*, uint32, uint32) override {}
    LbPatchI* PatchAt(int32) const override { return nullptr; }
    LbBankI* Bank() const override { return bank; }
    void SetBank(LbBankI* b) override { bank = b; }
    LbDeviceSnapshotI* Snapshot() const override { return nullptr; }
    void SetSnapshot(LbDeviceSnapshotI*) override {}
    const std::vector<LbPatchI*>& Patches() const override { return mPatches; }
    status_t InstallPatch(int32 number, const char* name, const LbDataI* data) override
    {
        installed[number] = {name ? name : "", Bytes(data->Bits(), data->Bits() + data->Length())};
        count++;
        return B_OK;
    }
    bool IsModified() const override { return false; }
    ssize_t WriteTo(LbXmlStreamI*, LbPatchIteratorI*) override { return B_ERROR; }
    status_t ReadFrom(LbXmlStreamI*, LbInt32IteratorI*) override { return B_ERROR; }
    status_t Request(LbInt32IteratorI*, LbStatusWormholeI*) override { return B_ERROR; }
    status_t Send(LbPatchIteratorI*, LbStatusWormholeI*) override { return B_ERROR; }
    int32 AddDependent(int32, BHandler*) override { return 0; }
    int32 RemoveDependent(int32, BHandler*) override { return 0; }

    std::map<int32, Installed> installed;
    int32 count = 0;
    LbBankI* bank = nullptr;

private:
    std::vector<LbPatchI*> mPatches;
};

// The fixture folder, or an empty string when it is absent.
std::string MorpheusFixture(const char* file);
// A file's bytes; empty when it cannot be read.
Bytes ReadFile(const std::string& path);
// Splits a file of framed SysEx messages into messages without F0/F7.
std::vector<Bytes> SplitSysEx(const Bytes& file);
// Removes the framing bytes of one message.
Bytes Unframe(const Bytes& message);

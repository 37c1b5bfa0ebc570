// A toy instrument on JACK MIDI ports, for the end-to-end test of requests over a real
// MIDI server. It opens the ports "<name> in" (it receives there) and "<name> out" (it
// answers there), answers every request F0 'R' n F7 with a dump F0 'P' n "Sound n" and
// filler bytes F7, and runs until its standard input closes.
#include <rtmidi/RtMidi.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

struct Instrument {
    RtMidiOut* out = nullptr;
    size_t filler = 0;
};

void Answer(double, std::vector<unsigned char>* message, void* data)
{
    auto* instrument = static_cast<Instrument*>(data);
    const std::vector<unsigned char>& m = *message;
    if (m.size() != 4 || m[0] != 0xF0 || m[1] != 'R' || m[3] != 0xF7) return;
    std::string name = "Sound " + std::to_string(m[2]);
    std::vector<unsigned char> reply = {0xF0, 'P', m[2]};
    reply.insert(reply.end(), name.begin(), name.end());
    for (size_t i = 0; i < instrument->filler; i++) reply.push_back((unsigned char)(i & 0x7F));
    reply.push_back(0xF7);
    try {
        instrument->out->sendMessage(&reply);
    } catch (const std::exception& e) {
        fprintf(stderr, "toy-instrument: %s\n", e.what());
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string name = argc > 1 ? argv[1] : "Toy Instrument";
    Instrument instrument;
    instrument.filler = argc > 2 ? std::stoul(argv[2]) : 400;
    try {
        RtMidiIn in(RtMidi::UNIX_JACK, name);
        RtMidiOut out(RtMidi::UNIX_JACK, name);
        instrument.out = &out;
        in.ignoreTypes(false, true, true);
        in.setCallback(Answer, &instrument);
        in.openVirtualPort(name + " in");
        out.openVirtualPort(name + " out");
        printf("ready\n");
        fflush(stdout);
        while (getchar() != EOF) {
        }
        in.cancelCallback();
    } catch (const std::exception& e) {
        fprintf(stderr, "toy-instrument: %s\n", e.what());
        return 1;
    }
    return 0;
}

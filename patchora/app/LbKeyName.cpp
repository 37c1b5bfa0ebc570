#include "app/LbKeyName.h"

#include <cstdio>

namespace {

const char* const kPitches[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

void Format(int32 note, char* out, size_t size)
{
    snprintf(out, size, "%s%ld", kPitches[note % 12], long(note / 12 - 2));
}

struct MidiKeyNames {
    char names[128][6];
    MidiKeyNames()
    {
        for (int32 note = 0; note < 128; note++) Format(note, names[note], sizeof names[note]);
    }
};

} // namespace

const char* KeyName(int32 note)
{
    if (note < 0) return nullptr;
    static const MidiKeyNames keys;
    if (note < 128) return keys.names[note];
    thread_local char beyond[24];
    Format(note, beyond, sizeof beyond);
    return beyond;
}

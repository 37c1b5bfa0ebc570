#pragma once
#include "kernel/SupportDefs.h"

// The name of a MIDI note: the pitch (C, C#, D, ... B) and the octave, with note 60
// "C3", note 0 "C-2" and note 127 "G8"; null for a negative number. The text is static
// (for notes past 127, until the calling thread asks again).
const char* KeyName(int32 note);

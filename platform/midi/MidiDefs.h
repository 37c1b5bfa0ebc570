#pragma once
// Basic types and status codes of the MIDI kit (from the kernel layer).
//
// Status codes the MIDI kit returns:
//   B_OK              success
//   B_BAD_VALUE       null pointer, channel above 15, data byte above 127, malformed bytes,
//                     a System Exclusive message larger than the port can carry
//   B_ERROR           the endpoint is not usable in its current state (a system port that
//                     vanished, two system ports, a failed system call), or not connected
//   B_NAME_NOT_FOUND  the system port could not be found when it was to be opened
//   B_TIMED_OUT       the MIDI server stopped taking data while a message waited to leave

#include "kernel/SupportDefs.h"

typedef unsigned char uchar;

#pragma once
// Codes of the messages between a plug-in wrapper, its node's control port and its editor
// window. Port messages are written with kVSTPortWriteTimeout: a full port drops them.

#include "kernel/SupportDefs.h"

enum : int32 {
	VST_EDITOR_CLOSED = 0x60000000,   // editor window to node; no payload
	VST_START_EDITOR = 0x60000001,    // to the editor window; no payload
	VST_UPDATE_DISPLAY = 0x60000003,  // host callback to node, node to window; no payload
	VST_PEAK = 0x60000004,            // to the editor window: int32 "peak"
	VST_IO_CHANGED = 0x60000005,      // host callback to node; no payload
	VST_AUTOMATE = 0x60000006,        // host callback to node: VSTAutomateData
	VST_NEED_IDLE = 0x60000007,       // host callback to node; no payload
};

// The payload of VST_AUTOMATE: 8 bytes.
struct VSTAutomateData {
	int32 index;
	float value;
};
static_assert(sizeof(VSTAutomateData) == 8);

// How long a port write waits for room, in microseconds.
constexpr bigtime_t kVSTPortWriteTimeout = 10000;

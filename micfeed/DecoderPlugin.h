#pragma once
// The decoder side of the player's plug-in interface: which locations micfeed takes, and
// the operations of an opened stream (each stream's data is its Recorder).
//
// Errors: operations called with null data or buffers answer B_BAD_VALUE (-1 frames for
// a read) instead of crashing the player.
// Threads: the player calls one stream from one thread at a time; different streams may
// run at once.

#include "TunedeckPlugin.h"

namespace micfeed {

// True when the first 6 characters of url are "input:" in any letter case.
bool TakesLocation(const char* url);

// getplugin: a new Recorder in *data and the operations for a location micfeed takes;
// null (and *data untouched) otherwise.
decoder_ops* GetPlugin(void** data, const char* url, const char* header, uint32_t size,
	plugin_info* info);
// destroyplugin: deletes the Recorder; null data is harmless.
void DestroyPlugin(void* ops, void* data);

// The operations record every stream shares.
decoder_ops* Operations();

// Fills info with what every "input:" stream is.
void DescribeStream(file_info* info);

}  // namespace micfeed

// The media graph of the commands: a producer (a file reader, the audio input) into the
// pitch-tracking node, connected through the roster.
#pragma once

#include <cstddef>
#include <string>

#include "media/MediaDefs.h"

class BMediaRoster;
class SonaraNode;

// Connects a free raw-audio output of `producer` to the node's input, asking for 16-bit
// samples (and `bufferBytes` a buffer, 0 for the producer's choice) and taking what the
// producer offers when it cannot. False with a message in `error` when it cannot connect.
bool ConnectToTonetrace(BMediaRoster* roster, const media_node& producer, SonaraNode* node,
                        size_t bufferBytes, media_output& output, media_input& input,
                        std::string& error);

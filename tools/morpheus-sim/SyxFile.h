// Reading raw System Exclusive files (.syx): any number of framed messages back to back.
#pragma once

#include "MorpheusSysex.h"

#include <string>
#include <vector>

namespace morpheus_sim {

// Larger files are refused: a whole-device dump is about 150 KB.
constexpr size_t kMaxSyxFileSize = 16 * 1024 * 1024;

// The messages of a byte run, each without its 0xF0/0xF7. Bytes outside a message are
// skipped; a message cut off by another status byte or by the end is dropped.
std::vector<Message> SplitSystemExclusive(const uint8_t* data, size_t length);

// Reads a file into its messages. False with a message in `error` when the file cannot
// be read, is too large, or holds no message.
bool ReadSyxFile(const std::string& path, std::vector<Message>& messages, std::string& error);

}  // namespace morpheus_sim

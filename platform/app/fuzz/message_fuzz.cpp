// Fuzz target for BMessage::Unflatten (libFuzzer; scripts/fuzz builds and runs it).
// The first input byte chooses whether size and checksum are made right before parsing,
// so that the parser behind the checksum is reached too. Whatever is accepted must
// flatten and read back again.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "../MessageFormat.h"
#include "app/Message.h"

namespace {

void PutU32(std::vector<char>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; i++)
        b[at + size_t(i)] = char(v >> (8 * i));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    bool reseal = data[0] & 1;
    std::vector<char> input(reinterpret_cast<const char*>(data) + 1, reinterpret_cast<const char*>(data) + size);
    if (reseal && input.size() >= message_format::kHeaderSize + message_format::kTrailerSize) {
        PutU32(input, 8, uint32_t(input.size()));
        PutU32(input, input.size() - 4,
            message_format::Crc32(reinterpret_cast<const uint8_t*>(input.data()), input.size() - 4));
    }
    if (input.empty())
        return 0;
    BMessage message;
    if (message.Unflatten(input.data(), ssize_t(input.size())) != B_OK)
        return 0;
    std::vector<char> again(size_t(message.FlattenedSize()));
    if (message.Flatten(again.data(), ssize_t(again.size())) != B_OK)
        abort();
    BMessage copy;
    if (copy.Unflatten(again.data(), ssize_t(again.size())) != B_OK)
        abort();
    return 0;
}

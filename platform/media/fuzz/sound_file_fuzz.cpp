// Fuzz target for the sound-file reader (libFuzzer; scripts/fuzz builds and runs it): any
// bytes as a file either open with a sane format or give an error, and reading stops.
#include "media/SoundFileReader.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The reader takes a path: the bytes live in an anonymous file of this process.
    static int fd = memfd_create("sound-file-fuzz", 0);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != ssize_t(size))
        abort();
    SoundFileReader reader;
    if (reader.Open("/proc/self/fd/" + std::to_string(fd)) != kSoundFileOk)
        return 0;
    if (reader.Channels() <= 0 || reader.SampleRate() <= 0)
        abort();
    std::vector<int16_t> frames(size_t(1024) * size_t(reader.Channels()));
    // A header may promise more than is there; reading ends at what is.
    for (int block = 0; block < 4096; block++) {
        int64_t got = reader.ReadInt16(frames.data(), 1024);
        if (got <= 0)
            break;
        if (got > 1024)
            abort();
    }
    return 0;
}

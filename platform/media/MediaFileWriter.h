#pragma once
// Writes a 16-bit PCM WAV file whole or not at all: the frames go to a temporary file
// beside the destination, and Commit() renames it over the destination. A writer that is
// destroyed or aborted before Commit() removes its temporary file and leaves the
// destination as it was.

#include <cstdint>
#include <string>

struct sf_private_tag;

class MediaFileWriter {
public:
    static constexpr int32_t kOk = 0;
    static constexpr int32_t kError = -1;          // I/O or codec failure
    static constexpr int32_t kBadValue = -2;       // rate, channels or frame count out of range
    static constexpr int32_t kNotOpen = -3;        // no Create() before writing or committing

    MediaFileWriter() = default;
    ~MediaFileWriter();
    MediaFileWriter(const MediaFileWriter&) = delete;
    MediaFileWriter& operator=(const MediaFileWriter&) = delete;

    // Starts a WAV file (16-bit little-endian PCM) that will replace `path` on Commit().
    int32_t Create(const std::string& path, int32_t frameRate, int32_t channelCount);
    // Interleaved frames: frameCount × channelCount samples.
    int32_t WriteFrames(const int16_t* frames, int64_t frameCount);
    // Finishes the header, flushes to disk and moves the file into place.
    int32_t Commit();
    // Drops everything written so far.
    void Abort();

    bool IsOpen() const { return fFile != nullptr; }
    // The reason of the last failure, for the user.
    const std::string& ErrorText() const { return fError; }

private:
    int32_t Fail(int32_t status, const std::string& text);

    sf_private_tag* fFile = nullptr;
    int fDescriptor = -1;
    int32_t fChannels = 0;
    std::string fPath;
    std::string fTempPath;
    std::string fError;
};

#pragma once
// MediaFileWriter: writes a WAV file whole or not at all. The frames go through the
// storage kit's AtomicFileWriter (a temporary file beside the destination); Commit()
// finishes the header and moves the file into place. A writer destroyed or aborted before
// Commit() leaves the destination as it was.
//
// Samples: 16-bit PCM by default, or 32-bit integer or float PCM (the file's sample
// format, media_raw_audio_format::B_AUDIO_*). Float frames written to an integer file are
// scaled by 2^15 (2^31) and clamped; not-a-number becomes 0.
//
// Errors: B_BAD_VALUE for a bad rate, channel count or sample format, B_NO_INIT before
// Create, a storage status (B_PERMISSION_DENIED, B_ENTRY_NOT_FOUND, B_IS_A_DIRECTORY,
// B_DEVICE_FULL...) or B_IO_ERROR for the disk; ErrorText() says it in words.
// Threads: one thread at a time.
#include "kernel/SupportDefs.h"

#include <memory>
#include <string>

class AtomicFileWriter;
struct sf_private_tag;

class MediaFileWriter {
public:
    MediaFileWriter();
    ~MediaFileWriter();
    MediaFileWriter(const MediaFileWriter&) = delete;
    MediaFileWriter& operator=(const MediaFileWriter&) = delete;

    // Starts a WAV file that will replace `path` on Commit().
    status_t Create(const std::string& path, int32 frameRate, int32 channelCount,
        uint32 sampleFormat = 0x2 /* B_AUDIO_SHORT */);
    // Interleaved frames: frameCount × channelCount samples.
    status_t WriteFrames(const int16* frames, int64 frameCount);
    status_t WriteFrames(const float* frames, int64 frameCount);
    // Finishes the header, flushes to disk and moves the file into place.
    status_t Commit();
    // Drops everything written so far.
    void Abort();

    bool IsOpen() const { return fFile != nullptr; }
    int32 ChannelCount() const { return fChannels; }
    // The reason of the last failure, for the user.
    const std::string& ErrorText() const { return fError; }

private:
    status_t Fail(status_t status, const std::string& text);

    std::unique_ptr<AtomicFileWriter> fOutput;
    sf_private_tag* fFile = nullptr;
    int32 fChannels = 0;
    uint32 fSampleFormat = 0;
    std::string fPath;
    std::string fError;
};

#include "media/MediaFileWriter.h"

#include "media/AudioConvert.h"
#include "media/MediaDefs.h"
#include "storage/AtomicFileWriter.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>

namespace {

// libsndfile's virtual I/O over an AtomicFileWriter.
sf_count_t VirtualLength(void* data)
{
    off_t size = 0;
    static_cast<AtomicFileWriter*>(data)->GetSize(&size);
    return size;
}

sf_count_t VirtualSeek(sf_count_t offset, int whence, void* data)
{
    return static_cast<AtomicFileWriter*>(data)->Seek(offset, uint32(whence));
}

sf_count_t VirtualRead(void* buffer, sf_count_t count, void* data)
{
    ssize_t got = static_cast<AtomicFileWriter*>(data)->Read(buffer, size_t(count));
    return got < 0 ? 0 : got;
}

sf_count_t VirtualWrite(const void* buffer, sf_count_t count, void* data)
{
    ssize_t put = static_cast<AtomicFileWriter*>(data)->Write(buffer, size_t(count));
    return put < 0 ? 0 : put;
}

sf_count_t VirtualTell(void* data)
{
    return static_cast<AtomicFileWriter*>(data)->Position();
}

SF_VIRTUAL_IO gVirtualIO = {VirtualLength, VirtualSeek, VirtualRead, VirtualWrite, VirtualTell};

int SubFormat(uint32 sampleFormat)
{
    switch (sampleFormat) {
        case media_raw_audio_format::B_AUDIO_SHORT: return SF_FORMAT_PCM_16;
        case media_raw_audio_format::B_AUDIO_INT: return SF_FORMAT_PCM_32;
        case media_raw_audio_format::B_AUDIO_FLOAT: return SF_FORMAT_FLOAT;
        default: return 0;
    }
}

}  // namespace

MediaFileWriter::MediaFileWriter() = default;

MediaFileWriter::~MediaFileWriter()
{
    Abort();
}

status_t MediaFileWriter::Fail(status_t status, const std::string& text)
{
    fError = text;
    return status;
}

status_t MediaFileWriter::Create(const std::string& path, int32 frameRate, int32 channelCount,
    uint32 sampleFormat)
{
    Abort();
    fError.clear();
    if (path.empty())
        return Fail(B_BAD_VALUE, "No file name given");
    int subFormat = SubFormat(sampleFormat);
    if (frameRate <= 0 || frameRate > 1000000 || channelCount <= 0 || channelCount > 64
        || subFormat == 0)
        return Fail(B_BAD_VALUE, "Unsupported audio format");

    auto output = std::make_unique<AtomicFileWriter>(path.c_str(), "audio/x-wav");
    if (output->InitCheck() != B_OK) {
        status_t status = output->InitCheck();
        // A folder in the way cannot be replaced; anything else could not be created.
        const char* what = status == B_IS_A_DIRECTORY ? "Cannot replace" : "Cannot create";
        return Fail(status, std::string(what) + " \"" + path + "\": " + strerror_status(status));
    }
    SF_INFO info{};
    info.samplerate = frameRate;
    info.channels = channelCount;
    info.format = SF_FORMAT_WAV | subFormat | SF_ENDIAN_LITTLE;
    SNDFILE* file = sf_open_virtual(&gVirtualIO, SFM_WRITE, &info, output.get());
    if (file == nullptr)
        return Fail(B_IO_ERROR, "Cannot create \"" + path + "\": " + sf_strerror(nullptr));
    // Floats written to integer files scale by 2^15 (2^31) as they read back.
    sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    fOutput = std::move(output);
    fFile = file;
    fChannels = channelCount;
    fSampleFormat = sampleFormat;
    fPath = path;
    return B_OK;
}

status_t MediaFileWriter::WriteFrames(const int16* frames, int64 frameCount)
{
    if (fFile == nullptr)
        return Fail(B_NO_INIT, "No file is open for writing");
    if (frameCount < 0 || (frameCount > 0 && frames == nullptr))
        return Fail(B_BAD_VALUE, "Invalid sample buffer");
    if (frameCount == 0)
        return B_OK;
    sf_count_t written = sf_writef_short(fFile, frames, frameCount);
    if (written != frameCount || fOutput->Error() != B_OK) {
        status_t status = fOutput->Error() != B_OK ? fOutput->Error() : B_IO_ERROR;
        return Fail(status, "Cannot write \"" + fPath + "\": " + strerror_status(status));
    }
    return B_OK;
}

status_t MediaFileWriter::WriteFrames(const float* frames, int64 frameCount)
{
    if (fFile == nullptr)
        return Fail(B_NO_INIT, "No file is open for writing");
    if (frameCount < 0 || (frameCount > 0 && frames == nullptr))
        return Fail(B_BAD_VALUE, "Invalid sample buffer");
    // Convert in blocks on the stack, so that the scaling is ours, not libsndfile's.
    constexpr size_t kBlockSamples = 4096;
    union {
        int16 shorts[kBlockSamples];
        int32 ints[kBlockSamples];
        float floats[kBlockSamples];
    } block;
    int64 blockFrames = std::max<int64>(1, int64(kBlockSamples) / fChannels);
    for (int64 done = 0; done < frameCount;) {
        int64 n = std::min(blockFrames, frameCount - done);
        const float* in = frames + done * fChannels;
        size_t samples = size_t(n * fChannels);
        sf_count_t written;
        if (fSampleFormat == media_raw_audio_format::B_AUDIO_SHORT) {
            convert_from_float(in, block.shorts, samples, fSampleFormat);
            written = sf_writef_short(fFile, block.shorts, n);
        } else if (fSampleFormat == media_raw_audio_format::B_AUDIO_INT) {
            convert_from_float(in, block.ints, samples, fSampleFormat);
            written = sf_writef_int(fFile, block.ints, n);
        } else {
            convert_from_float(in, block.floats, samples, fSampleFormat);
            written = sf_writef_float(fFile, block.floats, n);
        }
        if (written != n || fOutput->Error() != B_OK) {
            status_t status = fOutput->Error() != B_OK ? fOutput->Error() : B_IO_ERROR;
            return Fail(status, "Cannot write \"" + fPath + "\": " + strerror_status(status));
        }
        done += n;
    }
    return B_OK;
}

status_t MediaFileWriter::Commit()
{
    if (fFile == nullptr)
        return Fail(B_NO_INIT, "No file is open for writing");
    // Closing writes the final header through the virtual I/O.
    int closeStatus = sf_close(fFile);
    fFile = nullptr;
    if (closeStatus != 0) {
        std::string text = "Cannot write \"" + fPath + "\": " + sf_error_number(closeStatus);
        Abort();
        return Fail(B_IO_ERROR, text);
    }
    status_t status = fOutput->Commit();
    fOutput.reset();
    if (status != B_OK)
        return Fail(status, "Cannot write \"" + fPath + "\": " + strerror_status(status));
    return B_OK;
}

void MediaFileWriter::Abort()
{
    if (fFile != nullptr) {
        sf_close(fFile);
        fFile = nullptr;
    }
    if (fOutput) {
        fOutput->Discard();
        fOutput.reset();
    }
}

#include "media/MediaFileWriter.h"

#include <sndfile.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

std::string SystemError(const std::string& what, const std::string& path, int err)
{
    return what + " \"" + path + "\": " + std::strerror(err);
}

mode_t CreationMode()
{
    // mkstemp makes 0600 files; a finished sound file gets the usual 0666 minus umask.
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

}  // namespace

MediaFileWriter::~MediaFileWriter()
{
    Abort();
}

int32_t MediaFileWriter::Fail(int32_t status, const std::string& text)
{
    fError = text;
    return status;
}

int32_t MediaFileWriter::Create(const std::string& path, int32_t frameRate, int32_t channelCount)
{
    Abort();
    fError.clear();
    if (path.empty())
        return Fail(kBadValue, "No file name given");
    if (frameRate <= 0 || channelCount <= 0 || channelCount > 64)
        return Fail(kBadValue, "Unsupported audio format");

    std::vector<char> name(path.begin(), path.end());
    static const char kSuffix[] = ".partial-XXXXXX";
    name.insert(name.end(), kSuffix, kSuffix + sizeof(kSuffix));
    int fd = mkstemp(name.data());
    if (fd < 0)
        return Fail(kError, SystemError("Cannot create", path, errno));
    fTempPath = name.data();
    fchmod(fd, CreationMode());

    SF_INFO info{};
    info.samplerate = frameRate;
    info.channels = channelCount;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16 | SF_ENDIAN_LITTLE;
    SNDFILE* file = sf_open_fd(fd, SFM_WRITE, &info, SF_FALSE);
    if (file == nullptr) {
        std::string reason = sf_strerror(nullptr);
        close(fd);
        unlink(fTempPath.c_str());
        fTempPath.clear();
        return Fail(kError, "Cannot create \"" + path + "\": " + reason);
    }
    fFile = file;
    fDescriptor = fd;
    fChannels = channelCount;
    fPath = path;
    return kOk;
}

int32_t MediaFileWriter::WriteFrames(const int16_t* frames, int64_t frameCount)
{
    if (fFile == nullptr)
        return Fail(kNotOpen, "No file is open for writing");
    if (frameCount < 0 || (frameCount > 0 && frames == nullptr))
        return Fail(kBadValue, "Invalid sample buffer");
    if (frameCount == 0)
        return kOk;
    sf_count_t written = sf_writef_short(fFile, frames, frameCount);
    if (written != frameCount)
        return Fail(kError, "Cannot write \"" + fPath + "\": " + sf_strerror(fFile));
    return kOk;
}

int32_t MediaFileWriter::Commit()
{
    if (fFile == nullptr)
        return Fail(kNotOpen, "No file is open for writing");
    // Closing writes the final header; the descriptor stays ours so it can be synced.
    int closeStatus = sf_close(fFile);
    fFile = nullptr;
    if (closeStatus != 0) {
        std::string text = "Cannot write \"" + fPath + "\": " + sf_error_number(closeStatus);
        Abort();
        return Fail(kError, text);
    }
    if (fsync(fDescriptor) != 0) {
        int err = errno;
        Abort();
        return Fail(kError, SystemError("Cannot write", fPath, err));
    }
    int fd = fDescriptor;
    fDescriptor = -1;
    if (close(fd) != 0) {
        int err = errno;
        Abort();
        return Fail(kError, SystemError("Cannot write", fPath, err));
    }
    if (rename(fTempPath.c_str(), fPath.c_str()) != 0) {
        int err = errno;
        Abort();
        return Fail(kError, SystemError("Cannot replace", fPath, err));
    }
    fTempPath.clear();
    return kOk;
}

void MediaFileWriter::Abort()
{
    if (fFile != nullptr) {
        sf_close(fFile);
        fFile = nullptr;
    }
    if (fDescriptor >= 0) {
        close(fDescriptor);
        fDescriptor = -1;
    }
    if (!fTempPath.empty()) {
        unlink(fTempPath.c_str());
        fTempPath.clear();
    }
}

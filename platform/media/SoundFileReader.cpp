#include "media/SoundFileReader.h"

#include "media/MediaDefs.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

constexpr int64 kChunkValues = 4096;

std::string MimeFor(int format)
{
  switch (format & SF_FORMAT_TYPEMASK) {
    case SF_FORMAT_WAV:
    case SF_FORMAT_WAVEX:
    case SF_FORMAT_RF64: return "audio/x-wav";
    case SF_FORMAT_AIFF: return "audio/x-aiff";
    case SF_FORMAT_AU: return "audio/basic";
    case SF_FORMAT_FLAC: return "audio/flac";
    case SF_FORMAT_OGG: return "audio/ogg";
    default: return "audio/x-raw";
  }
}

}  // namespace

SoundFileReader::~SoundFileReader() { Close(); }

void SoundFileReader::Close() {
  if (mFile != nullptr) sf_close(mFile);
  mFile = nullptr;
  mChannels = 0;
  mSampleRate = 0;
  mFrames = 0;
  mMimeType.clear();
}

status_t SoundFileReader::Open(const std::string& path) {
  Close();
  mError.clear();
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    const int err = errno;
    mError = path + ": " + std::strerror(err);
    return err == EACCES ? B_PERMISSION_DENIED : B_ENTRY_NOT_FOUND;
  }
  if (S_ISDIR(info.st_mode)) {
    mError = path + ": is a folder, not a sound file";
    return B_ENTRY_NOT_FOUND;
  }
  if (info.st_size == 0) {
    mError = path + ": the file is empty";
    return B_MEDIA_NO_HANDLER;
  }
  SF_INFO format{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &format);
  if (file == nullptr) {
    const int code = sf_error(nullptr);
    mError = path + ": not a sound file that can be read (" + sf_error_number(code) + ")";
    return code == SF_ERR_SYSTEM ? status_t(B_PERMISSION_DENIED) : status_t(B_MEDIA_NO_HANDLER);
  }
  if (format.channels <= 0 || format.channels > 1024 || format.samplerate <= 0 ||
      format.frames < 0) {
    sf_close(file);
    mError = path + ": the file gives no channels or no sample rate";
    return B_MEDIA_BAD_FORMAT;
  }
  try {
    mChunk.assign(static_cast<size_t>(std::max<int64>(kChunkValues, format.channels)), 0.0f);
  } catch (const std::bad_alloc&) {
    sf_close(file);
    return B_NO_MEMORY;
  }
  mFile = file;
  mChannels = format.channels;
  mSampleRate = format.samplerate;
  mFrames = format.frames;
  mMimeType = MimeFor(format.format);
  return B_OK;
}

int64 SoundFileReader::ReadFloat(float* out, int64 frames) {
  if (mFile == nullptr) return B_NO_INIT;
  if (out == nullptr || frames <= 0) return 0;
  const sf_count_t got = sf_readf_float(mFile, out, frames);
  if (got < 0) return B_IO_ERROR;
  return got;
}

int64 SoundFileReader::ReadInt16(int16* out, int64 frames) {
  if (mFile == nullptr) return B_NO_INIT;
  if (out == nullptr || frames <= 0) return 0;
  // Read as float and convert here, so that out-of-range (float) samples clamp instead of
  // wrapping, and not-a-number samples become silence.
  const int64 chunkFrames = static_cast<int64>(mChunk.size()) / mChannels;
  int64 done = 0;
  while (done < frames) {
    const int64 want = std::min(chunkFrames, frames - done);
    const sf_count_t got = sf_readf_float(mFile, mChunk.data(), want);
    if (got < 0) return B_IO_ERROR;
    const int64 values = got * mChannels;
    int16* dst = out + done * mChannels;
    for (int64 i = 0; i < values; ++i) {
      const float x = mChunk[static_cast<size_t>(i)];
      double v = std::isnan(x) ? 0.0 : std::nearbyint(static_cast<double>(x) * 32768.0);
      if (v > 32767) v = 32767;
      if (v < -32768) v = -32768;
      dst[i] = static_cast<int16>(v);
    }
    done += got;
    if (got < want) break;
  }
  return done;
}

int64 SoundFileReader::Seek(int64 frame) {
  if (mFile == nullptr) return B_NO_INIT;
  if (frame < 0 || frame > mFrames) return B_BAD_VALUE;
  const sf_count_t at = sf_seek(mFile, frame, SEEK_SET);
  if (at < 0) return B_IO_ERROR;
  return at;
}

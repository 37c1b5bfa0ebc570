#include "media/SoundFileReader.h"

#include <sndfile.h>
#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <algorithm>
#include <cstring>
#include <vector>

SoundFileReader::~SoundFileReader() { Close(); }

void SoundFileReader::Close() {
  if (mFile != nullptr) sf_close(mFile);
  mFile = nullptr;
  mChannels = 0;
  mSampleRate = 0;
  mFrames = 0;
}

int32_t SoundFileReader::Open(const std::string& path) {
  Close();
  mError.clear();
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) {
    mError = path + ": " + std::strerror(errno);
    return kSoundFileNotFound;
  }
  if (S_ISDIR(info.st_mode)) {
    mError = path + ": is a folder, not a sound file";
    return kSoundFileNotFound;
  }
  if (info.st_size == 0) {
    mError = path + ": the file is empty";
    return kSoundFileNotSound;
  }
  SF_INFO format{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &format);
  if (file == nullptr) {
    const int code = sf_error(nullptr);
    mError = path + ": not a sound file that can be read (" + sf_error_number(code) + ")";
    return code == SF_ERR_SYSTEM ? kSoundFileNotFound : kSoundFileNotSound;
  }
  if (format.channels <= 0 || format.samplerate <= 0 || format.frames < 0) {
    sf_close(file);
    mError = path + ": the file gives no channels or no sample rate";
    return kSoundFileBadFormat;
  }
  mFile = file;
  mChannels = format.channels;
  mSampleRate = format.samplerate;
  mFrames = format.frames;
  return kSoundFileOk;
}

int64_t SoundFileReader::ReadFloat(float* out, int64_t frames) {
  if (mFile == nullptr) return kSoundFileNotOpen;
  if (out == nullptr || frames <= 0) return 0;
  const sf_count_t got = sf_readf_float(mFile, out, frames);
  if (got < 0) return kSoundFileReadError;
  return got;
}

int64_t SoundFileReader::ReadInt16(int16_t* out, int64_t frames) {
  if (mFile == nullptr) return kSoundFileNotOpen;
  if (out == nullptr || frames <= 0) return 0;
  // Read as float and convert here, so that out-of-range (float) samples clamp instead of
  // wrapping, and not-a-number samples become silence.
  constexpr int64_t kChunkValues = 4096;
  std::vector<float> chunk(static_cast<size_t>(kChunkValues));
  const int64_t chunkFrames = std::max<int64_t>(1, kChunkValues / mChannels);
  if (chunkFrames * mChannels > kChunkValues) chunk.resize(static_cast<size_t>(mChannels));
  int64_t done = 0;
  while (done < frames) {
    const int64_t want = std::min(chunkFrames, frames - done);
    const sf_count_t got = sf_readf_float(mFile, chunk.data(), want);
    if (got < 0) return kSoundFileReadError;
    const int64_t values = got * mChannels;
    int16_t* dst = out + done * mChannels;
    for (int64_t i = 0; i < values; ++i) {
      const float x = chunk[static_cast<size_t>(i)];
      double v = std::isnan(x) ? 0.0 : std::nearbyint(static_cast<double>(x) * 32768.0);
      if (v > 32767) v = 32767;
      if (v < -32768) v = -32768;
      dst[i] = static_cast<int16_t>(v);
    }
    done += got;
    if (got < want) break;
  }
  return done;
}

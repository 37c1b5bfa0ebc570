// Reads any sound file libsndfile understands (WAV, AIFF, FLAC, Ogg, ...), frame by frame,
// as float (-1..1) or as 16-bit integers (clamped, never wrapped).
#pragma once

#include <cstdint>
#include <string>

struct sf_private_tag;

// Status codes of SoundFileReader::Open; 0 success, negative failure.
enum SoundFileStatus : int32_t {
  kSoundFileOk = 0,
  kSoundFileNotFound = -1,      // no such file, or not readable
  kSoundFileNotSound = -2,      // a file, but not one of the sound formats understood
  kSoundFileBadFormat = -3,     // a sound file with no channels or no sample rate
  kSoundFileNotOpen = -4,       // reading before a successful Open
  kSoundFileReadError = -5,     // the data ended or failed before the header said
};

class SoundFileReader {
 public:
  SoundFileReader() = default;
  ~SoundFileReader();
  SoundFileReader(const SoundFileReader&) = delete;
  SoundFileReader& operator=(const SoundFileReader&) = delete;

  // Opens a file, closing any file opened before. On failure ErrorText() says why.
  int32_t Open(const std::string& path);
  void Close();
  bool IsOpen() const { return mFile != nullptr; }

  int32_t Channels() const { return mChannels; }
  int32_t SampleRate() const { return mSampleRate; }
  int64_t Frames() const { return mFrames; }  // as the header says
  const std::string& ErrorText() const { return mError; }

  // Read up to `frames` interleaved frames into `out` (room for frames x Channels() values).
  // Return the number of frames read: 0 at the end, a negative status on failure.
  int64_t ReadFloat(float* out, int64_t frames);
  int64_t ReadInt16(int16_t* out, int64_t frames);

 private:
  sf_private_tag* mFile = nullptr;
  int32_t mChannels = 0;
  int32_t mSampleRate = 0;
  int64_t mFrames = 0;
  std::string mError;
};

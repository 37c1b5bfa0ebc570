#pragma once
// SoundFileReader: reads any sound file libsndfile understands (WAV, AIFF, FLAC, Ogg,
// ...), frame by frame, as float (-1..1; integer files scaled by 2^-15 / 2^-31) or as
// 16-bit integers (clamped, never wrapped), and seeks to any frame.
//
// Errors: Open gives B_ENTRY_NOT_FOUND (no such file, or a folder), B_PERMISSION_DENIED,
// B_MEDIA_NO_HANDLER (not a sound file it understands, an empty file) or
// B_MEDIA_BAD_FORMAT (no channels or no rate); reads give B_NO_INIT before Open and
// B_IO_ERROR when the data fail; ErrorText() says it in words.
// Threads: one thread at a time. Reading does not allocate (space for the 16-bit
// conversion is made by Open).
#include "kernel/SupportDefs.h"

#include <string>
#include <vector>

struct sf_private_tag;

class SoundFileReader {
 public:
  SoundFileReader() = default;
  ~SoundFileReader();
  SoundFileReader(const SoundFileReader&) = delete;
  SoundFileReader& operator=(const SoundFileReader&) = delete;

  // Opens a file, closing any file opened before.
  status_t Open(const std::string& path);
  void Close();
  bool IsOpen() const { return mFile != nullptr; }

  int32 Channels() const { return mChannels; }
  int32 SampleRate() const { return mSampleRate; }
  int64 Frames() const { return mFrames; }  // as the header says
  // A MIME type for the file's container ("audio/x-wav", "audio/flac", ...).
  const std::string& MimeType() const { return mMimeType; }
  const std::string& ErrorText() const { return mError; }

  // Reads up to `frames` interleaved frames into `out` (room for frames x Channels()
  // values). Returns the number of frames read: 0 at the end, a negative status on failure.
  int64 ReadFloat(float* out, int64 frames);
  int64 ReadInt16(int16* out, int64 frames);
  // Moves to frame `frame` (0..Frames()); returns it, or a negative status.
  int64 Seek(int64 frame);

 private:
  sf_private_tag* mFile = nullptr;
  int32 mChannels = 0;
  int32 mSampleRate = 0;
  int64 mFrames = 0;
  std::string mMimeType;
  std::string mError;
  std::vector<float> mChunk;  // made by Open, for ReadInt16
};

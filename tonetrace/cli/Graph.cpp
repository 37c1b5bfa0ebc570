#include "cli/Graph.h"

#include "media/MediaRoster.h"
#include "node/SonaraNode.h"

bool ConnectToTonetrace(BMediaRoster* roster, const media_node& producer, SonaraNode* node,
                        size_t bufferBytes, media_output& output, media_input& input,
                        std::string& error) {
  int32 count = 0;
  if (roster->GetFreeOutputsFor(producer, &output, 1, &count, B_MEDIA_RAW_AUDIO) != B_OK ||
      count < 1) {
    error = "unable to get a free output from the producer node";
    return false;
  }
  if (roster->GetFreeInputsFor(node->Node(), &input, 1, &count, B_MEDIA_RAW_AUDIO) != B_OK ||
      count < 1) {
    error = "unable to get a free input to Tonetrace";
    return false;
  }
  media_format format = media_format::RawAudioFormat();
  format.u.raw_audio.format = media_raw_audio_format::B_AUDIO_SHORT;
  format.u.raw_audio.buffer_size = bufferBytes;
  status_t status = roster->Connect(output.source, input.destination, &format, &output, &input);
  if (status != B_OK) {
    format = media_format::RawAudioFormat();
    status = roster->Connect(output.source, input.destination, &format, &output, &input);
  }
  if (status != B_OK) error = std::string("unable to connect nodes: ") + media_strerror(status);
  return status == B_OK;
}

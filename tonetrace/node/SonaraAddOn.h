// SonaraAddOn: the media add-on that makes pitch-tracking nodes for other programs (the
// media host, `mediahost run`), one flavor "Tonetrace": a buffer consumer of raw audio
// and a controllable. Its nodes have no window: they read the converter's preferences
// file for the synthesizer and the MIDI port, and play on channel 1.
//
// The shared object tonetrace.so exports make_media_addon(image), which returns a new
// SonaraAddOn.
//
// Lifetime: the roster owns the add-on (MediaAddOn.h); its nodes are released before it.
// Threads: called on the thread that asks the roster.
#pragma once

#include "media/MediaAddOn.h"

class SonaraAddOn : public BMediaAddOn {
 public:
  explicit SonaraAddOn(image_id image);

  status_t InitCheck(const char** outFailureText) override;
  int32 CountFlavors() override;
  status_t GetFlavorAt(int32 n, const flavor_info** outInfo) override;
  BMediaNode* InstantiateNodeFor(const flavor_info* info, BMessage* config,
                                 status_t* outError) override;
  status_t GetConfigurationFor(BMediaNode* yourNode, BMessage* intoMessage) override;
  bool WantsAutoStart() override;
  status_t AutoStart(int32 index, BMediaNode** outNode, int32* outInternalID,
                     bool* outHasMore) override;

 private:
  media_format mInputFormat;
  flavor_info mFlavor;
};

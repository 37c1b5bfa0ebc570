#include "node/SonaraAddOn.h"

#include <new>

#include "node/SonaraNode.h"

SonaraAddOn::SonaraAddOn(image_id image)
    : BMediaAddOn(image), mInputFormat(media_format::RawAudioFormat()) {
  mFlavor.name = "Tonetrace";
  mFlavor.info = "Translate Audio stream into Midi stream";
  mFlavor.kinds = B_BUFFER_CONSUMER | B_CONTROLLABLE;
  mFlavor.flavor_flags = 0;
  mFlavor.internal_id = 0;
  mFlavor.possible_count = 0;
  mFlavor.in_format_count = 1;
  mFlavor.in_formats = &mInputFormat;
  mFlavor.out_format_count = 0;
  mFlavor.out_formats = nullptr;
}

status_t SonaraAddOn::InitCheck(const char** outFailureText) {
  if (outFailureText != nullptr) *outFailureText = "";
  return B_OK;
}

int32 SonaraAddOn::CountFlavors() { return 1; }

status_t SonaraAddOn::GetFlavorAt(int32 n, const flavor_info** outInfo) {
  if (n != 0 || outInfo == nullptr) return B_ERROR;
  *outInfo = &mFlavor;
  return B_OK;
}

BMediaNode* SonaraAddOn::InstantiateNodeFor(const flavor_info*, BMessage*, status_t* outError) {
  auto* node = new (std::nothrow) SonaraNode(nullptr, this, "", 1);
  if (outError != nullptr) *outError = node != nullptr ? B_OK : B_NO_MEMORY;
  return node;
}

status_t SonaraAddOn::GetConfigurationFor(BMediaNode*, BMessage*) { return B_OK; }

bool SonaraAddOn::WantsAutoStart() { return false; }

status_t SonaraAddOn::AutoStart(int32, BMediaNode** outNode, int32*, bool* outHasMore) {
  if (outNode != nullptr) *outNode = nullptr;
  if (outHasMore != nullptr) *outHasMore = false;
  return B_OK;
}

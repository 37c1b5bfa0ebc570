// The entry point of tonetrace.so, the media add-on that other programs load (a program
// file cannot be loaded as a library on Linux, so the add-on is a shared object of its
// own, built from the same sources as the tonetrace program).
#include "node/SonaraAddOn.h"

#include <new>

extern "C" __attribute__((visibility("default"))) BMediaAddOn* make_media_addon(image_id image) {
  return new (std::nothrow) SonaraAddOn(image);
}

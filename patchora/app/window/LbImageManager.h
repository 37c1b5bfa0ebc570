#pragma once
// LbImageManager: the program's bitmaps by name, loaded on first use from the images the
// program ships (interface/ImageStore.h) and kept as long as the manager lives (the
// application's life).
//
// Errors: a name that cannot be loaded gives null and a diagnostic line on standard
// output (once per name).
// Threads: GUI thread only.
#include "kernel/Geometry.h"
#include "kernel/SupportDefs.h"

#include <map>
#include <memory>
#include <string>

class QPixmap;

class LbImageManager {
public:
    LbImageManager();
    ~LbImageManager();
    LbImageManager(const LbImageManager&) = delete;
    LbImageManager& operator=(const LbImageManager&) = delete;

    // The cached or newly loaded bitmap (owned by the manager), or null.
    const QPixmap* BitmapAt(const char* name);
    // The bitmap drawn at `where` over a background of `color`, as a picture for a
    // button: its size is the bitmap's plus the offset. Null when the name is unknown.
    std::unique_ptr<QPixmap> PictureAt(const char* name, BPoint where, rgb_color background);
    std::unique_ptr<QPixmap> PictureAt(const QPixmap* bitmap, BPoint where, rgb_color background);

private:
    std::map<std::string, std::unique_ptr<QPixmap>> mBitmaps; // null: could not load
};

// The image store: the bitmaps window Parts name by name ("Logo", "Play", ...). A program
// ships them as Qt resources under ":/images/" (NAME.png or NAME.svg) or draws them at
// start and adds them here. Threads: GUI thread only.
#pragma once

class QPixmap;

namespace image_store {

// The image of that name; a null pixmap when there is none.
QPixmap Find(const char* name);
// Adds or replaces an image drawn by the program.
void Add(const char* name, const QPixmap& image);

}  // namespace image_store

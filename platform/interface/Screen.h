// BScreen: the screen a window Part places itself on (the primary screen). Its frame is
// in screen coordinates with right and bottom inside (a 1920 × 1080 screen is
// 0,0 – 1919,1079). Without a screen (no application) IsValid() is false and the frame is
// 0,0 – 1023,767, a size window Parts can still divide by.
// Threads: GUI thread only.
#pragma once

#include "kernel/Geometry.h"

class BWindow;

class BScreen {
public:
	BScreen();
	explicit BScreen(BWindow* window);

	bool IsValid() const { return fValid; }
	BRect Frame() const { return fFrame; }

private:
	bool fValid;
	BRect fFrame;
};

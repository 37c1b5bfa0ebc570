// BWindow: a looper on the GUI thread that owns one top-level QWidget. Build the
// window's content inside Widget() (layouts, Qt's controls, our views); handle the
// window's message codes in MessageReceived, as for any looper.
//
// Lifetime: create, fill and Show() on the GUI thread, after the BApplication. Quit()
// (or the window's close box, which posts B_QUIT_REQUESTED and asks QuitRequested())
// deletes the window and its widget; never `delete` a window. What the application
// still holds of it is a BMessenger, which goes invalid.
//
// Threads: everything here runs on the GUI thread, where all windows live, except
// PostMessage, BMessenger sends and Quit (which then only posts the quit). Another
// thread may Lock() a window only to post to it or read the window object's own data:
// while it holds the lock the window's messages wait, and Qt's input, paint and close
// events for its widgets are put off (re-posted after 2 ms; a paint becomes an update),
// never waited for. It must not touch widgets. Qt's other events (resize, show, layout)
// are delivered at once. Timers and queued calls a window needs are messages to itself
// (BMessageRunner), so that they too run as its dispatches.
//
// Frame: in screen coordinates with right and bottom inside the window, as BRect has it:
// the frame 50,50 – 560,515 is a content area of 511 × 466 pixels whose top left corner
// is at 50,50. A frame smaller than the content's minimum size grows to it.
#pragma once

#include "app/Looper.h"
#include "kernel/Geometry.h"

class QWidget;

enum window_type {
	B_TITLED_WINDOW = 1,
	B_DOCUMENT_WINDOW = 11,
	B_MODAL_WINDOW = 3,
	B_FLOATING_WINDOW = 21,
};

enum {
	B_NOT_RESIZABLE = 0x00000002,
	B_NOT_ZOOMABLE = 0x00000008,
	B_ASYNCHRONOUS_CONTROLS = 0x00080000,
	B_QUIT_ON_WINDOW_CLOSE = 0x00100000,
};

class BWindow : public BLooper {
public:
	BWindow(BRect frame, const char* title, window_type type = B_TITLED_WINDOW, uint32 flags = 0);
	~BWindow() override;

	// The top-level widget; the window owns it.
	QWidget* Widget() const;

	void Show();
	void Hide();
	bool IsHidden() const;
	void Minimize(bool minimize);
	bool IsMinimized() const;
	void Activate(bool active = true);
	bool IsActive() const;

	void SetTitle(const char* title);
	const char* Title() const;

	BRect Frame() const;
	// The content area in the window's own coordinates (left, top = 0).
	BRect Bounds() const;
	void MoveTo(float left, float top);
	void ResizeTo(float width, float height);

	uint32 Flags() const { return fFlags; }

private:
	struct Private;
	Private* fPrivate;
	uint32 fFlags;
};

// BClipboard: the desktop's clipboard (QClipboard) as a message of typed data. Data()
// holds one B_MIME_TYPE field per format, named by its MIME type ("text/plain",
// "text/x-vnd.ORB.PatchesLib", ...), whose bytes are the content.
//
// Use: Lock() (reads the desktop's clipboard into Data()), then read, or Clear(), add
// fields and Commit() (puts every B_MIME_TYPE field on the desktop's clipboard), then
// Unlock(). be_clipboard is the application's clipboard (null without a BApplication).
// Threads: GUI thread only (Qt's clipboard lives there); a worker posts to a window.
#pragma once

#include "kernel/SupportDefs.h"

class BMessage;

class BClipboard {
public:
	explicit BClipboard(const char* name);
	~BClipboard();
	BClipboard(const BClipboard&) = delete;
	BClipboard& operator=(const BClipboard&) = delete;

	const char* Name() const { return fName; }
	bool Lock();
	void Unlock();
	bool IsLocked() const { return fLocks > 0; }

	status_t Clear();
	status_t Commit();
	// Reads the desktop's clipboard again, dropping what was not committed.
	status_t Revert();
	// The data; valid while locked.
	BMessage* Data() const;

private:
	char* fName;
	BMessage* fData;
	int32 fLocks;
};

extern BClipboard* be_clipboard;

// BFilePanel: the open and save dialogs of a window Part, on QFileDialog.
//
// An open panel sends its message (B_REFS_RECEIVED unless given) with one entry_ref per
// chosen entry in "refs"; a save panel sends its message (B_SAVE_REQUESTED unless given)
// with the entry_ref "directory" and the string "name". The target is the application
// unless given. Cancelling sends nothing. The panel is not modal and stays after it was
// used; Show() again brings it back. Panels are not windows: they do not count in
// BApplication::CountWindows.
//
// Lifetime: the owner deletes the panel. Threads: GUI thread only.
#pragma once

#include "app/Messenger.h"
#include "kernel/EntryRef.h"

class BMessage;
class QFileDialog;

enum file_panel_mode { B_OPEN_PANEL, B_SAVE_PANEL };

// Which kinds of entries an open panel lets the user choose (0: files).
enum { B_FILE_NODE = 0x01, B_SYMLINK_NODE = 0x02, B_DIRECTORY_NODE = 0x04 };

class BFilePanel {
public:
	// target and message are copied (either may be null); directory is where the panel
	// starts (null: the current directory).
	explicit BFilePanel(file_panel_mode mode = B_OPEN_PANEL, const BMessenger* target = nullptr,
		const entry_ref* directory = nullptr, uint32 nodeFlavors = 0,
		bool allowMultipleSelection = true, const BMessage* message = nullptr);
	~BFilePanel();
	BFilePanel(const BFilePanel&) = delete;
	BFilePanel& operator=(const BFilePanel&) = delete;

	void Show();
	void Hide();
	bool IsShowing() const;

	file_panel_mode PanelMode() const { return fMode; }
	void SetTarget(BMessenger target);
	BMessenger Messenger() const { return fTarget; }
	// Copied; null restores the default message.
	void SetMessage(const BMessage* message);
	void SetPanelDirectory(const entry_ref* directory);
	void SetSaveText(const char* text);

	// The dialog, made by the first Show(); tests choose entries through it.
	QFileDialog* Dialog() const;

	// The message the panel sends for these choices (as the target would get it).
	BMessage* MakeOpenMessage(const char* const* paths, int32 count) const;
	BMessage* MakeSaveMessage(const char* directory, const char* name) const;

private:
	void Accepted();

	file_panel_mode fMode;
	BMessenger fTarget;
	BMessage* fMessage;   // owned; null: the default
	entry_ref fDirectory;
	uint32 fNodeFlavors;
	bool fMultiple;
	char* fSaveText;      // owned
	QFileDialog* fDialog; // owned
};

#pragma once
// Preferences: plugbridge's settings file, "Media/vst/settings" in the user settings
// directory: one flattened BMessage (what 'vstP') with the fields
//   "plugins directory" string  the directory the add-on scans (default: the first entry of
//                               $VST_PATH, else ~/.vst)
//   "window frame"      BRect   the preferences window (default 100, 100, 500, 400)
//   "bad plugin"        message one per plug-in file that crashed or hung while scanned:
//                               "path" string, "size" int64, "modified" int64 (ns since
//                               the epoch), "reason" string
// A missing or unreadable file is replaced by the defaults, written back at once. Every
// change re-reads the file, changes its one field and writes the whole message back,
// replacing the file whole or not at all.
//
// Errors: the setters answer the write's status; the getters never fail (defaults).
// Threads: every method may be called from any thread (one lock per object).

#include <mutex>
#include <string>
#include <vector>

#include "kernel/Geometry.h"
#include "kernel/SupportDefs.h"

class BMessage;

class Preferences {
public:
	static constexpr uint32 kSettingsWhat = 'vstP';
	static constexpr BRect VST_DEFAULT_FRAME{100, 100, 500, 400};

	// A plug-in file left out of scans until it changes.
	struct BadFile {
		std::string path;
		int64 size = 0;
		int64 modified = 0;  // ns since the epoch
		std::string reason;
	};

	// The process's settings, in the user settings directory (created on first use).
	static Preferences* getInstance();
	// Settings kept in the given file (its directory must exist).
	explicit Preferences(const std::string& settingsPath);
	Preferences(const Preferences&) = delete;
	Preferences& operator=(const Preferences&) = delete;

	// B_OK when the file was read or written; else why the defaults are only in memory.
	status_t InitCheck() const { return fStatus; }
	const std::string& SettingsPath() const { return fSettingsPath; }

	// The plug-in directory.
	std::string getPath();
	status_t setPath(const char* path);
	BRect getFrame();
	status_t setFrame(BRect frame);
	// Restores the default plug-in directory.
	status_t setDefaults();
	// The default plug-in directory: the first entry of $VST_PATH, else ~/.vst.
	static std::string DefaultPath();

	std::vector<BadFile> BadFiles();
	// Remembers a file, replacing what was remembered for the same path.
	status_t RememberBadFile(const BadFile& file);
	status_t ForgetBadFile(const std::string& path);

private:
	// Reads the file into message; an unreadable one gives the defaults, written back.
	status_t Read(BMessage* message);
	status_t Write(const BMessage& message);
	void AddDefaults(BMessage* message);

	std::mutex fLock;
	std::string fSettingsPath;
	std::string fPath;     // guarded by fLock
	BRect fFrame;          // guarded by fLock
	status_t fStatus = B_NO_INIT;
};

#pragma once
// PlugInScanner: finds the VST plug-ins of a directory without letting one that crashes or
// hangs take the scanning process with it.
//
// Each file (entries sorted by name, links followed, directories skipped) is first loaded
// by a child process (the plugbridge program, `plugbridge --scan-child FILE...`), which
// makes a prototype and an opened instance of it and reports on a pipe. A file the child
// crashed on, or that kept it busy past the time-out (the child is then killed), is left
// out and remembered in the Preferences with its size and modification time; later scans
// skip it without loading it until the file changes. Files that load cleanly in the child
// are then loaded in this process, in order; each gets its position as internal id.
// Without a child program the files are loaded here directly (a warning on stderr).
//
// Errors: Scan answers B_OK, or why the directory could not be read (the lists then stay
// empty). Files that fail are listed in `rejected` with the reason, never fatal.
// Threads: one scan per object at a time; scans of different objects may run at once.

#include <memory>
#include <string>
#include <vector>

#include "kernel/SupportDefs.h"

class Preferences;
class VSTPlugIn;

class PlugInScanner {
public:
	// A file of the directory that did not become a plug-in.
	struct Rejected {
		std::string path;
		// The loading error of a refused file; B_INTERRUPTED when it crashed the loading
		// process, B_TIMED_OUT when it hung.
		status_t status;
		std::string reason;  // for the user
		bool remembered;     // left out because an earlier scan crashed or hung on it
	};

	static constexpr bigtime_t kDefaultTimeout = 10000000;

	// preferences may be null (nothing remembered); program empty: DefaultChildProgram().
	PlugInScanner(Preferences* preferences, std::string program = std::string(),
		bigtime_t timeout = kDefaultTimeout);

	status_t Scan(const std::string& directory, std::vector<std::unique_ptr<VSTPlugIn>>* plugIns,
		std::vector<Rejected>* rejected);

	// The program that loads files for a scan: $PLUGBRIDGE_PROGRAM when set, else the
	// plugbridge program beside this code's own file (the program or the add-on); empty
	// when there is none.
	static std::string DefaultChildProgram();

	// The child's side: loads each file and reports on descriptor `report`. Returns the
	// exit code.
	static int RunChild(int fileCount, const char* const* files, int report);

	// The regular files of a directory, sorted by name (links followed).
	static status_t ListFiles(const std::string& directory, std::vector<std::string>* files);

private:
	struct Outcome {
		enum Kind { kUnknown, kLoaded, kRefused, kCrashed, kHung };
		Kind kind = kUnknown;
		status_t status = B_OK;
		std::string reason;
	};
	// Loads files[first …] in a child; fills outcomes until the child ends. Returns the
	// index of the first file without an outcome.
	size_t ProbeFrom(const std::vector<std::string>& files, size_t first,
		std::vector<Outcome>* outcomes);

	Preferences* fPreferences;
	std::string fProgram;
	bigtime_t fTimeout;
};

#pragma once
// ScratchDir: a temporary folder for one test, removed with everything in it at the end.
//
// The folder is made under $TMPDIR (else /tmp) with a name of its own, so tests running at
// once never share one. UseAsHome() points XDG_CONFIG_HOME and HOME into it, so the code
// under test keeps its settings there and never in the real home; the old values come back
// at the end.
// Errors: a folder that cannot be made leaves Path() empty; tests ASSERT_TRUE(dir.Valid()).
#include <string>
#include <utility>

class ScratchDir {
public:
	// prefix: the start of the folder's name, to tell whose folder a leftover was.
	explicit ScratchDir(const char* prefix = "suite-test");
	~ScratchDir();
	ScratchDir(const ScratchDir&) = delete;
	ScratchDir& operator=(const ScratchDir&) = delete;

	bool Valid() const { return !fPath.empty(); }
	const std::string& Path() const { return fPath; }
	// Path()/name (nothing is made).
	std::string File(const std::string& name) const;

	// Points XDG_CONFIG_HOME at Path()/config and HOME at Path()/home until the end, and
	// returns the settings folder. Neither is made: the code under test makes what it needs.
	std::string UseAsHome();
	// The settings folder UseAsHome() names.
	std::string ConfigDir() const { return File("config"); }

private:
	std::string fPath;
	bool fUsedAsHome = false;
	std::pair<bool, std::string> fOldConfig, fOldHome;
};

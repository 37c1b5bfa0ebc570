#include "testing/ScratchDir.h"

#include <cstdlib>
#include <filesystem>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::pair<bool, std::string> Get(const char* name)
{
	const char* value = getenv(name);
	return {value != nullptr, value != nullptr ? value : ""};
}

void Restore(const char* name, const std::pair<bool, std::string>& old)
{
	if (old.first)
		setenv(name, old.second.c_str(), 1);
	else
		unsetenv(name);
}

}	// namespace

ScratchDir::ScratchDir(const char* prefix)
{
	const char* base = getenv("TMPDIR");
	std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/"
		+ prefix + ".XXXXXX";
	if (mkdtemp(pattern.data()) != nullptr)
		fPath = pattern;
}

ScratchDir::~ScratchDir()
{
	if (fUsedAsHome) {
		Restore("XDG_CONFIG_HOME", fOldConfig);
		Restore("HOME", fOldHome);
	}
	if (fPath.empty())
		return;
	// A test may have taken permissions away to provoke an error: give them back first.
	std::error_code ignored;
	fs::permissions(fPath, fs::perms::owner_all, fs::perm_options::add, ignored);
	for (auto it = fs::recursive_directory_iterator(fPath, ignored);
		 it != fs::recursive_directory_iterator(); it.increment(ignored)) {
		if (it->is_directory(ignored) && !it->is_symlink(ignored))
			fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
	}
	fs::remove_all(fPath, ignored);
}

std::string ScratchDir::File(const std::string& name) const
{
	return fPath + "/" + name;
}

std::string ScratchDir::UseAsHome()
{
	if (!fUsedAsHome) {
		fOldConfig = Get("XDG_CONFIG_HOME");
		fOldHome = Get("HOME");
		fUsedAsHome = true;
	}
	setenv("XDG_CONFIG_HOME", File("config").c_str(), 1);
	setenv("HOME", File("home").c_str(), 1);
	return ConfigDir();
}

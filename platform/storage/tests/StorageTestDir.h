#pragma once
// A scratch directory for one test, with XDG_CONFIG_HOME and HOME pointed into it so no
// test touches the real home; removed afterwards.
#include <cstdlib>
#include <filesystem>
#include <string>

class StorageTestDir {
public:
    StorageTestDir()
    {
        char pattern[] = "/tmp/storage-test-XXXXXX";
        fPath = mkdtemp(pattern);
        fOldConfig = Get("XDG_CONFIG_HOME");
        fOldHome = Get("HOME");
        setenv("XDG_CONFIG_HOME", (fPath + "/config").c_str(), 1);
        setenv("HOME", (fPath + "/home").c_str(), 1);
    }
    ~StorageTestDir()
    {
        Restore("XDG_CONFIG_HOME", fOldConfig);
        Restore("HOME", fOldHome);
        std::error_code ignored;
        std::filesystem::permissions(fPath, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(fPath, ignored);
    }
    const std::string& Path() const { return fPath; }
    std::string File(const char* name) const { return fPath + "/" + name; }

private:
    static std::pair<bool, std::string> Get(const char* name)
    {
        const char* value = getenv(name);
        return {value != nullptr, value != nullptr ? value : ""};
    }
    static void Restore(const char* name, const std::pair<bool, std::string>& old)
    {
        if (old.first)
            setenv(name, old.second.c_str(), 1);
        else
            unsetenv(name);
    }
    std::string fPath;
    std::pair<bool, std::string> fOldConfig, fOldHome;
};

#pragma once
// Runs a program as a user would, with its own settings folder, and collects its exit
// status and output.
#include <string>
#include <vector>

struct ProgramResult {
    int status = -1;
    std::string out;   // standard output
    std::string err;   // standard error
};

// Runs `path` with `args`; XDG_CONFIG_HOME points at `home` when it is not empty.
ProgramResult RunProgram(const std::string& path, const std::vector<std::string>& args, const std::string& home);

// A program left running in the background (a simulator) until the object goes.
class BackgroundProgram {
public:
    BackgroundProgram(const std::string& path, const std::vector<std::string>& args);
    ~BackgroundProgram();
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;
    bool Running() const { return mPid > 0; }

private:
    int mPid = -1;
};

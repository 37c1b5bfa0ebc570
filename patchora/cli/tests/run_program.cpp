#include "run_program.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

std::string Slurp(int fd)
{
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = read(fd, buffer, sizeof buffer)) > 0) text.append(buffer, size_t(got));
    close(fd);
    return text;
}

std::vector<char*> Argv(const std::string& path, const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    return argv;
}

} // namespace

ProgramResult RunProgram(const std::string& path, const std::vector<std::string>& args, const std::string& home)
{
    ProgramResult result;
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0) return result;
    std::vector<char*> argv = Argv(path, args);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        close(out[0]);
        close(err[0]);
        int devnull = open("/dev/null", O_RDONLY);
        dup2(devnull, 0);
        if (!home.empty()) setenv("XDG_CONFIG_HOME", home.c_str(), 1);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    std::string errText;
    std::thread errReader([&] { errText = Slurp(err[0]); });
    result.out = Slurp(out[0]);
    errReader.join();
    result.err = errText;
    int status = 0;
    waitpid(pid, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return result;
}

BackgroundProgram::BackgroundProgram(const std::string& path, const std::vector<std::string>& args)
{
    std::vector<char*> argv = Argv(path, args);
    pid_t pid = fork();
    if (pid == 0) {
        int devnull = open("/dev/null", O_RDWR);
        dup2(devnull, 0);
        dup2(devnull, 1);
        execv(path.c_str(), argv.data());
        _exit(127);
    }
    mPid = pid;
}

BackgroundProgram::~BackgroundProgram()
{
    if (mPid <= 0) return;
    kill(mPid, SIGTERM);
    int status = 0;
    for (int i = 0; i < 50; i++) {
        if (waitpid(mPid, &status, WNOHANG) == mPid) return;
        usleep(100000);
    }
    kill(mPid, SIGKILL);
    waitpid(mPid, &status, 0);
}

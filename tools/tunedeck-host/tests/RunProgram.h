// Runs a program to its end with extra environment variables, and keeps what it printed.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

struct ProgramRun {
	int status = -1;   // exit status, -1 when it did not exit normally
	std::string out;
	std::string err;
};

inline std::string ReadWhole(const std::string& path)
{
	std::ifstream in(path);
	std::stringstream text;
	text << in.rdbuf();
	return text.str();
}

// A program started with StartProgram, to be finished with FinishProgram.
struct StartedProgram {
	pid_t pid = -1;
	std::string outPath, errPath;
};

// `scratch` is a folder for the captured output; `env` holds "NAME=value" entries that
// are added to (or replace) the test's environment.
inline StartedProgram StartProgram(const std::string& program,
	const std::vector<std::string>& args, const std::string& scratch,
	const std::vector<std::string>& env = {})
{
	std::vector<std::string> environment;
	for (char** e = environ; *e != nullptr; e++) {
		std::string entry = *e;
		bool replaced = false;
		for (const std::string& extra : env)
			replaced |= entry.compare(0, extra.find('=') + 1, extra, 0, extra.find('=') + 1) == 0;
		if (!replaced)
			environment.push_back(entry);
	}
	environment.insert(environment.end(), env.begin(), env.end());
	std::vector<char*> envp;
	for (std::string& entry : environment)
		envp.push_back(entry.data());
	envp.push_back(nullptr);

	std::vector<std::string> all = {program};
	all.insert(all.end(), args.begin(), args.end());
	std::vector<char*> argv;
	for (std::string& arg : all)
		argv.push_back(arg.data());
	argv.push_back(nullptr);

	StartedProgram started;
	started.outPath = scratch + "/program.out";
	started.errPath = scratch + "/program.err";
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_addopen(&actions, 1, started.outPath.c_str(),
		O_WRONLY | O_CREAT | O_TRUNC, 0644);
	posix_spawn_file_actions_addopen(&actions, 2, started.errPath.c_str(),
		O_WRONLY | O_CREAT | O_TRUNC, 0644);
	if (posix_spawn(&started.pid, program.c_str(), &actions, nullptr, argv.data(),
			envp.data()) != 0)
		started.pid = -1;
	posix_spawn_file_actions_destroy(&actions);
	return started;
}

// Waits for the program's end and collects what it printed.
inline ProgramRun FinishProgram(const StartedProgram& started)
{
	ProgramRun run;
	if (started.pid < 0)
		return run;
	int status = 0;
	waitpid(started.pid, &status, 0);
	run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
	run.out = ReadWhole(started.outPath);
	run.err = ReadWhole(started.errPath);
	return run;
}

inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
	const std::string& scratch, const std::vector<std::string>& env = {})
{
	return FinishProgram(StartProgram(program, args, scratch, env));
}

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

// `scratch` is a folder for the captured output; `env` holds "NAME=value" entries that
// are added to (or replace) the test's environment.
inline ProgramRun RunProgram(const std::string& program, const std::vector<std::string>& args,
	const std::string& scratch, const std::vector<std::string>& env = {})
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

	const std::string outPath = scratch + "/program.out";
	const std::string errPath = scratch + "/program.err";
	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
		0644);
	posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
		0644);
	ProgramRun run;
	pid_t pid = -1;
	int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
	posix_spawn_file_actions_destroy(&actions);
	if (spawned != 0)
		return run;
	int status = 0;
	waitpid(pid, &status, 0);
	run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
	run.out = ReadWhole(outPath);
	run.err = ReadWhole(errPath);
	return run;
}

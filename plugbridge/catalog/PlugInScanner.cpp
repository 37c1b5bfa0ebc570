#include "catalog/PlugInScanner.h"

#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "catalog/Preferences.h"
#include "catalog/ScanReport.h"
#include "kernel/OS.h"
#include "vst/VSTPlugIn.h"

extern char** environ;

namespace {

// The descriptor on which a child reports.
constexpr int kReportDescriptor = 3;

bool FileIdentity(const std::string& path, int64* size, int64* modified)
{
	struct stat info;
	if (stat(path.c_str(), &info) != 0)
		return false;
	*size = int64(info.st_size);
	*modified = int64(info.st_mtim.tv_sec) * 1000000000 + int64(info.st_mtim.tv_nsec);
	return true;
}

void WriteAll(int fd, const std::string& text)
{
	size_t done = 0;
	while (done < text.size()) {
		ssize_t written = write(fd, text.data() + done, text.size() - done);
		if (written < 0 && errno == EINTR)
			continue;
		if (written <= 0)
			return;
		done += size_t(written);
	}
}

std::string DescribeEnd(int waitStatus)
{
	if (WIFSIGNALED(waitStatus)) {
		return std::string("crashed while loading (") + strsignal(WTERMSIG(waitStatus))
			+ ")";
	}
	if (WIFEXITED(waitStatus)) {
		return "crashed while loading (the loading process ended with status "
			+ std::to_string(WEXITSTATUS(waitStatus)) + ")";
	}
	return "crashed while loading";
}

// Loads one file as the scan does; B_OK or why not.
status_t LoadOnce(const std::string& path, std::string* reason)
{
	VSTPlugIn prototype(path.c_str(), 0);
	if (prototype.InitCheck() != B_OK) {
		*reason = prototype.ErrorText();
		return prototype.InitCheck();
	}
	std::unique_ptr<VSTPlugIn> instance = prototype.newInstance(reason);
	if (!instance)
		return B_ERROR;
	if (status_t status = instance->open(0); status != B_OK) {
		*reason = "the plug-in could not be opened";
		return status;
	}
	instance->close();
	return B_OK;
}

}  // namespace

PlugInScanner::PlugInScanner(Preferences* preferences, std::string program, bigtime_t timeout)
	:
	fPreferences(preferences),
	fProgram(program.empty() ? DefaultChildProgram() : program),
	fTimeout(timeout)
{
}

std::string PlugInScanner::DefaultChildProgram()
{
	if (const char* program = getenv("PLUGBRIDGE_PROGRAM"); program != nullptr && *program)
		return program;
	Dl_info info;
	if (dladdr(reinterpret_cast<void*>(&PlugInScanner::DefaultChildProgram), &info) == 0
		|| info.dli_fname == nullptr)
		return std::string();
	std::string self = info.dli_fname;
	if (self.find('/') == std::string::npos) {
		char buffer[4096];
		ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
		if (length <= 0)
			return std::string();
		self.assign(buffer, size_t(length));
	}
	std::string program = self.substr(0, self.find_last_of('/')) + "/plugbridge";
	return access(program.c_str(), X_OK) == 0 ? program : std::string();
}

status_t PlugInScanner::ListFiles(const std::string& directory, std::vector<std::string>* files)
{
	DIR* dir = opendir(directory.c_str());
	if (dir == nullptr)
		return errno == ENOENT ? B_ENTRY_NOT_FOUND
			: errno == ENOTDIR ? B_NOT_A_DIRECTORY : B_PERMISSION_DENIED;
	while (dirent* entry = readdir(dir)) {
		if (entry->d_name[0] == '.')
			continue;
		std::string path = directory + "/" + entry->d_name;
		struct stat info;
		if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode))
			files->push_back(path);
	}
	closedir(dir);
	std::sort(files->begin(), files->end());
	return B_OK;
}

int PlugInScanner::RunChild(int fileCount, const char* const* files, int report)
{
	for (int i = 0; i < fileCount; i++) {
		WriteAll(report, scan_report::BeginLine(size_t(i)));
		std::string reason;
		status_t status = LoadOnce(files[i], &reason);
		WriteAll(report, status == B_OK ? scan_report::LoadedLine(size_t(i))
			: scan_report::RefusedLine(size_t(i), status, reason));
	}
	return 0;
}

size_t PlugInScanner::ProbeFrom(const std::vector<std::string>& files, size_t first,
	std::vector<Outcome>* outcomes)
{
	int pipeEnds[2];
	if (pipe2(pipeEnds, O_CLOEXEC) != 0)
		return first;
	// Above the child's standard descriptors and the report descriptor, so that dup2
	// always makes a fresh descriptor without close-on-exec.
	int readEnd = fcntl(pipeEnds[0], F_DUPFD_CLOEXEC, 10);
	int writeEnd = fcntl(pipeEnds[1], F_DUPFD_CLOEXEC, 10);
	::close(pipeEnds[0]);
	::close(pipeEnds[1]);

	std::vector<std::string> arguments{fProgram, "--scan-child"};
	arguments.insert(arguments.end(), files.begin() + long(first), files.end());
	std::vector<char*> argv;
	for (std::string& argument : arguments)
		argv.push_back(argument.data());
	argv.push_back(nullptr);

	posix_spawn_file_actions_t actions;
	posix_spawn_file_actions_init(&actions);
	posix_spawn_file_actions_adddup2(&actions, writeEnd, kReportDescriptor);
	// Plug-ins talk on the standard streams; the report has its own descriptor.
	posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
	posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
	posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
	pid_t child = -1;
	int spawned = posix_spawn(&child, fProgram.c_str(), &actions, nullptr, argv.data(),
		environ);
	posix_spawn_file_actions_destroy(&actions);
	::close(writeEnd);
	if (spawned != 0) {
		::close(readEnd);
		return first;
	}

	ScanReportReader report(files.size() - first);
	std::vector<ScanReportReader::Event> events;
	bool killed = false;
	bigtime_t deadline = system_time() + fTimeout;
	for (;;) {
		bigtime_t left = deadline - system_time();
		if (left <= 0) {
			kill(child, SIGKILL);
			killed = true;
			break;
		}
		pollfd poller{readEnd, POLLIN, 0};
		int ready = poll(&poller, 1, int(std::min<bigtime_t>(left / 1000 + 1, 1000000)));
		if (ready < 0 && errno == EINTR)
			continue;
		if (ready == 0)
			continue;
		char buffer[4096];
		ssize_t got = read(readEnd, buffer, sizeof(buffer));
		if (got < 0 && errno == EINTR)
			continue;
		if (got <= 0)
			break;
		events.clear();
		report.Append(buffer, size_t(got), &events);
		for (ScanReportReader::Event& event : events) {
			Outcome& outcome = (*outcomes)[first + event.file];
			if (event.kind == ScanReportReader::Event::kBegin)
				deadline = system_time() + fTimeout;  // each file has the whole time
			else if (event.kind == ScanReportReader::Event::kLoaded)
				outcome = {Outcome::kLoaded, B_OK, std::string()};
			else
				outcome = {Outcome::kRefused, event.status, std::move(event.reason)};
		}
	}
	::close(readEnd);
	int waitStatus = 0;
	while (waitpid(child, &waitStatus, 0) < 0 && errno == EINTR) {
	}
	size_t next = first + report.Next();
	if (!report.Begun())
		return next;
	Outcome& outcome = (*outcomes)[next];
	if (killed) {
		char text[80];
		snprintf(text, sizeof(text), "hung while loading (no answer within %.1f s)",
			double(fTimeout) / 1e6);
		outcome = {Outcome::kHung, B_TIMED_OUT, text};
	} else {
		outcome = {Outcome::kCrashed, B_INTERRUPTED, DescribeEnd(waitStatus)};
	}
	return next + 1;
}

status_t PlugInScanner::Scan(const std::string& directory,
	std::vector<std::unique_ptr<VSTPlugIn>>* plugIns, std::vector<Rejected>* rejected)
{
	std::vector<std::string> all;
	if (status_t status = ListFiles(directory, &all); status != B_OK)
		return status;

	// Files remembered as crashing or hanging stay out until they change.
	std::vector<Preferences::BadFile> bad;
	if (fPreferences != nullptr)
		bad = fPreferences->BadFiles();
	std::vector<std::string> files;
	for (const std::string& path : all) {
		int64 size = 0, modified = 0;
		FileIdentity(path, &size, &modified);
		auto known = std::find_if(bad.begin(), bad.end(),
			[&](const Preferences::BadFile& file) { return file.path == path; });
		if (known != bad.end() && known->size == size && known->modified == modified) {
			rejected->push_back({path, B_INTERRUPTED, known->reason, true});
			continue;
		}
		if (known != bad.end())
			fPreferences->ForgetBadFile(path);
		files.push_back(path);
	}

	std::vector<Outcome> outcomes(files.size());
	if (fProgram.empty()) {
		fprintf(stderr, "plugbridge: the plugbridge program was not found: plug-ins are "
			"loaded without protection against crashes\n");
	} else {
		size_t next = 0;
		while (next < files.size()) {
			size_t after = ProbeFrom(files, next, &outcomes);
			if (after == next) {
				fprintf(stderr, "plugbridge: cannot start %s: plug-ins are loaded without "
					"protection against crashes\n", fProgram.c_str());
				break;
			}
			next = after;
		}
	}

	for (size_t i = 0; i < files.size(); i++) {
		const Outcome& outcome = outcomes[i];
		if (outcome.kind == Outcome::kCrashed || outcome.kind == Outcome::kHung) {
			if (fPreferences != nullptr) {
				Preferences::BadFile file{files[i], 0, 0, outcome.reason};
				FileIdentity(files[i], &file.size, &file.modified);
				fPreferences->RememberBadFile(file);
			}
			rejected->push_back({files[i], outcome.status, outcome.reason, false});
			continue;
		}
		if (outcome.kind == Outcome::kRefused) {
			rejected->push_back({files[i], outcome.status, outcome.reason, false});
			continue;
		}
		auto plugIn = std::make_unique<VSTPlugIn>(files[i].c_str(), int32(plugIns->size()));
		if (plugIn->InitCheck() != B_OK) {
			rejected->push_back({files[i], plugIn->InitCheck(), plugIn->ErrorText(), false});
			continue;
		}
		plugIns->push_back(std::move(plugIn));
	}
	return B_OK;
}

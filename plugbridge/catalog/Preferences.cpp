#include "catalog/Preferences.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/Message.h"
#include "storage/AtomicFileWriter.h"
#include "storage/File.h"
#include "storage/FindDirectory.h"
#include "storage/SettingsFile.h"

namespace {

const char kDirectoryField[] = "plugins directory";
const char kFrameField[] = "window frame";
const char kBadField[] = "bad plugin";
// Settings files are small; a larger one is not ours.
constexpr off_t kMaxSettingsSize = 16 * 1024 * 1024;

// The settings without the remembered file of `path`; found tells whether it was there.
BMessage WithoutBadFile(const BMessage& settings, const std::string& path, bool* found)
{
	BMessage kept(settings);
	kept.RemoveName(kBadField);
	BMessage item;
	for (int32 i = 0; settings.FindMessage(kBadField, i, &item) == B_OK; i++) {
		const char* itemPath = nullptr;
		if (item.FindString("path", &itemPath) == B_OK && path == itemPath)
			*found = true;
		else
			kept.AddMessage(kBadField, &item);
	}
	return kept;
}

}  // namespace

Preferences* Preferences::getInstance()
{
	static Preferences* sInstance = [] {
		BPath path;
		status_t status = settings_file_path("Media/vst", "settings", &path, true);
		return new Preferences(status == B_OK ? path.Path() : "");
	}();
	return sInstance;
}

Preferences::Preferences(const std::string& settingsPath)
	:
	fSettingsPath(settingsPath),
	fPath(DefaultPath()),
	fFrame(VST_DEFAULT_FRAME)
{
	std::lock_guard<std::mutex> guard(fLock);
	BMessage message;
	fStatus = Read(&message);
}

std::string Preferences::DefaultPath()
{
	const char* list = getenv("VST_PATH");
	if (list != nullptr && *list != '\0') {
		std::string first(list, strcspn(list, ":"));
		if (!first.empty())
			return first;
	}
	BPath home;
	if (find_directory(B_USER_DIRECTORY, &home) != B_OK)
		return ".vst";
	return std::string(home.Path()) + "/.vst";
}

void Preferences::AddDefaults(BMessage* message)
{
	message->MakeEmpty();
	message->what = kSettingsWhat;
	message->AddString(kDirectoryField, DefaultPath().c_str());
	message->AddRect(kFrameField, VST_DEFAULT_FRAME);
}

status_t Preferences::Read(BMessage* message)
{
	bool readable = false;
	BFile file(fSettingsPath.c_str(), B_READ_ONLY);
	off_t size = 0;
	if (file.InitCheck() == B_OK && file.GetSize(&size) == B_OK && size > 0
		&& size <= kMaxSettingsSize) {
		std::vector<char> bytes(static_cast<size_t>(size));
		if (file.ReadAt(0, bytes.data(), bytes.size()) == ssize_t(size)
			&& message->Unflatten(bytes.data(), ssize_t(size)) == B_OK) {
			const char* directory = nullptr;
			BRect frame;
			readable = message->FindString(kDirectoryField, &directory) == B_OK
				&& message->FindRect(kFrameField, &frame) == B_OK;
			if (readable) {
				fPath = directory;
				fFrame = frame;
			}
		}
	}
	if (readable)
		return B_OK;
	AddDefaults(message);
	fPath = DefaultPath();
	fFrame = VST_DEFAULT_FRAME;
	return Write(*message);
}

status_t Preferences::Write(const BMessage& message)
{
	if (fSettingsPath.empty())
		return B_ENTRY_NOT_FOUND;
	ssize_t size = message.FlattenedSize();
	if (size < 0)
		return status_t(size);
	std::vector<char> bytes(static_cast<size_t>(size));
	if (status_t status = message.Flatten(bytes.data(), size); status != B_OK)
		return status;
	AtomicFileWriter writer(fSettingsPath.c_str());
	if (writer.InitCheck() != B_OK)
		return writer.InitCheck();
	if (writer.WriteAt(0, bytes.data(), bytes.size()) != size)
		return writer.Error() != B_OK ? writer.Error() : B_IO_ERROR;
	return writer.Commit();
}

std::string Preferences::getPath()
{
	std::lock_guard<std::mutex> guard(fLock);
	return fPath;
}

status_t Preferences::setPath(const char* path)
{
	if (path == nullptr)
		return B_BAD_VALUE;
	std::lock_guard<std::mutex> guard(fLock);
	BMessage message;
	Read(&message);
	fPath = path;
	message.RemoveName(kDirectoryField);
	message.AddString(kDirectoryField, path);
	return Write(message);
}

BRect Preferences::getFrame()
{
	std::lock_guard<std::mutex> guard(fLock);
	return fFrame;
}

status_t Preferences::setFrame(BRect frame)
{
	std::lock_guard<std::mutex> guard(fLock);
	BMessage message;
	Read(&message);
	fFrame = frame;
	message.RemoveName(kFrameField);
	message.AddRect(kFrameField, frame);
	return Write(message);
}

status_t Preferences::setDefaults()
{
	return setPath(DefaultPath().c_str());
}

std::vector<Preferences::BadFile> Preferences::BadFiles()
{
	std::lock_guard<std::mutex> guard(fLock);
	BMessage message;
	Read(&message);
	std::vector<BadFile> files;
	BMessage item;
	for (int32 i = 0; message.FindMessage(kBadField, i, &item) == B_OK; i++) {
		BadFile file;
		const char* text = nullptr;
		if (item.FindString("path", &text) != B_OK)
			continue;
		file.path = text;
		item.FindInt64("size", &file.size);
		item.FindInt64("modified", &file.modified);
		if (item.FindString("reason", &text) == B_OK)
			file.reason = text;
		files.push_back(file);
	}
	return files;
}

status_t Preferences::RememberBadFile(const BadFile& file)
{
	std::lock_guard<std::mutex> guard(fLock);
	BMessage message;
	Read(&message);
	bool found = false;
	BMessage kept = WithoutBadFile(message, file.path, &found);
	BMessage added;
	added.AddString("path", file.path.c_str());
	added.AddInt64("size", file.size);
	added.AddInt64("modified", file.modified);
	added.AddString("reason", file.reason.c_str());
	kept.AddMessage(kBadField, &added);
	return Write(kept);
}

status_t Preferences::ForgetBadFile(const std::string& path)
{
	std::lock_guard<std::mutex> guard(fLock);
	BMessage message;
	Read(&message);
	bool found = false;
	BMessage kept = WithoutBadFile(message, path, &found);
	return found ? Write(kept) : B_OK;
}

#include "storage/SettingsFile.h"

#include <cstring>
#include <string>

#include "storage/FindDirectory.h"
#include "storage/MimeType.h"

namespace {

bool is_plain_name(const char* name)
{
    return name != nullptr && name[0] != '\0' && strchr(name, '/') == nullptr
        && strcmp(name, ".") != 0 && strcmp(name, "..") != 0;
}

bool is_safe_subdirectory(const char* subdirectory)
{
    if (subdirectory == nullptr || subdirectory[0] == '\0')
        return true;
    if (subdirectory[0] == '/')
        return false;
    std::string rest(subdirectory);
    size_t start = 0;
    while (start <= rest.size()) {
        size_t end = rest.find('/', start);
        if (end == std::string::npos)
            end = rest.size();
        if (rest.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

void report(status_t* out, status_t status)
{
    if (out != nullptr)
        *out = status;
}

}  // namespace

status_t settings_file_path(const char* subdirectory, const char* name, BPath* path,
                            bool createDirectory)
{
    if (path == nullptr || !is_plain_name(name) || !is_safe_subdirectory(subdirectory))
        return B_BAD_VALUE;
    BPath directory;
    if (status_t status = find_directory(B_USER_SETTINGS_DIRECTORY, &directory, createDirectory);
        status != B_OK)
        return status;
    if (subdirectory != nullptr && subdirectory[0] != '\0') {
        if (status_t status = directory.Append(subdirectory); status != B_OK)
            return status;
    }
    if (createDirectory) {
        if (status_t status = create_directory(directory.Path(), 0700); status != B_OK)
            return status;
    }
    return path->SetTo(directory.Path(), name);
}

BFile* open_settings_file(const char* subdirectory, const char* name, uint32 openMode,
                          const char* mimeType, status_t* status)
{
    BPath path;
    bool creates = (openMode & B_CREATE_FILE) != 0;
    status_t result = settings_file_path(subdirectory, name, &path, creates);
    if (result != B_OK) {
        report(status, result);
        return nullptr;
    }
    auto* file = new BFile(path.Path(), openMode);
    if (file->InitCheck() != B_OK) {
        report(status, file->InitCheck());
        delete file;
        return nullptr;
    }
    if (creates && mimeType != nullptr)
        set_mime_type(file->FileDescriptor(), mimeType);  // B_UNSUPPORTED: guessed on read
    report(status, B_OK);
    return file;
}

AtomicFileWriter* open_settings_writer(const char* subdirectory, const char* name,
                                       const char* mimeType, status_t* status)
{
    BPath path;
    status_t result = settings_file_path(subdirectory, name, &path, true);
    if (result != B_OK) {
        report(status, result);
        return nullptr;
    }
    auto* writer = new AtomicFileWriter(path.Path(), mimeType);
    if (writer->InitCheck() != B_OK) {
        report(status, writer->InitCheck());
        delete writer;
        return nullptr;
    }
    report(status, B_OK);
    return writer;
}

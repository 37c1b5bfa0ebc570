#include "storage/MimeType.h"

#include <cctype>
#include <cstring>
#include <mutex>
#include <strings.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <vector>

namespace {

struct Signature {
    std::string type;
    std::string prefix;
};

std::mutex gTablesLock;
std::vector<std::pair<std::string, std::string>> gExtensions;  // extension, type
std::vector<Signature> gSignatures;

const char* const kBuiltInExtensions[][2] = {
    {"syx", "application/x-syx"}, {"txt", "text/plain"},  {"xml", "text/xml"},
    {"wav", "audio/x-wav"},       {"mid", "audio/midi"},  {"midi", "audio/midi"},
    {"sf2", "audio/x-soundfont"}, {"png", "image/png"},
    {"thud", "document/thud-preset"}, {"plib", "text/x-vnd.ORB.PatchesLib"},
};

bool xattr_unsupported(int error)
{
    return error == ENOTSUP || error == EOPNOTSUPP || error == EPERM;
}

status_t accept_stored(const char* buffer, ssize_t length, std::string* type)
{
    if (length <= 0 || static_cast<size_t>(length) >= B_MIME_TYPE_LENGTH)
        return B_ENTRY_NOT_FOUND;
    std::string value(buffer, static_cast<size_t>(length));
    // Some writers store the terminating 0 as well.
    if (!value.empty() && value.back() == '\0')
        value.pop_back();
    if (!is_valid_mime_type(value.c_str()))
        return B_ENTRY_NOT_FOUND;
    *type = value;
    return B_OK;
}

bool guess_from_extension(const char* path, std::string* type)
{
    const char* slash = strrchr(path, '/');
    const char* leaf = slash != nullptr ? slash + 1 : path;
    const char* dot = strrchr(leaf, '.');
    if (dot == nullptr || dot == leaf || dot[1] == '\0')
        return false;
    const char* extension = dot + 1;
    {
        std::lock_guard<std::mutex> lock(gTablesLock);
        for (const auto& [ext, mime] : gExtensions) {
            if (strcasecmp(ext.c_str(), extension) == 0) {
                *type = mime;
                return true;
            }
        }
    }
    for (const auto& entry : kBuiltInExtensions) {
        if (strcasecmp(entry[0], extension) == 0) {
            *type = entry[1];
            return true;
        }
    }
    return false;
}

bool looks_like_text(const unsigned char* bytes, size_t length)
{
    for (size_t i = 0; i < length; i++) {
        unsigned char c = bytes[i];
        if (c < 32 && c != '\t' && c != '\n' && c != '\r')
            return false;
        if (c == 127)
            return false;
    }
    return true;
}

void guess_from_content(const unsigned char* bytes, size_t length, std::string* type)
{
    {
        std::lock_guard<std::mutex> lock(gTablesLock);
        for (const Signature& signature : gSignatures) {
            if (length >= signature.prefix.size()
                && memcmp(bytes, signature.prefix.data(), signature.prefix.size()) == 0) {
                *type = signature.type;
                return;
            }
        }
    }
    if (length >= 4 && memcmp(bytes, "MThd", 4) == 0)
        *type = "audio/midi";
    else if (length >= 12 && memcmp(bytes, "RIFF", 4) == 0 && memcmp(bytes + 8, "WAVE", 4) == 0)
        *type = "audio/x-wav";
    else if (length >= 1 && bytes[0] == 0xF0)
        *type = "application/x-syx";
    else if (length >= 5 && memcmp(bytes, "TH0D", 5) == 0)  // with its 0 byte
        *type = "document/thud-preset";
    else if (length >= 5 && memcmp(bytes, "<?xml", 5) == 0)
        *type = "text/xml";
    else if (length > 0 && looks_like_text(bytes, length))
        *type = "text/plain";
    else
        *type = "application/octet-stream";
}

}  // namespace

bool is_valid_mime_type(const char* type)
{
    if (type == nullptr)
        return false;
    size_t length = strlen(type);
    if (length == 0 || length >= B_MIME_TYPE_LENGTH)
        return false;
    const char* slash = strchr(type, '/');
    if (slash == nullptr || slash == type || slash[1] == '\0' || strchr(slash + 1, '/') != nullptr)
        return false;
    for (size_t i = 0; i < length; i++) {
        unsigned char c = static_cast<unsigned char>(type[i]);
        if (c <= 32 || c >= 127)
            return false;
    }
    return true;
}

status_t set_mime_type(int fd, const char* type)
{
    if (fd < 0)
        return B_BAD_VALUE;
    if (!is_valid_mime_type(type))
        return B_BAD_VALUE;
    if (fsetxattr(fd, kMimeTypeAttribute, type, strlen(type), 0) == 0)
        return B_OK;
    return xattr_unsupported(errno) ? B_UNSUPPORTED : status_from_errno(errno);
}

status_t set_mime_type(const char* path, const char* type)
{
    if (path == nullptr || !is_valid_mime_type(type))
        return B_BAD_VALUE;
    if (setxattr(path, kMimeTypeAttribute, type, strlen(type), 0) == 0)
        return B_OK;
    return xattr_unsupported(errno) ? B_UNSUPPORTED : status_from_errno(errno);
}

status_t get_stored_mime_type(int fd, std::string* type)
{
    if (fd < 0 || type == nullptr)
        return B_BAD_VALUE;
    char buffer[B_MIME_TYPE_LENGTH];
    ssize_t length = fgetxattr(fd, kMimeTypeAttribute, buffer, sizeof buffer);
    if (length < 0) {
        // Missing, unsupported, or too long to be a type: nothing usable is stored.
        if (errno == ENODATA || errno == ERANGE || xattr_unsupported(errno))
            return B_ENTRY_NOT_FOUND;
        return status_from_errno(errno);
    }
    return accept_stored(buffer, length, type);
}

status_t guess_mime_type(const char* path, std::string* type)
{
    if (path == nullptr || type == nullptr)
        return B_BAD_VALUE;
    if (guess_from_extension(path, type))
        return B_OK;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return status_from_errno(errno);
    unsigned char head[512];
    ssize_t length;
    do {
        length = read(fd, head, sizeof head);
    } while (length < 0 && errno == EINTR);
    int error = errno;
    close(fd);
    if (length < 0)
        return status_from_errno(error);
    guess_from_content(head, static_cast<size_t>(length), type);
    return B_OK;
}

status_t get_mime_type(const char* path, std::string* type)
{
    if (path == nullptr || type == nullptr)
        return B_BAD_VALUE;
    char buffer[B_MIME_TYPE_LENGTH];
    ssize_t length = getxattr(path, kMimeTypeAttribute, buffer, sizeof buffer);
    if (length < 0 && errno == ENOENT)
        return B_ENTRY_NOT_FOUND;
    if (length >= 0 && accept_stored(buffer, length, type) == B_OK)
        return B_OK;
    return guess_mime_type(path, type);
}

void register_mime_extension(const char* extension, const char* type)
{
    if (extension == nullptr || extension[0] == '\0' || !is_valid_mime_type(type))
        return;
    if (extension[0] == '.')
        extension++;
    std::lock_guard<std::mutex> lock(gTablesLock);
    for (auto& entry : gExtensions) {
        if (strcasecmp(entry.first.c_str(), extension) == 0) {
            entry.second = type;
            return;
        }
    }
    gExtensions.emplace_back(extension, type);
}

void register_mime_signature(const char* type, const void* prefix, size_t length)
{
    if (!is_valid_mime_type(type) || prefix == nullptr || length == 0 || length > 512)
        return;
    std::lock_guard<std::mutex> lock(gTablesLock);
    gSignatures.push_back({type, std::string(static_cast<const char*>(prefix), length)});
}

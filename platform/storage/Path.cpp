#include "storage/Path.h"

BPath::BPath(const char* path, const char* leaf)
{
    SetTo(path, leaf);
}

status_t BPath::SetTo(const char* path, const char* leaf)
{
    Unset();
    if (path == nullptr || path[0] == '\0')
        return fStatus = B_BAD_VALUE;
    fPath = path;
    while (fPath.size() > 1 && fPath.back() == '/')
        fPath.pop_back();
    fStatus = B_OK;
    if (leaf != nullptr) {
        if (status_t status = Append(leaf); status != B_OK) {
            Unset();
            return fStatus = status;
        }
    }
    return B_OK;
}

status_t BPath::Append(const char* component)
{
    if (fStatus != B_OK)
        return fStatus;
    if (component == nullptr || component[0] == '/')
        return B_BAD_VALUE;
    if (component[0] == '\0')
        return B_OK;
    if (fPath != "/")
        fPath += '/';
    fPath += component;
    while (fPath.size() > 1 && fPath.back() == '/')
        fPath.pop_back();
    return B_OK;
}

void BPath::Unset()
{
    fPath.clear();
    fStatus = B_NO_INIT;
}

const char* BPath::Leaf() const
{
    if (fStatus != B_OK)
        return nullptr;
    size_t slash = fPath.rfind('/');
    if (slash == std::string::npos || fPath == "/")
        return fPath.c_str();
    return fPath.c_str() + slash + 1;
}

status_t BPath::GetParent(BPath* parent) const
{
    if (parent == nullptr)
        return B_BAD_VALUE;
    if (fStatus != B_OK)
        return fStatus;
    size_t slash = fPath.rfind('/');
    if (slash == std::string::npos || fPath == "/")
        return B_ENTRY_NOT_FOUND;
    return parent->SetTo(slash == 0 ? "/" : fPath.substr(0, slash).c_str());
}

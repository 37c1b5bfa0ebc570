#include "app/LbSettingsFile.h"

#include "storage/SettingsFile.h"

BFile* SettingsFile(uint32 openMode, const char* name, const char* mimeType)
{
    return open_settings_file(kLbSettingsDirectory, name, openMode, mimeType);
}

AtomicFileWriter* SettingsFileWriter(const char* name, const char* mimeType)
{
    return open_settings_writer(kLbSettingsDirectory, name, mimeType);
}

#include "librarian/LbXmlRoots.h"

#include "app/LbXmlStreamI.h"
#include "librarian/LbData.h"
#include "librarian/LbDeviceSnapshot.h"
#include "midi/LbMidiStudio.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

LbXmlRoots::~LbXmlRoots()
{
    for (LbDeviceSnapshotI* snapshot : mSnapshots) delete snapshot;
}

std::vector<LbDeviceSnapshotI*> LbXmlRoots::TakeSnapshots()
{
    std::vector<LbDeviceSnapshotI*> taken;
    taken.swap(mSnapshots);
    return taken;
}

status_t LbXmlRoots::ReadFrom(LbXmlStreamI* stream)
{
    LbXmlStreamI::StringList keys, values;
    char* tag = stream->ReadNextTag(&keys, &values);
    LbData maker, model;
    bool isDevice = tag && strcmp(tag, "LbDevice") == 0;
    for (size_t i = 0; isDevice && i < keys.size() && i < values.size(); i++) {
        if (strcmp(keys[i], "mfg_id") == 0) maker.FromString(values[i]);
        if (strcmp(keys[i], "mod_id") == 0) model.FromString(values[i]);
    }
    free(tag);
    LbFreeStrings(keys);
    LbFreeStrings(values);
    if (!isDevice || maker.Length() == 0 || model.Length() == 0) return B_BAD_DATA;

    LbDeviceI* device = mStudio ? mStudio->DeviceAt(&maker, &model) : nullptr;
    if (device == nullptr) {
        printf("LbXmlRoots::ReadDeviceFrom() Device not installed\n");
        return B_NAME_NOT_FOUND;
    }
    auto* snapshot = new LbDeviceSnapshot(device);
    status_t status = snapshot->ReadFrom(stream, nullptr, nullptr);
    if (status != B_OK) {
        delete snapshot;
        return status;
    }
    mSnapshots.push_back(snapshot);
    return B_OK;
}

#include "librarian/LbXmlRoots.h"

#include "librarian/LbData.h"
#include "librarian/LbDeviceSnapshot.h"
#include "librarian/LbDeviceTag.h"
#include "midi/LbMidiStudio.h"

#include <cstdio>

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
    LbData maker, model;
    if (LbReadDeviceTag(stream, &maker, &model) != LB_DEVICE_TAG) return B_BAD_DATA;

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

#pragma once
// Reads whole patch-library documents: the "LbDevice" root names its instrument model by
// SysEx ids, and the document opens into a device snapshot of the first device of the
// studio with those ids.
#include "kernel/SupportDefs.h"

#include <vector>

class LbDeviceSnapshotI;
class LbMidiStudio;
class LbXmlStreamI;

class LbXmlRoots {
public:
    explicit LbXmlRoots(const LbMidiStudio* studio) : mStudio(studio) {}
    ~LbXmlRoots();
    LbXmlRoots(const LbXmlRoots&) = delete;
    LbXmlRoots& operator=(const LbXmlRoots&) = delete;

    // Reads one document. B_OK when a device snapshot came out of it; B_NAME_NOT_FOUND
    // when its instrument is not in the studio; B_BAD_DATA when it is no patch library.
    status_t ReadFrom(LbXmlStreamI* stream);
    const std::vector<LbDeviceSnapshotI*>& Snapshots() const { return mSnapshots; }
    // Hands the snapshots over to the caller, who deletes them.
    std::vector<LbDeviceSnapshotI*> TakeSnapshots();

private:
    const LbMidiStudio* mStudio;
    std::vector<LbDeviceSnapshotI*> mSnapshots;
};

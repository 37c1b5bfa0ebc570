#pragma once
// The element by which documents name an instrument model: "LbDevice" with the add-on's
// manufacturer and model SysEx ids as upper-case hex ("mfg_id", "mod_id").
#include "kernel/SupportDefs.h"

class LbData;
class LbDeviceAddonI;
class LbXmlStreamI;

enum LbDeviceTagResult {
    LB_DEVICE_TAG,   // "LbDevice" with both ids, in `maker` and `model`
    LB_OTHER_TAG,    // another tag, or "LbDevice" without its ids
    LB_NO_TAG,       // the end of the document
};

// Reads the next tag and tells what it was.
LbDeviceTagResult LbReadDeviceTag(LbXmlStreamI* stream, LbData* maker, LbData* model);
// Writes the start tag for the add-on's model; the bytes written, or a result below 1
// (-1 when the add-on lacks an id).
ssize_t LbWriteDeviceTag(LbXmlStreamI* stream, const LbDeviceAddonI* addon);
// Whether the ids are the add-on's own.
bool LbIsAddonsModel(const LbDeviceAddonI* addon, const LbData& maker, const LbData& model);

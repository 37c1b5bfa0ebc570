#include "librarian/LbDeviceTag.h"

#include "app/LbXmlStreamI.h"
#include "librarian/LbData.h"
#include "midi/LbDeviceAddonI.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr char kDeviceTag[] = "LbDevice";
}

LbDeviceTagResult LbReadDeviceTag(LbXmlStreamI* stream, LbData* maker, LbData* model)
{
    LbXmlStreamI::StringList keys, values;
    char* tag = stream->ReadNextTag(&keys, &values);
    if (tag == nullptr) return LB_NO_TAG;
    bool device = strcmp(tag, kDeviceTag) == 0;
    maker->SetTo(nullptr, 0);
    model->SetTo(nullptr, 0);
    if (device) {
        const char* makerHex = LbAttribute(keys, values, "mfg_id");
        const char* modelHex = LbAttribute(keys, values, "mod_id");
        if (makerHex) maker->FromString(makerHex);
        if (modelHex) model->FromString(modelHex);
    }
    free(tag);
    LbFreeStrings(keys);
    LbFreeStrings(values);
    return device && maker->Length() > 0 && model->Length() > 0 ? LB_DEVICE_TAG : LB_OTHER_TAG;
}

ssize_t LbWriteDeviceTag(LbXmlStreamI* stream, const LbDeviceAddonI* addon)
{
    const LbDataI* maker = addon->ManufacturerId();
    const LbDataI* model = addon->ModelId();
    char* makerHex = maker ? maker->AsString() : nullptr;
    char* modelHex = model ? model->AsString() : nullptr;
    ssize_t written = B_ERROR;
    if (makerHex && modelHex) {
        LbXmlStreamI::ConstStringList keys{"mfg_id", "mod_id"}, values{makerHex, modelHex};
        written = stream->WriteStartTag(kDeviceTag, &keys, &values);
    }
    free(makerHex);
    free(modelHex);
    return written;
}

bool LbIsAddonsModel(const LbDeviceAddonI* addon, const LbData& maker, const LbData& model)
{
    return addon && addon->ManufacturerId() && addon->ModelId() && maker.Length() > 0 &&
           maker.Matches(addon->ManufacturerId()) && model.Matches(addon->ModelId());
}

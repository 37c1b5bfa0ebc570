#include "devices/morpheus/LbEmuMorpheusAddon.h"

#include "devices/morpheus/LbEmuMorpheus.h"
#include "devices/morpheus/LbMorpheusProtocol.h"

#include <new>

LbEmuMorpheusAddon::LbEmuMorpheusAddon()
    : mManufacturerId(LB_EMU_MANUFACTURER_ID), mModelId(LB_MORPHEUS_MODEL_ID)
{
}

status_t LbEmuMorpheusAddon::GetDeviceIdRange(int16* low, int16* high) const
{
    if (low == nullptr || high == nullptr) return B_BAD_VALUE;
    *low = LB_MORPHEUS_MIN_DEVICE_ID;
    *high = LB_MORPHEUS_MAX_DEVICE_ID;
    return B_OK;
}

LbDeviceI* LbEmuMorpheusAddon::NewDevice()
{
    return new (std::nothrow) LbEmuMorpheus(this);
}

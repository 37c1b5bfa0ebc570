#include "devices/morpheus/LbMpLoopCodec.h"

bool LbSplitLoopValue(int32 value, int32* thousands, int32* units)
{
    if (value < -LB_LOOP_POINT_LIMIT || value > LB_LOOP_POINT_LIMIT) return false;
    if (value >= -999 && value <= 999) {
        *thousands = 0;
        *units = value;
    } else {
        *thousands = value / 1000;
        *units = value - *thousands * 1000;
    }
    return true;
}

status_t LbMpLoopCodec::ReadSysEx(const uint8* bits, uint32 length, uint32 first, uint32, int32* value) const
{
    if (value == nullptr || uint64(first) + 4 > length) return B_ERROR;
    int32 thousands, units;
    if (mWord.ReadSysEx(bits, length, first, first + 1, &thousands) != B_OK
        || mWord.ReadSysEx(bits, length, first + 2, first + 3, &units) != B_OK)
        return B_ERROR;
    int32 magnitude = (thousands < 0 ? -thousands : thousands) * 1000 + (units < 0 ? -units : units);
    *value = thousands < 0 || units < 0 ? -magnitude : magnitude;
    return B_OK;
}

status_t LbMpLoopCodec::WriteSysEx(uint8* bits, uint32 length, uint32 first, uint32, int32 value) const
{
    int32 thousands, units;
    if (bits == nullptr || uint64(first) + 4 > length || !LbSplitLoopValue(value, &thousands, &units))
        return B_ERROR;
    if (mWord.WriteSysEx(bits, length, first, first + 1, thousands) != B_OK) return B_ERROR;
    return mWord.WriteSysEx(bits, length, first + 2, first + 3, units);
}

status_t LbMpLoopRealtime::Send(LbDeviceI* device, const LbIntCodecI*, const LbDataI*, uint32, int32 value)
{
    int32 thousands, units;
    if (!LbSplitLoopValue(value, &thousands, &units)) return B_ERROR;
    status_t status = SendValue(device, &mWord, ParamNumber(), thousands);
    if (status != B_OK) return status;
    return SendValue(device, &mWord, mUnitsNumber, units);
}

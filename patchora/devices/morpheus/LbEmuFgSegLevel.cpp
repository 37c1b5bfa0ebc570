#include "devices/morpheus/LbEmuFgSegLevel.h"

#include "librarian/LbDataI.h"
#include "params/LbIntCodecs.h"

#include <cassert>
#include <new>

namespace {

int32 StoredWord(int32 type, int32 level)
{
    int32 unsignedWord = type * 256 + (level & 0xFF);
    return unsignedWord > 8191 ? unsignedWord - 16384 : unsignedWord;
}

} // namespace

LbEmuFgSegLevel::LbEmuFgSegLevel(const char* name, LbIntCodecI* codec, int32 id, uint32 firstByte,
                                 uint32 lastByte, int32 min, int32 max, int32 paramNumber)
    : LbIntParam(name, codec, id, firstByte, lastByte, min, max)
{
    SetRealtime(new (std::nothrow) LbEmuFgSegLevelRealtime(paramNumber, this));
}

status_t LbEmuFgSegLevel::ReadFields(const LbDataI* data, int32* type, int32* level) const
{
    int32 word;
    if (mCodec == nullptr || mCodec->ReadSysEx(data->Bits(), data->Length(), mFirstByte, mLastByte, &word) != B_OK)
        return B_ERROR;
    int32 unsignedWord = word & 0x3FFF;
    *type = unsignedWord >> 8;
    *level = int32(int8(uint8(unsignedWord & 0xFF)));
    return B_OK;
}

status_t LbEmuFgSegLevel::ReadSysEx(const LbDataI* data, uint32 which, int32* value) const
{
    assert(data != nullptr && "data != 0");
    std::lock_guard<std::recursive_mutex> lock(mLock);
    int32 type, level;
    if (value == nullptr || ReadFields(data, &type, &level) != B_OK) return B_ERROR;
    *value = which == LB_SEG_TYPE ? type : level;
    return B_OK;
}

status_t LbEmuFgSegLevel::EncodedType(const LbDataI* data, int32 type, int32* word) const
{
    assert(data != nullptr && "data != 0");
    std::lock_guard<std::recursive_mutex> lock(mLock);
    int32 oldType, level;
    if (word == nullptr || type < 0 || type > LB_SEG_MAX_TYPE) return B_ERROR;
    if (ReadFields(data, &oldType, &level) != B_OK) return B_ERROR;
    *word = StoredWord(type, level);
    return B_OK;
}

status_t LbEmuFgSegLevel::EncodedLevel(const LbDataI* data, int32 level, int32* word) const
{
    assert(data != nullptr && "data != 0");
    std::lock_guard<std::recursive_mutex> lock(mLock);
    int32 type, oldLevel;
    if (word == nullptr || level < mMin || level > mMax) return B_ERROR;
    if (ReadFields(data, &type, &oldLevel) != B_OK) return B_ERROR;
    *word = StoredWord(type, level);
    return B_OK;
}

status_t LbEmuFgSegLevel::WriteSysEx(LbDataI* data, uint32 which, int32 value) const
{
    assert(data != nullptr && "data != 0");
    std::lock_guard<std::recursive_mutex> lock(mLock);
    int32 word;
    status_t status = which == LB_SEG_TYPE ? EncodedType(data, value, &word) : EncodedLevel(data, value, &word);
    if (status != B_OK) return status;
    return mCodec->WriteSysEx(data->Bits(), data->Length(), mFirstByte, mLastByte, word);
}

status_t LbEmuFgSegLevelRealtime::Send(LbDeviceI* device, const LbIntCodecI* codec, const LbDataI* data,
                                       uint32 which, int32 value)
{
    int32 word;
    if (mLevel == nullptr || data == nullptr) return B_ERROR;
    status_t status = which == LB_SEG_TYPE ? mLevel->EncodedType(data, value, &word)
                                           : mLevel->EncodedLevel(data, value, &word);
    if (status != B_OK) return B_ERROR;
    return SendValue(device, codec, ParamNumber(), word);
}

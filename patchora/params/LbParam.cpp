#include "params/LbParam.h"

#include "librarian/LbDataI.h"
#include "midi/LbDeviceI.h"
#include "midi/LbMidiServiceI.h"
#include "params/LbIntCodecs.h"
#include "params/LbRealtimeI.h"
#include "params/LbStringCodec.h"

#include <cassert>
#include <cstdio>

// --- collections

LbCollectionParam::LbCollectionParam(const char* name) : LbParam(name)
{
    mParams.reserve(20);
}

LbCollectionParam::~LbCollectionParam()
{
    DeleteParams();
}

void LbCollectionParam::SetDevice(LbDeviceI* device)
{
    LbParam::SetDevice(device);
    for (LbParam* param : mParams) param->SetDevice(device);
}

bool LbCollectionParam::AddParam(LbParam* param)
{
    if (param == nullptr) return false;
    mParams.push_back(param);
    param->SetDevice(mDevice);
    return true;
}

LbParam* LbCollectionParam::ParamAt(int32 index) const
{
    if (index < 0 || index >= int32(mParams.size())) return nullptr;
    return mParams[size_t(index)];
}

void LbCollectionParam::DeleteParams()
{
    for (LbParam* param : mParams) delete param;
    mParams.clear();
}

// --- integers

LbIntParam::LbIntParam(const char* name, LbIntCodecI* codec, int32 id, uint32 firstByte, uint32 lastByte,
                       int32 min, int32 max)
    : LbParam(name), mCodec(codec), mFirstByte(firstByte), mLastByte(lastByte), mId(id), mMin(min), mMax(max)
{
}

LbIntParam::~LbIntParam()
{
    delete mCodec;
    delete mRealtime;
}

void LbIntParam::SetRealtime(LbRealtimeI* realtime)
{
    if (realtime == mRealtime) return;
    delete mRealtime;
    mRealtime = realtime;
}

status_t LbIntParam::ReadSysEx(const LbDataI* data, uint32 which, int32* value) const
{
    assert(data != nullptr && "data != 0");
    if (mCodec == nullptr) return B_ERROR;
    return mCodec->ReadSysEx(data->Bits(), data->Length(), mFirstByte, mLastByte, value);
}

status_t LbIntParam::WriteSysEx(LbDataI* data, uint32 which, int32 value) const
{
    assert(data != nullptr && "data != 0");
    if (mCodec == nullptr) return B_ERROR;
    return mCodec->WriteSysEx(data->Bits(), data->Length(), mFirstByte, mLastByte, value);
}

status_t LbIntParam::SendRealtime(const LbDataI* data, uint32 which, int32 value) const
{
    if (mRealtime == nullptr) return B_ERROR;
    return mRealtime->Send(mDevice, mCodec, data, which, value);
}

status_t LbIntParam::StartSequence() const
{
    LbMidiServiceI* service = mDevice ? mDevice->MidiService() : nullptr;
    if (service == nullptr) return B_ERROR;
    return service->StartSequence(0);
}

status_t LbIntParam::StopSequence() const
{
    LbMidiServiceI* service = mDevice ? mDevice->MidiService() : nullptr;
    if (service == nullptr) return B_ERROR;
    return service->StopSequence(0);
}

void LbIntParam::PrintBytes(const uint8* bits) const
{
    if (bits == nullptr) return;
    printf("Bytes for param %s (%ld to %ld):\n", mName ? mName : "", long(mFirstByte), long(mLastByte));
    for (uint64 i = mFirstByte; i <= mLastByte; i++) {
        char line[9];
        for (int bit = 0; bit < 8; bit++) line[bit] = (bits[i] & (0x80 >> bit)) ? '1' : '0';
        line[8] = 0;
        printf("%s\n", line);
        fflush(stdout);
    }
}

// --- strings

LbStringParam::LbStringParam(const char* name, LbStringCodec* codec, int32 maxLength, int32 lowestChar,
                             int32 highestChar, uint32 firstByte, uint32 lastByte, int8 step)
    : LbParam(name), mCodec(codec), mMaxLength(maxLength), mLowestChar(lowestChar), mHighestChar(highestChar),
      mFirstByte(firstByte), mLastByte(lastByte), mStep(step)
{
}

LbStringParam::~LbStringParam()
{
    delete mCodec;
}

status_t LbStringParam::ReadSysEx(const LbDataI* data, char** text) const
{
    assert(data != nullptr && "data != 0");
    if (mCodec == nullptr) return B_ERROR;
    return mCodec->ReadSysEx(data->Bits(), data->Length(), mFirstByte, mLastByte, mStep, text);
}

status_t LbStringParam::WriteSysEx(LbDataI* data, const char* text) const
{
    assert(data != nullptr && "data != 0");
    if (mCodec == nullptr) return B_ERROR;
    return mCodec->WriteSysEx(data->Bits(), data->Length(), mFirstByte, mLastByte, mStep, text);
}

#pragma once
// Parameters: every editable value of a patch, bound to its place in the patch's SysEx
// block. A device model builds one tree per bank type: collections (pages, groups) holding
// integer and string parameters. Controls read and write values through them.
#include "kernel/SupportDefs.h"

#include <vector>

class LbDataI;
class LbDeviceI;
class LbIntCodecI;
class LbIntToStringMapI;
class LbRealtimeI;
class LbStringCodec;
class QWidget;

enum orb_view_type : int32 { ORB_OVERVIEW = 1, ORB_EDIT_VIEW = 2 };

enum : int32 { LB_COLLECTION_PARAM = 0, LB_STRING_PARAM = 2, LB_INT_PARAM = 3 };

class LbParam {
public:
    explicit LbParam(const char* name) : mName(name) {}
    virtual ~LbParam() = default;
    LbParam(const LbParam&) = delete;
    LbParam& operator=(const LbParam&) = delete;

    virtual int32 Type() const = 0;
    virtual int32 Id() const = 0;
    virtual void SetDevice(LbDeviceI* device) { mDevice = device; }
    // The view of the given kind, newly made and owned by the caller; null when none.
    virtual QWidget* NewView(int32 kind) const { return nullptr; }
    virtual void PrintBytes(const uint8* bits) const {}

    const char* Name() const { return mName; }
    LbDeviceI* Device() const { return mDevice; }

protected:
    const char* mName;   // static text, never freed
    LbDeviceI* mDevice = nullptr;
};

class LbCollectionParam : public LbParam {
public:
    explicit LbCollectionParam(const char* name);
    ~LbCollectionParam() override;

    int32 Type() const override { return LB_COLLECTION_PARAM; }
    int32 Id() const override { return -1; }
    void SetDevice(LbDeviceI* device) override;

    // Takes ownership and binds the child to this collection's device; refuses null.
    bool AddParam(LbParam* param);
    LbParam* ParamAt(int32 index) const;
    int32 CountParams() const { return int32(mParams.size()); }
    void DeleteParams();

private:
    std::vector<LbParam*> mParams;
};

class LbIntParam : public LbParam {
public:
    // Takes ownership of the codec (may be null for subclasses that read by other means).
    LbIntParam(const char* name, LbIntCodecI* codec, int32 id, uint32 firstByte, uint32 lastByte, int32 min,
               int32 max);
    ~LbIntParam() override;

    int32 Type() const override { return LB_INT_PARAM; }
    int32 Id() const override { return mId; }
    void PrintBytes(const uint8* bits) const override;

    virtual int32 Min(uint32 which) const { return mMin; }
    virtual int32 Max(uint32 which) const { return mMax; }
    // `which` selects a field of a word that packs several; plain parameters ignore it.
    virtual status_t ReadSysEx(const LbDataI* data, uint32 which, int32* value) const;
    virtual status_t WriteSysEx(LbDataI* data, uint32 which, int32 value) const;
    virtual QWidget* OverView() const { return EditView(); }
    virtual QWidget* EditView() const { return nullptr; }
    virtual int32 OnState() const { return 1; }
    virtual int32 OffState() const { return 0; }
    // The names of the values, where they have names: a map the caller gives up with
    // LbIntToStringMapI::Release. Null for plain numbers.
    virtual LbIntToStringMapI* NewValueMap() const { return mValueMaps ? mValueMaps() : nullptr; }
    // Where NewValueMap takes its map from (looked up at each call, since a device model
    // may replace its tables while the parameter lives).
    using ValueMapSource = LbIntToStringMapI* (*)();
    void SetValueMapSource(ValueMapSource source) { mValueMaps = source; }

    // Takes ownership of the sender.
    void SetRealtime(LbRealtimeI* realtime);
    LbRealtimeI* Realtime() const { return mRealtime; }
    const LbIntCodecI* Codec() const { return mCodec; }
    uint32 FirstByte() const { return mFirstByte; }
    uint32 LastByte() const { return mLastByte; }

    // Sends the edited value to the instrument; -1 when the value cannot go in real time.
    status_t SendRealtime(const LbDataI* data, uint32 which, int32 value) const;
    // Starts and stops the device's audition sequence while the user edits.
    status_t StartSequence() const;
    status_t StopSequence() const;

protected:
    LbIntCodecI* mCodec;
    LbRealtimeI* mRealtime = nullptr;
    uint32 mFirstByte;
    uint32 mLastByte;
    int32 mId;
    int32 mMin;
    int32 mMax;
    ValueMapSource mValueMaps = nullptr;
};

class LbStringParam : public LbParam {
public:
    // Takes ownership of the codec.
    LbStringParam(const char* name, LbStringCodec* codec, int32 maxLength, int32 lowestChar, int32 highestChar,
                  uint32 firstByte, uint32 lastByte, int8 step);
    ~LbStringParam() override;

    int32 Type() const override { return LB_STRING_PARAM; }
    int32 Id() const override { return int32(mFirstByte); }
    virtual QWidget* OverView() const { return EditView(); }
    virtual QWidget* EditView() const { return nullptr; }

    // `text` receives a newly allocated copy; free it with free().
    status_t ReadSysEx(const LbDataI* data, char** text) const;
    status_t WriteSysEx(LbDataI* data, const char* text) const;

    int32 MaxLength() const { return mMaxLength; }
    int32 LowestChar() const { return mLowestChar; }
    int32 HighestChar() const { return mHighestChar; }
    // Whether a text control may accept the character.
    bool Accepts(int32 character) const { return character >= mLowestChar && character <= mHighestChar; }

private:
    LbStringCodec* mCodec;
    int32 mMaxLength;
    int32 mLowestChar;
    int32 mHighestChar;
    uint32 mFirstByte;
    uint32 mLastByte;
    int8 mStep;
};

#include "ThudPreset.h"

#include "ThudSound.h"
#include "storage/AtomicFileWriter.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace thud {

namespace {

constexpr uint8_t kMagic[5] = {'T', 'H', '0', 'D', 0};

class BlockWriter {
public:
    explicit BlockWriter(uint8_t* out) : fOut(out) {}
    void PutUint32(uint32_t v)
    {
        for (int i = 0; i < 4; i++)
            *fOut++ = static_cast<uint8_t>(v >> (8 * i));
    }
    void PutFloat(float v) { PutUint32(std::bit_cast<uint32_t>(v)); }
    void PutByte(uint8_t v) { *fOut++ = v; }

private:
    uint8_t* fOut;
};

class BlockReader {
public:
    explicit BlockReader(const uint8_t* in) : fIn(in) {}
    uint32_t GetUint32()
    {
        uint32_t v = 0;
        for (int i = 0; i < 4; i++)
            v |= static_cast<uint32_t>(*fIn++) << (8 * i);
        return v;
    }
    float GetFloat() { return std::bit_cast<float>(GetUint32()); }
    uint8_t GetByte() { return *fIn++; }

private:
    const uint8_t* fIn;
};

}  // namespace

std::array<uint8_t, kPresetFileSize> EncodePreset(const ThudParams& p)
{
    std::array<uint8_t, kPresetFileSize> bytes{};
    std::memcpy(bytes.data(), kMagic, sizeof(kMagic));
    BlockWriter w(bytes.data() + 8);
    w.PutFloat(p.startFreq);
    w.PutFloat(p.reserved);
    w.PutFloat(p.duration);
    w.PutFloat(p.amplitude);
    w.PutFloat(p.freqCurve);
    w.PutFloat(p.ampCurve);
    w.PutFloat(p.distortion);
    w.PutFloat(p.cutoff);
    w.PutFloat(p.resonance);
    w.PutUint32(static_cast<uint32_t>(p.oscType));
    w.PutByte(p.ampEnvOn);
    w.PutByte(p.freqEnvOn);
    w.PutByte(p.distortionOn);
    w.PutByte(p.filterOn);
    return bytes;
}

PresetReadResult DecodePreset(const uint8_t* data, size_t length)
{
    PresetReadResult result;
    if (data == nullptr || length < kPresetFileSize
        || std::memcmp(data, kMagic, sizeof(kMagic)) != 0) {
        result.outcome = PresetReadResult::kNotValid;
        result.messages.push_back(kNotValidText);
        return result;
    }
    BlockReader r(data + 8);
    ThudParams& p = result.params;
    p.startFreq = r.GetFloat();
    p.reserved = r.GetFloat();
    p.duration = r.GetFloat();
    p.amplitude = r.GetFloat();
    p.freqCurve = r.GetFloat();
    p.ampCurve = r.GetFloat();
    p.distortion = r.GetFloat();
    p.cutoff = r.GetFloat();
    p.resonance = r.GetFloat();
    p.oscType = static_cast<int32_t>(r.GetUint32());
    p.ampEnvOn = r.GetByte();
    p.freqEnvOn = r.GetByte();
    p.distortionOn = r.GetByte();
    p.filterOn = r.GetByte();
    result.outcome = PresetReadResult::kLoaded;
    return result;
}

PresetReadResult ReadPresetFromFile(const std::string& path)
{
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        int err = errno;
        PresetReadResult result;
        result.systemError = err;
        result.outcome = PresetReadResult::kCannotOpen;
        result.messages.push_back(kCannotOpenText);
        return result;
    }
    uint8_t bytes[kPresetFileSize];
    size_t length = std::fread(bytes, 1, sizeof(bytes), file);
    bool readFailed = std::ferror(file) != 0;
    int err = errno;
    std::fclose(file);
    if (readFailed) {
        PresetReadResult result = DecodePreset(nullptr, 0);
        result.systemError = err;
        result.messages.insert(result.messages.begin(), kCannotReadText);
        return result;
    }
    return DecodePreset(bytes, length);
}

int32_t WritePresetToFile(const std::string& path, const ThudParams& params, std::string& error)
{
    auto bytes = EncodePreset(params);
    if (path.empty()) {
        error = "No file name given";
        return -1;
    }
    AtomicFileWriter file(path.c_str(), kPresetMimeType);
    status_t status = file.InitCheck();
    if (status == B_OK && file.Write(bytes.data(), bytes.size()) != ssize_t(bytes.size()))
        status = file.Error() != B_OK ? file.Error() : B_IO_ERROR;
    if (status == B_OK)
        status = file.Commit();
    if (status != B_OK) {
        error = "Cannot write \"" + path + "\": " + strerror_status(status);
        return -1;
    }
    return 0;
}

void ApplyParams(ThudSound& sound, const ThudParams& p)
{
    sound.SetStartFreq(p.startFreq);
    sound.SetDuration(p.duration);
    sound.SetAmplitude(p.amplitude);
    sound.SetFreqEnvelope(p.freqCurve);
    sound.SetAmpEnvelope(p.ampCurve);
    sound.SetDistortion(p.distortion);
    sound.SetFilterCutoff(p.cutoff);
    sound.SetFilterQ(p.resonance);
    sound.SetOscType(p.oscType);
    sound.SetAmpEnvEnabled(p.ampEnvOn != 0);
    sound.SetFreqEnvEnabled(p.freqEnvOn != 0);
    sound.SetDistortionEnabled(p.distortionOn != 0);
    sound.SetFilterEnabled(p.filterOn != 0);
    sound.GenerateWaveTable();
    sound.GenerateWaveShapeTable();
}

}  // namespace thud

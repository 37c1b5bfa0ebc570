#include "devices/morpheus/LbEmuMorpheus.h"

#include "app/LbXmlStream.h"
#include "devices/morpheus/LbEffectMap.h"
#include "devices/morpheus/LbEmuMorpheusAddon.h"
#include "devices/morpheus/LbEmuMorpheusHyperpreset.h"
#include "devices/morpheus/LbEmuMorpheusMidimap.h"
#include "devices/morpheus/LbEmuMorpheusPreset.h"
#include "devices/morpheus/LbFilterMap.h"
#include "devices/morpheus/LbInstrumentMap.h"
#include "devices/morpheus/LbMorpheusProtocol.h"
#include "librarian/LbData.h"
#include "librarian/LbStatusWormholeI.h"
#include "midi/LbMidiServiceI.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>

namespace {

// Replaced whole by list messages (on the MIDI input thread) and DeleteMaps while any
// thread reads them.
struct RomTables {
    std::atomic<std::shared_ptr<const LbInstrumentMap>> instruments;
    std::atomic<std::shared_ptr<const LbFilterMap>> filters;
    std::atomic<std::shared_ptr<const LbEffectMap>> effects;
    std::atomic<bool> fetched{false};
};

RomTables& Tables()
{
    static RomTables tables;
    return tables;
}

bool IsList(const uint8* data, uint32 length, uint8 command)
{
    return data != nullptr && length >= 6 && data[LB_MORPHEUS_COMMAND_INDEX] == command;
}

// Builds the new map aside and puts it in place in one step; whoever holds the old one
// keeps it until done. A message that cannot be kept leaves no map.
template <class Map>
status_t Rebuild(std::atomic<std::shared_ptr<const Map>>& slot, const uint8* data, uint32 length)
{
    std::shared_ptr<Map> map(new (std::nothrow) Map);
    if (map == nullptr || map->SetTo(data, length) != B_OK) {
        slot.store(nullptr);
        return B_ERROR;
    }
    slot.store(std::move(map));
    return B_OK;
}

// A value map that holds a shared map while a parameter's user reads names from it.
template <class Map>
class SharedValueMap : public LbIntToStringMapI {
public:
    explicit SharedValueMap(std::shared_ptr<const Map> map) : mMap(std::move(map)) {}
    void Release() override { delete this; }
    status_t IdForIndex(int32 index, int32* id) const override { return mMap->IdForIndex(index, id); }
    status_t IdForName(const char* name, int32* id) const override { return mMap->IdForName(name, id); }
    status_t IndexForId(int32 id, int32* index) const override { return mMap->IndexForId(id, index); }
    status_t IndexForName(const char* name, int32* index) const override { return mMap->IndexForName(name, index); }
    status_t NameForId(int32 id, const char** name) const override { return mMap->NameForId(id, name); }
    status_t NameForIndex(int32 index, const char** name) const override { return mMap->NameForIndex(index, name); }

private:
    std::shared_ptr<const Map> mMap;
};

template <class Map>
LbIntToStringMapI* NewSharedValueMap(std::shared_ptr<const Map> map)
{
    if (map == nullptr) return nullptr;
    return new (std::nothrow) SharedValueMap<Map>(std::move(map));
}

constexpr const char* kInstrumentsTag = "instruments";
constexpr const char* kFiltersTag = "filters";
constexpr const char* kEffectsTag = "effects";

// Reads elements until one named `tag`, then its data block.
bool ReadElement(LbXmlStreamI* stream, const char* tag, LbData* data)
{
    for (;;) {
        char* name = stream->ReadNextTag(nullptr, nullptr);
        if (name == nullptr) return false;
        bool found = strcmp(name, tag) == 0;
        free(name);
        if (found) return data->ReadFrom(stream, tag) == B_OK && data->Length() > 0;
    }
}

} // namespace

LbEmuMorpheus::LbEmuMorpheus(LbEmuMorpheusAddon* addon) : mAddon(addon)
{
}

LbEmuMorpheus::~LbEmuMorpheus() = default;

LbDeviceAddonI* LbEmuMorpheus::Addon() const
{
    return mAddon;
}

std::shared_ptr<const LbInstrumentMap> LbEmuMorpheus::InstrumentMap()
{
    return Tables().instruments.load();
}

std::shared_ptr<const LbFilterMap> LbEmuMorpheus::FilterMap()
{
    return Tables().filters.load();
}

std::shared_ptr<const LbEffectMap> LbEmuMorpheus::EffectMap()
{
    return Tables().effects.load();
}

LbIntToStringMapI* LbEmuMorpheus::NewInstrumentValueMap()
{
    return NewSharedValueMap(InstrumentMap());
}

LbIntToStringMapI* LbEmuMorpheus::NewFilterValueMap()
{
    return NewSharedValueMap(FilterMap());
}

bool LbEmuMorpheus::MapsFetched()
{
    return Tables().fetched;
}

status_t LbEmuMorpheus::InstrumentMapSystemExclusive(const uint8* data, uint32 length)
{
    if (!IsList(data, length, LB_MORPHEUS_INSTRUMENT_LIST)) return B_ERROR;
    Rebuild(Tables().instruments, data, length);
    return B_OK;
}

status_t LbEmuMorpheus::FilterMapSystemExclusive(const uint8* data, uint32 length)
{
    if (!IsList(data, length, LB_MORPHEUS_FILTER_LIST)) return B_ERROR;
    Rebuild(Tables().filters, data, length);
    return B_OK;
}

status_t LbEmuMorpheus::EffectMapSystemExclusive(const uint8* data, uint32 length)
{
    if (!IsList(data, length, LB_MORPHEUS_EFFECT_LIST)) return B_ERROR;
    Rebuild(Tables().effects, data, length);
    return B_OK;
}

void LbEmuMorpheus::DeleteMaps()
{
    Tables().instruments.store(nullptr);
    Tables().filters.store(nullptr);
    Tables().effects.store(nullptr);
}

void LbEmuMorpheus::SystemExclusive(const uint8* data, uint32 length, uint32 time)
{
    if (InstrumentMapSystemExclusive(data, length) == B_OK || FilterMapSystemExclusive(data, length) == B_OK
        || EffectMapSystemExclusive(data, length) == B_OK)
        return;
    // A message that comes back while it is being handed on is dropped.
    if (mHandingOn.exchange(true)) return;
    if (MidiService() != nullptr) MidiService()->SystemExclusive(data, length, time);
    mHandingOn = false;
}

void LbEmuMorpheus::InitializeFromSynth(LbStatusWormholeI* wormhole)
{
    struct Step {
        const char* what;
        uint8 command;
    };
    const Step steps[] = {{"instruments", LB_MORPHEUS_INSTRUMENT_LIST_REQUEST},
                          {"filters", LB_MORPHEUS_FILTER_LIST_REQUEST},
                          {"effects", LB_MORPHEUS_EFFECT_LIST_REQUEST}};
    const char* deviceName = mAddon ? mAddon->Name() : "E-mu Morpheus";
    for (const Step& step : steps) {
        char status[256];
        snprintf(status, sizeof status, "Initializing %s - %s...", deviceName, step.what);
        if (wormhole) wormhole->BeginStatus(status);
        LbData request;
        if (MidiService() != nullptr && LbMorpheusListRequest(DeviceId(), step.command, &request) == B_OK)
            MidiService()->SendSystemExclusive(&request, true, this);
        if (wormhole) wormhole->EndStatus(nullptr);
    }
    Tables().fetched = true;
}

bool LbEmuMorpheus::InitializeFrom(LbXmlStreamI* stream)
{
    if (stream == nullptr) return false;
    struct Step {
        const char* tag;
        bool present;
        status_t (*build)(const uint8*, uint32);
    };
    const Step steps[] = {{kInstrumentsTag, InstrumentMap() != nullptr, InstrumentMapSystemExclusive},
                          {kFiltersTag, FilterMap() != nullptr, FilterMapSystemExclusive},
                          {kEffectsTag, EffectMap() != nullptr, EffectMapSystemExclusive}};
    for (const Step& step : steps) {
        if (step.present) continue;
        LbData data;
        if (!ReadElement(stream, step.tag, &data) || step.build(data.Bits(), data.Length()) != B_OK) return false;
    }
    return true;
}

ssize_t LbEmuMorpheus::WriteMaps(LbXmlStreamI* stream) const
{
    if (stream == nullptr) return B_ERROR;
    // Held while written, whatever replaces them meanwhile.
    const auto instruments = InstrumentMap();
    const auto filters = FilterMap();
    const auto effects = EffectMap();
    const LbData* messages[] = {instruments ? &instruments->Message() : nullptr,
                                filters ? &filters->Message() : nullptr,
                                effects ? &effects->Message() : nullptr};
    const char* tags[] = {kInstrumentsTag, kFiltersTag, kEffectsTag};
    ssize_t total = 0;
    for (int i = 0; i < 3; i++) {
        // An effect list whose list A failed keeps no bytes: nothing to save.
        if (messages[i] == nullptr || messages[i]->Length() == 0) continue;
        ssize_t written = stream->WriteTabs();
        if (written < 0) return written;
        total += written;
        written = messages[i]->WriteTo(stream, tags[i]);
        if (written < 1) return written;
        total += written;
        written = stream->WriteCR();
        if (written < 1) return written;
        total += written;
    }
    return total;
}

void LbEmuMorpheus::CreateBanks()
{
    DeleteBanks();
    Banks().push_back(new LbEmuMorpheusPreset("Preset - RAM", this, 0, 127));
    Banks().push_back(new LbEmuMorpheusPreset("Preset - ROM", this, 0, 127));
    Banks().push_back(new LbEmuMorpheusHyperpreset("Hyperpreset - RAM", this, 0, 127));
    Banks().push_back(new LbEmuMorpheusMidimap("Midimap - RAM", this, 0, 15));
}

void LbEmuMorpheus::Initialize(LbStatusWormholeI* wormhole, BPositionIO* cache, bool refresh)
{
    bool fromCache = false;
    if (cache != nullptr && !refresh) {
        LbXmlStream stream(cache);
        fromCache = InitializeFrom(&stream);
    }
    if (!fromCache) InitializeFromSynth(wormhole);
    CreateBanks();
}

void LbEmuMorpheus::Uninitialize(BPositionIO* cache)
{
    if (cache != nullptr) {
        LbXmlStream stream(cache);
        WriteMaps(&stream);
    }
    DeleteMaps();
}

bool LbEmuMorpheus::NeedsUninitialize() const
{
    if (InstrumentMap() == nullptr && FilterMap() == nullptr && EffectMap() == nullptr) return false;
    return MapsFetched();
}

status_t LbEmuMorpheus::InitCheck() const
{
    return InstrumentMap() && FilterMap() && EffectMap() ? B_OK : B_ERROR;
}

#pragma once
// One E-mu Morpheus of the user's studio. The ROM lists (instruments, filters, effects) are
// the same on every Morpheus, so their maps are kept once per program run and shared by
// all Morpheus devices.
//
// Lifetime and threads: a list message (on the MIDI input thread) or DeleteMaps replaces a
// map while other threads read it. The maps are reference counted and swapped whole: a map
// handed out (and every name or list read from it) stays valid while its holder keeps it,
// however often it is replaced meanwhile.
#include "midi/LbDevice.h"

#include <atomic>
#include <memory>

class LbEffectMap;
class LbEmuMorpheusAddon;
class LbFilterMap;
class LbInstrumentMap;
class LbIntToStringMapI;
class LbXmlStreamI;

class LbEmuMorpheus : public LbDevice {
public:
    explicit LbEmuMorpheus(LbEmuMorpheusAddon* addon);
    ~LbEmuMorpheus() override;

    // List messages replace the map of their kind; anything else goes on to the MIDI service.
    void SystemExclusive(const uint8* data, uint32 length, uint32 time) override;
    // Reads the lists from the cache file (unless refreshing), else fetches them from the
    // instrument; then creates the four banks.
    void Initialize(LbStatusWormholeI* wormhole, BPositionIO* cache, bool refresh) override;
    // Writes the maps into the cache file when one is given, then destroys them.
    void Uninitialize(BPositionIO* cache) override;
    bool NeedsUninitialize() const override;
    status_t InitCheck() const override;
    LbDeviceAddonI* Addon() const override;

    // Requests the three lists, one after the other, waiting for each reply.
    void InitializeFromSynth(LbStatusWormholeI* wormhole);
    // Reads the maps that are missing from elements "instruments", "filters", "effects" of a
    // cache document; false as soon as one cannot be found.
    bool InitializeFrom(LbXmlStreamI* stream);
    // Writes the existing maps' messages as data elements; the sum of the bytes written, or
    // the first failed write.
    ssize_t WriteMaps(LbXmlStreamI* stream) const;
    // Replaces the device's banks by "Preset - RAM", "Preset - ROM", "Hyperpreset - RAM"
    // and "Midimap - RAM".
    void CreateBanks();

    // The process-wide maps as they are now; null while absent.
    static std::shared_ptr<const LbInstrumentMap> InstrumentMap();
    static std::shared_ptr<const LbFilterMap> FilterMap();
    static std::shared_ptr<const LbEffectMap> EffectMap();
    // Value maps for parameters (the caller gives them up with LbIntToStringMapI::Release):
    // each keeps the map current at the call, and the names it hands out, until released.
    // Null while the map is absent.
    static LbIntToStringMapI* NewInstrumentValueMap();
    static LbIntToStringMapI* NewFilterValueMap();
    static bool MapsFetched();
    // Each takes a list message of its kind (length at least 6, byte 3 its command) and
    // rebuilds its map from it: 0 when taken, -1 otherwise.
    static status_t InstrumentMapSystemExclusive(const uint8* data, uint32 length);
    static status_t FilterMapSystemExclusive(const uint8* data, uint32 length);
    static status_t EffectMapSystemExclusive(const uint8* data, uint32 length);
    static void DeleteMaps();

private:
    LbEmuMorpheusAddon* mAddon;
    // Set while a message is handed on to the MIDI service, which may hand it straight
    // back to this device as the receiver it waits for.
    std::atomic<bool> mHandingOn{false};
};

#pragma once
// The user's studio: the instruments set up, each a device with its own MIDI service bound
// to two ports by name, initialised from its model's cache file, and remembered in the
// "studio" settings document:
//
//   <Studio version = 1.0>
//   	<LbDevice mfg_id = 18 mod_id = 0C>
//   		<midi_out>port the program sends to</midi_out>
//   		<midi_in>port the program receives from</midi_in>
//   		<device_id>0</device_id>
//   	</LbDevice>
//   </Studio>
//
// Dependents hear of every device added (type 100, 'dInA' with "LbDeviceI") and of the
// devices' status texts (type 101, 'dBeS' and 'dEnS' with "status").
#include "librarian/LbStatusWormholeI.h"
#include "support/OrbNotificationRegistry.h"

#include <functional>
#include <map>
#include <string>
#include <memory>
#include <vector>

class BMessage;
class BPositionIO;
class LbDataI;
class LbDeviceAddons;
class LbDeviceI;
class LbXmlStreamI;

constexpr int32 LB_NOTIFY_DEVICE_ADDED = 100;
constexpr int32 LB_NOTIFY_STUDIO_STATUS = 101;
constexpr uint32 LB_MSG_DEVICE_ADDED = 'dInA';
constexpr uint32 LB_MSG_BEGIN_STATUS = 'dBeS';
constexpr uint32 LB_MSG_END_STATUS = 'dEnS';
constexpr uint32 LB_MSG_DEVICE_REMOVED = 'aDiR';

class LbMidiStudio : public OrbNotificationRegistry, public LbStatusWormholeI {
public:
    // The add-on registry (not owned) names the device models the studio document may use.
    explicit LbMidiStudio(LbDeviceAddons* addons);
    ~LbMidiStudio() override;

    // Gives the device a new MIDI service connected to the named ports (a name that
    // matches no port leaves that side unconnected, but the name is kept for the studio
    // document), initialises it from its cache file, and tells dependents. Takes ownership.
    bool AddDevice(LbDeviceI* device, const char* consumerName, const char* producerName);
    // A device for this run only (the built-in simulator's): added like any other, but
    // never written to the studio document, and it keeps what it learns in the cache of
    // its own variant (see SetCacheVariant), apart from a real instrument's.
    bool AddTransientDevice(LbDeviceI* device, const char* consumerName, const char* producerName,
                            const std::string& cacheVariant);
    bool IsTransient(const LbDeviceI* device) const;
    // Takes the device out; it stays alive (windows may still name it) until PreDelete.
    bool RemoveDevice(LbDeviceI* device);
    int32 CountDevices() const { return int32(mDevices.size()); }
    LbDeviceI* DeviceAt(int32 index) const;
    LbDeviceI* DeviceAt(const LbDataI* manufacturerId, const LbDataI* modelId) const;
    int32 IndexOf(const LbDeviceI* device) const;

    status_t ReadFrom(LbXmlStreamI* stream);
    ssize_t WriteTo(LbXmlStreamI* stream) const;
    // The ports a device was set up with ("<none>" for none), found or not.
    std::string ConsumerName(const LbDeviceI* device) const;
    std::string ProducerName(const LbDeviceI* device) const;
    // Why the studio document's device id of a device is unusable ("" when it is a number
    // in its model's range). Such a device is kept (and written back as it was read) but
    // connected to nothing, so that no request leaves with that id.
    std::string DeviceIdProblem(const LbDeviceI* device) const;
    // Called with every status text the devices give while they start (asking an
    // instrument for its tables takes seconds): for a command line to show progress.
    void SetStatusListener(std::function<void(const char*)> listener) { mStatusListener = std::move(listener); }
    // Uninitialises every device (writing its cache file when it has state to keep) and
    // deletes them all, removed ones too.
    void PreDelete();
    // The device model's cache file "OrbWorks/MidiDevices/<add-on name>.data", opened
    // read-only; null when there is none.
    BPositionIO* InitFile(LbDeviceI* device);
    // Devices of this studio that are no real instruments (a simulator) keep what they
    // learn apart, in "<add-on name> (<variant>).data", so that it never labels a real
    // instrument's patches. Set before adding devices.
    void SetCacheVariant(const std::string& variant) { mCacheVariant = variant; }

    // Where 'aDiR' goes: every window of the program. Unset, it goes nowhere.
    void SetWindowBroadcast(std::function<void(BMessage*)> broadcast) { mBroadcast = std::move(broadcast); }

    void BeginStatus(const char* text) override;
    void EndStatus(const char* text) override;
    void BeginProgress(float) override {}
    float ProgressMax() override { return 0; }
    void MoveProgressBy(float) override {}
    void MoveProgressTo(float) override {}
    void EndProgress() override {}

private:
    void SendStatus(uint32 code, const char* text);
    void SendDeviceMessage(uint32 code, LbDeviceI* device);

    // A device element of the studio document, as written.
    struct DeviceEntry {
        std::string makerHex;
        std::string modelHex;
        std::string consumer;
        std::string producer;
        std::string deviceId;
    };
    static ssize_t WriteDeviceEntry(LbXmlStreamI* stream, const DeviceEntry& entry);
    static bool ReadDeviceEntry(LbXmlStreamI* stream, DeviceEntry* entry);
    void InstallDevice(class LbDeviceAddonI* addon, const DeviceEntry& entry);
    std::vector<DeviceEntry> mUnknownModels;   // entries of models this program lacks

    // The port names each device was set up with. A port that is not there now (an
    // interface unplugged) is still written back, so that it is found again later.
    struct PortNames {
        std::string consumer;
        std::string producer;
        std::string idText;    // the id as read, when it is not a number in the model's range
        bool transient = false;
        std::string variant; // of a transient device's cache
    };
    const std::string& CacheVariant(const LbDeviceI* device) const;
    bool Install(LbDeviceI* device, const PortNames& names);
    std::map<const LbDeviceI*, PortNames> mPortNames;

    LbDeviceAddons* mAddons;
    std::vector<LbDeviceI*> mDevices;
    std::vector<LbDeviceI*> mRemoved;
    std::unique_ptr<BMessage> mNotification;
    std::function<void(BMessage*)> mBroadcast;
    std::string mCacheVariant;
    std::function<void(const char*)> mStatusListener;
};

// The path of a device model's cache file, or empty when the device has none (no add-on,
// or an add-on without a name). With `create`, its directory is made when missing. A
// variant (see SetCacheVariant) names a cache of its own.
std::string LbDeviceCachePath(LbDeviceI* device, bool create, const std::string& variant = "");

#pragma once
// What the command-line program works with: the device models, the user's studio (read
// from its settings document only when a command needs it, written back when changed),
// devices set up for one command (never saved), and the built-in simulator.
#include "kernel/SupportDefs.h"

#include <memory>
#include <string>
#include <vector>

class LbCliArgs;
class LbDeviceAddons;
class LbDeviceI;
class LbDeviceSnapshotI;
class LbMidiStudio;
namespace morpheus_sim { class SimulatorEndpoints; }

class LbCliContext {
public:
    LbCliContext();
    ~LbCliContext();
    LbCliContext(const LbCliContext&) = delete;
    LbCliContext& operator=(const LbCliContext&) = delete;

    LbDeviceAddons& Addons() { return *mAddons; }
    // The user's studio, read from "studio" on first use.
    LbMidiStudio& Studio();
    // Writes the studio document, whole or not at all. False (with a message) on failure.
    bool SaveStudio();

    // The instrument a transfer command names: "--studio N", "--simulate", or the ports
    // "--in PORT --out PORT" with "--device-id N". Null with a message for the user.
    LbDeviceI* ConnectedDevice(const LbCliArgs& args, std::string* error);
    // A device of the model that talks to nothing, for reading and writing files. Its
    // value tables come from the model's cache file when a receive has made one.
    LbDeviceI* OfflineDevice();

    // Reads a patch-library document into a new snapshot of `device`; null with a message
    // when the file cannot be read or holds no patches of that device's model. What was
    // wrong in a damaged document (whose readable patches are kept) goes to `problems`,
    // one line each ("FILE: line N, ELEMENT: what").
    LbDeviceSnapshotI* ReadDocument(const std::string& path, LbDeviceI* device, std::string* error,
                                    std::vector<std::string>* problems = nullptr);

private:
    std::unique_ptr<LbDeviceAddons> mAddons;
    std::unique_ptr<LbMidiStudio> mStudio;
    std::unique_ptr<LbMidiStudio> mScratch;   // devices for one command only
    std::unique_ptr<LbMidiStudio> mSimulated; // the simulator's device, with a cache of its own
    std::unique_ptr<morpheus_sim::SimulatorEndpoints> mSimulator;
};

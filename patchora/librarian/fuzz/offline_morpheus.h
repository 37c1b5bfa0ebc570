#pragma once
// For fuzz targets: an E-mu Morpheus that talks to nothing, in a studio of its own, with
// no settings folder and no MIDI system asked for. Made once per process.
#include "devices/morpheus/LbEmuMorpheusAddon.h"
#include "midi/LbDeviceAddonI.h"
#include "midi/LbDeviceAddons.h"
#include "midi/LbMidiStudio.h"

#include <cstdio>
#include <cstdlib>
#include <string>

struct OfflineMorpheus {
    OfflineMorpheus()
    {
        setenv("SUITE_MIDI_API", "none", 1);
        // The settings folder is a plain file: no cache is kept between inputs.
        char home[] = "/tmp/patchora-fuzz-XXXXXX";
        if (mkdtemp(home) != nullptr) {
            std::string settings = std::string(home) + "/settings";
            fclose(fopen(settings.c_str(), "w"));
            setenv("XDG_CONFIG_HOME", settings.c_str(), 1);
        }
        addons.AddAddon(new LbEmuMorpheusAddon);
        studio = new LbMidiStudio(&addons);
        device = addons.AddonAt(0)->NewDevice();
        studio->AddDevice(device, nullptr, nullptr);
    }
    LbDeviceAddons addons;
    LbMidiStudio* studio;   // never deleted: it would write the model's cache file
    LbDeviceI* device;
};

// An E-mu Morpheus device set up in the studio against the simulator in this process, as
// 'patchora --simulate' does: initialised from the instrument, then used.
#include "devices/morpheus/LbEmuMorpheus.h"
#include "devices/morpheus/LbEmuMorpheusAddon.h"
#include "devices/morpheus/LbInstrumentMap.h"
#include "librarian/LbBankI.h"
#include "librarian/LbBankSnapshotI.h"
#include "librarian/LbDataI.h"
#include "librarian/LbDeviceSnapshot.h"
#include "librarian/LbIterators.h"
#include "librarian/LbPatchI.h"
#include "midi/LbDeviceAddons.h"
#include "midi/LbMidiStudio.h"
#include "params/LbParam.h"

#include "MorpheusSimulator.h"
#include "SimulatorEndpoints.h"
#include "testing/ScratchDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(SimulatedMorpheus, InitialisesFromTheInstrumentAndFetchesItsBanks)
{
    ScratchDir scratch("simulated-morpheus");
    scratch.UseAsHome();
    LbEmuMorpheus::DeleteMaps();
    {
        auto simulator = std::make_shared<morpheus_sim::MorpheusSimulator>(3);
        morpheus_sim::SimulatorEndpoints endpoints(simulator);
        LbDeviceAddons addons;
        addons.AddAddon(new LbEmuMorpheusAddon);
        LbMidiStudio studio(&addons);
        LbDeviceI* device = addons.AddonAt(0)->NewDevice();
        device->SetDeviceId(3);
        ASSERT_TRUE(studio.AddDevice(device, morpheus_sim::SimulatorEndpoints::kDefaultName,
                                     morpheus_sim::SimulatorEndpoints::kDefaultName));
        EXPECT_EQ(B_OK, device->InitCheck());
        ASSERT_NE(nullptr, LbEmuMorpheus::InstrumentMap());
        EXPECT_NE(nullptr, LbEmuMorpheus::FilterMap());
        EXPECT_NE(nullptr, LbEmuMorpheus::EffectMap());
        ASSERT_EQ(4u, device->Banks().size());
        const char* names[] = {"Preset - RAM", "Preset - ROM", "Hyperpreset - RAM", "Midimap - RAM"};
        for (size_t i = 0; i < 4; i++) EXPECT_STREQ(names[i], device->Banks()[i]->Name());

        // The banks work against it: one preset and one midimap, with names and parameters.
        LbDeviceSnapshot snapshot(device);
        LbInt32ListIt five({5});
        ASSERT_EQ(B_OK, snapshot.SnapshotNamed("Preset - ROM")->Request(&five, nullptr));
        LbPatchI* rom = snapshot.SnapshotNamed("Preset - ROM")->PatchAt(5);
        ASSERT_EQ(564u, rom->Data()->Length());
        EXPECT_EQ(std::string("Sim ROM 005 "), rom->Name());
        LbDmwBankInt32It maps(snapshot.SnapshotNamed("Midimap - RAM")->Bank());
        ASSERT_EQ(B_OK, snapshot.SnapshotNamed("Midimap - RAM")->Request(&maps, nullptr));
        EXPECT_EQ(728u, snapshot.SnapshotNamed("Midimap - RAM")->PatchAt(15)->Data()->Length());
        EXPECT_NE(nullptr, device->Banks()[0]->ParamAt(0));
    }
    LbEmuMorpheus::DeleteMaps();
}

} // namespace

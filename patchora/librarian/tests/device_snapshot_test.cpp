#include "app/LbXmlStream.h"
#include "librarian/LbBankSnapshot.h"
#include "librarian/LbDeviceSnapshot.h"
#include "librarian/LbIterators.h"
#include "librarian/tests/toy_device.h"
#include "storage/DataIO.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string Text(BMallocIO& io)
{
    return std::string(static_cast<const char*>(io.Buffer()), io.BufferLength());
}

std::string Write(LbDeviceSnapshot& snapshot, LbPatchIteratorI* patches)
{
    BMallocIO io;
    LbXmlStream stream(&io);
    EXPECT_GT(snapshot.WriteTo(&stream, patches), 0);
    return Text(io);
}

size_t Count(const std::string& text, const std::string& what)
{
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) count++;
    return count;
}

void Fill(LbBankSnapshotI* snapshot, std::initializer_list<uint8> numbers)
{
    for (uint8 n : numbers) {
        LbData block = Block(n, ("n" + std::to_string(n)).c_str());
        snapshot->InstallPatch(n, nullptr, &block);
    }
}

TEST(DeviceSnapshot, NewSnapshotSavesEveryBankEmpty)
{
    Studio studio(0, 127);
    EXPECT_TRUE(studio.deviceSnapshot.HasDevice());
    ASSERT_EQ(2u, studio.deviceSnapshot.Snapshots().size());
    EXPECT_EQ("<LbDevice mfg_id = 7D mod_id = 7D>\n"
              "\t<LbBank name = \"Toy Bank\">\n\t</LbBank>\n"
              "\t<LbBank name = \"Other Bank\">\n\t</LbBank>\n"
              "</LbDevice>\n",
              Write(studio.deviceSnapshot, nullptr));

    LbDeviceSnapshot empty;
    BMallocIO io;
    LbXmlStream stream(&io);
    EXPECT_EQ(B_ERROR, empty.WriteTo(&stream, nullptr));
    EXPECT_EQ(0u, io.BufferLength());
}

TEST(DeviceSnapshot, SelectionsWriteOneBankElementPerRun)
{
    Studio studio(0, 127);
    LbBankSnapshotI* toy = studio.deviceSnapshot.SnapshotNamed("Toy Bank");
    LbBankSnapshotI* other = studio.deviceSnapshot.SnapshotNamed("Other Bank");
    ASSERT_NE(nullptr, toy);
    ASSERT_NE(nullptr, other);
    Fill(toy, {3, 4, 9});
    Fill(other, {1});

    LbPatchListIt oneBank({toy->PatchAt(3), toy->PatchAt(4), toy->PatchAt(9)});
    std::string text = Write(studio.deviceSnapshot, &oneBank);
    EXPECT_EQ(1u, Count(text, "<LbBank "));
    EXPECT_EQ(3u, Count(text, "<LbPatch>"));

    LbPatchListIt twoBanks({toy->PatchAt(3), other->PatchAt(1)});
    text = Write(studio.deviceSnapshot, &twoBanks);
    EXPECT_EQ(2u, Count(text, "<LbBank "));
    EXPECT_EQ(2u, Count(text, "<LbPatch>"));
    EXPECT_NE(std::string::npos, text.find("\"Other Bank\""));
}

TEST(DeviceSnapshot, WholeDocumentsReadBackAndForeignBanksStopPasting)
{
    Studio studio(0, 127);
    Fill(studio.deviceSnapshot.SnapshotNamed("Toy Bank"), {0, 5});
    Fill(studio.deviceSnapshot.SnapshotNamed("Other Bank"), {2});
    BMallocIO io;
    {
        LbXmlStream stream(&io);
        ASSERT_GT(studio.deviceSnapshot.WriteTo(&stream, nullptr), 0);
    }

    LbDeviceSnapshot copy(&studio.device);
    io.Seek(0, SEEK_SET);
    {
        LbXmlStream reader(&io);
        free(reader.ReadNextTag());   // LbDevice
        ASSERT_EQ(B_OK, copy.ReadAllFrom(&reader));
    }
    EXPECT_STREQ("n5", copy.SnapshotNamed("Toy Bank")->PatchAt(5)->Name());
    EXPECT_STREQ("n2", copy.SnapshotNamed("Other Bank")->PatchAt(2)->Name());
    EXPECT_FALSE(copy.IsModified());

    // Pasting into "Other Bank" reads nothing: the document's first bank has another name.
    LbDeviceSnapshot target(&studio.device);
    io.Seek(0, SEEK_SET);
    LbXmlStream reader(&io);
    free(reader.ReadNextTag());
    LbInt32It from(0);
    ASSERT_EQ(B_OK, target.ReadFrom(&reader, "Other Bank", &from));
    for (LbPatchI* patch : target.SnapshotNamed("Other Bank")->Patches()) EXPECT_EQ(0u, patch->Data()->Length());
    EXPECT_EQ(B_ERROR, target.ReadFrom(&reader, "No Such Bank", &from));
}

TEST(RawImport, EveryFramedMessageIsOfferedOnItsOwn)
{
    Studio studio(0, 127);
    const std::vector<uint8> file = {0xF0, 'P', 1, 'a', 0xF7, 0xF0, 'P', 2, 'b', 0xF7,
                                     0x00, 0xF0, 'X', 0xF7,                 // no bank takes it
                                     0xF0, 'P', 3, 'c', 0xF0, 'P', 4, 'd', 0xF7};   // first one cut off
    LbImportCounts counts;
    LbImportSysEx(file.data(), file.size(), &studio.deviceSnapshot, &counts);
    EXPECT_EQ(5, counts.offered);
    EXPECT_EQ(4, counts.taken);
    EXPECT_EQ(0, counts.replaced);
    LbBankSnapshotI* toy = studio.deviceSnapshot.SnapshotNamed("Toy Bank");
    EXPECT_STREQ("a", toy->PatchAt(1)->Name());
    EXPECT_STREQ("b", toy->PatchAt(2)->Name());
    EXPECT_STREQ("c", toy->PatchAt(3)->Name());
    EXPECT_STREQ("d", toy->PatchAt(4)->Name());

    // Content without framing bytes is one block, as it stands.
    const std::vector<uint8> bare = {'P', 7, 'z', 0xF7};
    LbImportSysEx(bare.data(), bare.size(), &studio.deviceSnapshot, &counts);
    EXPECT_EQ(1, counts.offered);
    EXPECT_EQ(1, counts.taken);
    EXPECT_STREQ("z", toy->PatchAt(7)->Name());

    LbImportSysEx(nullptr, 0, &studio.deviceSnapshot, &counts);
    EXPECT_EQ(0, counts.offered);
    const std::vector<uint8> junk = {0xF7, 0xF0, 0xF7, 0xF0};
    LbImportSysEx(junk.data(), junk.size(), &studio.deviceSnapshot, &counts);
    EXPECT_EQ(0, counts.offered);

    // Copies of one patch keep one; the count says how many took another's place.
    std::vector<uint8> copies;
    for (int i = 0; i < 1000; i++) copies.insert(copies.end(), {0xF0, 'P', 9, 'q', 0xF7});
    LbImportSysEx(copies.data(), copies.size(), &studio.deviceSnapshot, &counts);
    EXPECT_EQ(1000, counts.taken);
    EXPECT_EQ(999, counts.replaced);
}

} // namespace

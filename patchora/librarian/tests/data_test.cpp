#include "app/LbXmlStream.h"
#include "librarian/LbBank.h"
#include "librarian/LbStatus.h"
#include "librarian/LbBankPatch.h"
#include "librarian/LbData.h"
#include "params/LbIntCodecs.h"
#include "params/LbParam.h"
#include "storage/DataIO.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string Text(BMallocIO& io)
{
    return std::string(static_cast<const char*>(io.Buffer()), io.BufferLength());
}

std::string Hex(const LbDataI& data)
{
    char* text = data.AsString();
    std::string result = text ? text : "<null>";
    free(text);
    return result;
}

LbData Bytes(std::vector<uint8> bytes)
{
    return LbData(bytes.data(), uint32(bytes.size()));
}

TEST(Data, HexTextIsUpperCaseAndDecodesAnyCase)
{
    LbData data = Bytes({0x18, 0x0C, 0x00, 0xAB, 0xFF});
    EXPECT_EQ("180C00ABFF", Hex(data));
    EXPECT_EQ("<null>", Hex(LbData()));

    LbData back;
    ASSERT_EQ(B_OK, back.FromString("180c00abFf"));
    EXPECT_TRUE(back.Matches(&data));

    // An odd text completes its last byte with 0 as the low digit.
    ASSERT_EQ(B_OK, back.FromString("F01"));
    EXPECT_TRUE(back.Matches(Bytes({0xF0, 0x10}).Bits(), 2));

    // Invalid digits count as 0 (a document reader reports them, see below).
    ASSERT_EQ(B_OK, back.FromString("G1x2"));
    EXPECT_TRUE(back.Matches(Bytes({0x01, 0x02}).Bits(), 2));

    ASSERT_EQ(B_OK, back.FromString(nullptr));
    EXPECT_EQ(0u, back.Length());
    EXPECT_EQ(nullptr, back.Bits());
    ASSERT_EQ(B_OK, back.FromString(""));
    EXPECT_EQ(0u, back.Length());
}

TEST(Data, BlocksCopyAddAndCompareByValue)
{
    LbData request = LbData(0xF0) + LbData(0x18) + LbData(0x0C) + LbData(0xF7);
    EXPECT_EQ("F0180CF7", Hex(request));
    LbData copy = request;
    copy.Bits()[1] = 0x00;
    EXPECT_EQ("F0180CF7", Hex(request));
    EXPECT_FALSE(copy.Matches(&request));

    EXPECT_TRUE(LbData().Matches(nullptr, 0));
    const uint8 prefix[] = {0xF0, 0x18};
    EXPECT_FALSE(request.Matches(prefix, 2));

    // Appending a block's own bytes to itself is safe.
    ASSERT_EQ(B_OK, copy.Append(copy.Bits(), copy.Length()));
    EXPECT_EQ("F0000CF7F0000CF7", Hex(copy));
    ASSERT_EQ(B_OK, copy.SetTo(uint8(0x42)));
    EXPECT_EQ("42", Hex(copy));
}

TEST(Data, ElementsWriteAndReadBack)
{
    BMallocIO io;
    {
        LbXmlStream stream(&io);
        LbData data = Bytes({0x18, 0x0C, 0x00});
        ssize_t written = data.WriteTo(&stream, "data");
        EXPECT_EQ(ssize_t(std::string("<data>180C00</data>\n").size()), written);
        LbData empty;
        EXPECT_GT(empty.WriteTo(&stream, "data"), 0);
    }
    EXPECT_EQ("<data>180C00</data>\n<data></data>\n", Text(io));

    io.Seek(0, SEEK_SET);
    LbXmlStream reader(&io);
    LbData first, second, third = Bytes({1});
    char* tag = reader.ReadNextTag();
    ASSERT_STREQ("data", tag);
    free(tag);
    ASSERT_EQ(B_OK, first.ReadFrom(&reader, "data"));
    EXPECT_EQ("180C00", Hex(first));
    // The rest of the end tag is passed over while looking for the next tag.
    tag = reader.ReadNextTag();
    ASSERT_STREQ("data", tag);
    free(tag);
    ASSERT_EQ(B_OK, second.ReadFrom(&reader, "data"));
    EXPECT_EQ(0u, second.Length());
    // A document that ends inside the content gives nothing, the block is empty, and the
    // stream keeps what was wrong and where.
    EXPECT_EQ(B_BAD_DATA, third.ReadFrom(&reader, "data"));
    EXPECT_EQ(0u, third.Length());
    ASSERT_EQ(1u, reader.Problems().size());
    EXPECT_EQ(2, reader.Problems()[0].line);
    EXPECT_EQ("data", reader.Problems()[0].element);
    EXPECT_EQ("no </data> ends its text", reader.Problems()[0].what);

    // Digits that are no hex digits, or an odd count of them, are read as 0 and reported.
    for (const char* text : {"<data>18G1</data>", "<data>180</data>"}) {
        BMemoryIO bad(text, strlen(text));
        LbXmlStream badReader(&bad);
        free(badReader.ReadNextTag());
        LbData read;
        EXPECT_EQ(B_BAD_DATA, read.ReadFrom(&badReader, "data")) << text;
        EXPECT_EQ(2u, read.Length()) << text;
        ASSERT_EQ(1u, badReader.Problems().size()) << text;
        EXPECT_EQ(1, badReader.Problems()[0].line);
    }
}

TEST(Patches, DocumentFormHoldsOnlyTheData)
{
    LbData data = Bytes({0x18, 0x0C, 0x00});
    LbBankPatch patch("Grand Piano", 5, &data, nullptr);
    BMallocIO io;
    {
        LbXmlStream stream(&io);
        EXPECT_EQ(ssize_t(std::string("<LbPatch>\n\t<data>180C00</data>\n</LbPatch>\n").size()),
                  patch.WriteTo(&stream));
    }
    EXPECT_EQ("<LbPatch>\n\t<data>180C00</data>\n</LbPatch>\n", Text(io));

    io.Seek(0, SEEK_SET);
    LbXmlStream reader(&io);
    char* tag = reader.ReadNextTag();
    ASSERT_STREQ("LbPatch", tag);
    free(tag);
    LbBankPatch back;
    EXPECT_EQ(B_OK, back.ReadFrom(&reader));
    EXPECT_TRUE(back.Data()->Matches(&data));
    EXPECT_EQ(nullptr, back.Name());   // derived from the bytes by the bank, not stored
    EXPECT_EQ(-1, back.Number());
    EXPECT_EQ(nullptr, reader.ReadNextTag());

    std::unique_ptr<LbPatchI> copy(patch.Copy());
    EXPECT_STREQ("Grand Piano", copy->Name());
    EXPECT_EQ(5, copy->Number());
    EXPECT_NE(patch.Data()->Bits(), copy->Data()->Bits());
    EXPECT_TRUE(copy->Data()->Matches(&data));
}

TEST(Patches, PatchOutsideASnapshotCannotBeMadeActive)
{
    LbData data = Bytes({0x18});
    LbBankPatch patch("Lonely", 1, &data, nullptr);
    EXPECT_EQ(B_ERROR, patch.MakeActive());
}

class PlainBank : public LbBank {
public:
    using LbBank::LbBank;
    bool IsReadOnly() const override { return false; }
    status_t RequestData(int32, LbDataReceiverI*) const override { return B_ERROR; }
    bool ReceiveData(const uint8*, uint32, LbBankSnapshotI*) const override { return false; }
    status_t SetNumber(LbDataI*, int32) const override { return B_ERROR; }
};

TEST(Banks, NamesDecideCompatibilityAndParametersAreIndexed)
{
    PlainBank ram("Preset - RAM", nullptr, 0, 127);
    PlainBank same("Preset - RAM", nullptr, 0, 127);
    PlainBank rom("Preset - ROM", nullptr, 0, 127);
    PlainBank lower("preset - ram", nullptr, 0, 127);
    PlainBank unnamed(nullptr, nullptr, 0, 127);
    PlainBank unnamedToo(nullptr, nullptr, 0, 127);
    EXPECT_TRUE(ram.IsCompatible(&same));
    EXPECT_FALSE(ram.IsCompatible(&rom));
    EXPECT_FALSE(ram.IsCompatible(&lower));
    EXPECT_FALSE(ram.IsCompatible(&unnamed));
    EXPECT_FALSE(unnamed.IsCompatible(&unnamedToo));

    EXPECT_TRUE(ram.AddParam(new LbIntParam("Volume", new Lb14BitIntCodec2, 20, 20, 21, 0, 127)));
    EXPECT_FALSE(ram.AddParam(nullptr));
    EXPECT_NE(nullptr, ram.ParamAt(0));
    EXPECT_EQ(nullptr, ram.ParamAt(-1));
    EXPECT_EQ(nullptr, ram.ParamAt(1));
    ram.DeleteParams();
    EXPECT_EQ(nullptr, ram.ParamAt(0));

    QWidget* window = reinterpret_cast<QWidget*>(1);
    EXPECT_EQ(LB_UNSUPPORTED, ram.NewEditWindow(&window));
    EXPECT_EQ(nullptr, window);
    ram.SetName(nullptr);
    EXPECT_EQ(nullptr, ram.Name());
}

} // namespace

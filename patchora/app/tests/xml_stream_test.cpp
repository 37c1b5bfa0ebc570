#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/LbXmlStream.h"
#include "librarian/LbStatusWormholeI.h"
#include "storage/DataIO.h"
#include "storage/File.h"

namespace {

struct FreeText {
    void operator()(char* p) const { free(p); }
};
using Text = std::unique_ptr<char, FreeText>;

std::string Contents(const BMallocIO& io)
{
    return std::string(static_cast<const char*>(io.Buffer()), io.BufferLength());
}

BMallocIO* Document(const std::string& text)
{
    auto* io = new BMallocIO;
    io->Write(text.data(), text.size());
    io->Seek(0, SEEK_SET);
    return io;
}

std::string Next(LbXmlStream& stream)
{
    Text tag(stream.ReadNextTag());
    return tag ? tag.get() : "(null)";
}

// Reads one tag with its attributes as "name k=v k=v".
std::string NextWithAttributes(LbXmlStream& stream)
{
    LbXmlStreamI::StringList keys, values;
    Text tag(stream.ReadNextTag(&keys, &values));
    std::string result = tag ? tag.get() : "(null)";
    EXPECT_EQ(keys.size(), values.size());
    for (size_t i = 0; i < keys.size(); i++)
        result += std::string(" ") + keys[i] + "=" + values[i];
    LbFreeStrings(keys);
    LbFreeStrings(values);
    return result;
}

void WriteBank(LbXmlStream& out, const char* bankName, const std::vector<std::string>& hex)
{
    LbXmlStreamI::ConstStringList keys{"name"}, values{bankName};
    ASSERT_GT(out.WriteStartTag("LbBank", &keys, &values), 0);
    ASSERT_GT(out.WriteCR(), 0);
    out.PushTab();
    for (const std::string& data : hex) {
        ASSERT_GT(out.WriteStartTag("LbPatch"), 0);
        ASSERT_GT(out.WriteCR(), 0);
        out.PushTab();
        ASSERT_GT(out.WriteStartTag("data"), 0);
        ASSERT_GT(out.Write(data.data(), data.size()), 0);
        ASSERT_GT(out.WriteEndTag("data"), 0);
        out.PopTab();
        ASSERT_GT(out.WriteTabs(), 0);
        ASSERT_GT(out.WriteEndTag("LbPatch"), 0);
    }
    out.PopTab();
    out.WriteTabs();
    ASSERT_GT(out.WriteEndTag("LbBank"), 0);
}

class RecordingWormhole : public LbStatusWormholeI {
public:
    void BeginStatus(const char*) override {}
    void EndStatus(const char*) override {}
    void BeginProgress(float) override {}
    float ProgressMax() override { return 0; }
    void MoveProgressBy(float) override {}
    void MoveProgressTo(float value) override { positions.push_back(value); }
    void EndProgress() override {}
    std::vector<float> positions;
};

}  // namespace

TEST(XmlStream, WritesABankOfOnePatchByteForByteAndReadsItBack)
{
    BMallocIO io;
    LbXmlStream out(&io);
    WriteBank(out, "Preset - RAM", {"F0180C00F7"});
    EXPECT_EQ(Contents(io),
              "<LbBank name = \"Preset - RAM\">\n"
              "\t<LbPatch>\n"
              "\t\t<data>F0180C00F7</data>\n"
              "\t</LbPatch>\n"
              "</LbBank>\n");
    EXPECT_EQ(out.Version(), 19991013);

    io.Seek(0, SEEK_SET);
    LbXmlStream in(&io);
    EXPECT_EQ(NextWithAttributes(in), "LbBank name=Preset - RAM");
    EXPECT_EQ(Next(in), "LbPatch");
    EXPECT_EQ(Next(in), "data");
    Text hex(in.ReadStrToTag("data"));
    ASSERT_TRUE(hex);
    EXPECT_STREQ(hex.get(), "F0180C00F7");
    // The byte stream stands just after the '<' of the end tag.
    EXPECT_EQ(io.Position(), static_cast<off_t>(Contents(io).find("</data>") + 1));
    EXPECT_EQ(Next(in), "/LbPatch");
    EXPECT_EQ(Next(in), "/LbBank");
    EXPECT_EQ(io.Position(), static_cast<off_t>(Contents(io).size() - 1));  // after '>'
    EXPECT_EQ(Next(in), "(null)");
    EXPECT_EQ(Next(in), "(null)");
}

TEST(XmlStream, AttributesQuotingAndListRules)
{
    BMallocIO io;
    LbXmlStream out(&io);
    LbXmlStreamI::ConstStringList keys{"id", "port", "none", "empty", "name"};
    LbXmlStreamI::ConstStringList values{"5", "midi/in-1", nullptr, "", "a\tb\rc"};
    out.WriteStartTag("Device", &keys, &values);
    LbXmlStreamI::ConstStringList shortValues{"1"};
    out.WriteStartTag("Uneven", &keys, &shortValues);  // lengths differ: no attributes
    out.WriteStartTag("Half", &keys, nullptr);
    EXPECT_EQ(Contents(io),
              "<Device id = 5 port = midi/in-1 name = \"a\tb\rc\">"
              "<Uneven><Half>");

    io.Seek(0, SEEK_SET);
    LbXmlStream in(&io);
    // The key without a value is left out; the quoted value comes back without quotes.
    EXPECT_EQ(NextWithAttributes(in), "Device id=5 port=midi/in-1 name=a\tb\rc");
    EXPECT_EQ(NextWithAttributes(in), "Uneven");
    EXPECT_EQ(NextWithAttributes(in), "Half");

    // Reading without both lists gives the name only; a line feed belongs to its token;
    // stray text between tags is ignored; "key=value" without blanks is one key.
    BMallocIO* doc = Document("junk\n\t words <Tag a = 1>more junk<Multi\nLine k = v\nw>"
                              "<Glued a=b x = \"open ended>< Lead>");
    LbXmlStream reader(doc);
    LbXmlStreamI::StringList keys2;
    Text tag(reader.ReadNextTag(&keys2, nullptr));
    EXPECT_STREQ(tag.get(), "Tag");
    EXPECT_TRUE(keys2.empty());
    EXPECT_EQ(NextWithAttributes(reader), "Multi\nLine k=v\nw");
    EXPECT_EQ(NextWithAttributes(reader), "Glued a=b=x ==open ended");
    EXPECT_EQ(NextWithAttributes(reader), "");  // whitespace first: an empty name
    EXPECT_EQ(NextWithAttributes(reader), "(null)");
    delete doc;
}

TEST(XmlStream, IndentationNeverGoesBelowZero)
{
    BMallocIO io;
    LbXmlStream out(&io);
    out.PopTab();
    EXPECT_EQ(out.Depth(), 0);
    EXPECT_EQ(out.WriteTabs(), 0);  // nothing to write at depth 0
    out.PushTab();
    out.PushTab();
    out.PopTab();
    EXPECT_EQ(out.WriteTabs(), 1);
    EXPECT_EQ(out.WriteSpace(), 1);
    EXPECT_EQ(out.WriteChar('x'), 1);
    EXPECT_EQ(out.WriteCR(), 1);
    EXPECT_EQ(out.WriteEndTag("T"), 5);
    EXPECT_EQ(Contents(io), "\t x\n</T>\n");
}

TEST(XmlStream, TextThatWouldNotReadBackIsReplacedInNamesKeysAndValues)
{
    BMallocIO io;
    LbXmlStream out(&io);
    LbXmlStreamI::ConstStringList keys{"odd key", "k<1>"};
    LbXmlStreamI::ConstStringList values{"say \"hi\" <now>", "x>y"};
    out.WriteStartTag("My <Bank>", &keys, &values);
    out.Write("raw <b>", 7);  // content is the caller's business
    out.WriteEndTag("My <Bank>");
    EXPECT_EQ(Contents(io),
              "<My_(Bank) odd_key = \"say 'hi' (now)\" k(1) = x)y>raw <b></My_(Bank)>\n");

    io.Seek(0, SEEK_SET);
    LbXmlStream in(&io);
    EXPECT_EQ(NextWithAttributes(in), "My_(Bank) odd_key=say 'hi' (now) k(1)=x)y");
    Text content(in.ReadStrToTag("My_(Bank)"));
    EXPECT_STREQ(content.get(), "raw <b>");
    EXPECT_EQ(Next(in), "(null)");  // the end tag that closed the text is passed over
}

TEST(XmlStream, TruncatedOversizedAndGarbageInputGivesNull)
{
    {
        std::unique_ptr<BMallocIO> doc(Document("<Open a = 1"));
        LbXmlStream in(doc.get());
        EXPECT_EQ(Next(in), "(null)");
    }
    {
        // Ends inside element content: null, and again null, without looping.
        std::unique_ptr<BMallocIO> doc(Document("<data>0F1E2D</dat"));
        LbXmlStream in(doc.get());
        EXPECT_EQ(Next(in), "data");
        EXPECT_EQ(in.ReadStrToTag("data"), nullptr);
        EXPECT_EQ(in.ReadStrToTag("data"), nullptr);
        EXPECT_EQ(Next(in), "(null)");
        EXPECT_EQ(in.ReadStrToTag(nullptr), nullptr);
    }
    {
        std::string text = "<data>" + std::string(5000, 'A') + "</data><next>";
        std::unique_ptr<BMallocIO> doc(Document(text));
        LbXmlStream in(doc.get());
        in.SetMaxTextLength(1000);
        EXPECT_EQ(Next(in), "data");
        EXPECT_EQ(in.ReadStrToTag("data"), nullptr);
        // Exactly at the limit is still fine.
        std::unique_ptr<BMallocIO> fits(Document("<d>" + std::string(1000, 'B') + "</d>"));
        LbXmlStream in2(fits.get());
        in2.SetMaxTextLength(1000);
        EXPECT_EQ(Next(in2), "d");
        Text body(in2.ReadStrToTag("d"));
        ASSERT_TRUE(body);
        EXPECT_EQ(strlen(body.get()), 1000u);
    }
    {
        // A tag that never closes within the tag limit.
        std::string text = "<" + std::string(LbXmlStream::kMaxTagLength + 10, 'n') + ">";
        std::unique_ptr<BMallocIO> doc(Document(text));
        LbXmlStream in(doc.get());
        EXPECT_EQ(Next(in), "(null)");
    }
    {
        BMallocIO empty;
        LbXmlStream in(&empty);
        EXPECT_EQ(Next(in), "(null)");
        EXPECT_EQ(in.ReadStrToTag("x"), nullptr);
    }
    // Random bytes, and a real document cut at every length: reading ends with null
    // and never takes more steps than there are bytes.
    std::mt19937 random(1234);
    std::string sample =
        "<LbBank name = \"Preset - RAM\">\n\t<LbPatch number = 3>\n\t\t<data>F01800F7</data>\n"
        "\t</LbPatch>\n</LbBank>\n";
    std::vector<std::string> inputs;
    for (size_t cut = 0; cut <= sample.size(); cut++)
        inputs.push_back(sample.substr(0, cut));
    for (int i = 0; i < 200; i++) {
        std::string garbage(random() % 300, '\0');
        for (char& c : garbage)
            c = "<>/= \"\t\r\nab"[random() % 12];
        inputs.push_back(garbage);
    }
    for (const std::string& input : inputs) {
        std::unique_ptr<BMallocIO> doc(Document(input));
        LbXmlStream in(doc.get());
        size_t steps = 0;
        for (;;) {
            LbXmlStreamI::StringList keys, values;
            Text tag(in.ReadNextTag(&keys, &values));
            LbFreeStrings(keys);
            LbFreeStrings(values);
            if (!tag)
                break;
            Text body(in.ReadStrToTag(tag.get()));
            ASSERT_LE(++steps, input.size()) << input;
        }
    }
}

TEST(XmlStream, ReadsLargeDocumentsFromFilesAcrossBufferBoundaries)
{
    char path[] = "/tmp/xml-stream-test-XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    close(fd);
    struct RemoveAtEnd {
        const char* path;
        ~RemoveAtEnd() { unlink(path); }
    } removeAtEnd{path};
    std::vector<std::string> patches;
    for (int i = 0; i < 300; i++) {
        std::string hex;
        for (int j = 0; j < 397 + i; j++)  // lengths that shift the markers across chunks
            hex += "0123456789ABCDEF"[(i * 7 + j) % 16];
        patches.push_back(hex);
    }
    {
        BFile file(path, B_WRITE_ONLY | B_ERASE_FILE);
        LbXmlStream out(&file);
        WriteBank(out, "Big Bank", patches);
    }
    BFile file(path, B_READ_ONLY);
    off_t size = 0;
    file.GetSize(&size);
    ASSERT_GT(size, 65536 * 2);
    LbXmlStream in(&file);
    RecordingWormhole status;
    in.SetStatusWormhole(&status);
    EXPECT_EQ(NextWithAttributes(in), "LbBank name=Big Bank");
    for (const std::string& hex : patches) {
        ASSERT_EQ(Next(in), "LbPatch");
        ASSERT_EQ(Next(in), "data");
        Text data(in.ReadStrToTag("data"));
        ASSERT_TRUE(data);
        ASSERT_EQ(hex, data.get());
        ASSERT_EQ(Next(in), "/LbPatch");
    }
    EXPECT_EQ(Next(in), "/LbBank");
    EXPECT_EQ(Next(in), "(null)");
    ASSERT_EQ(status.positions.size(), 1 + 3 * patches.size() + 1);
    EXPECT_EQ(status.positions[0], static_cast<float>(strlen("<LbBank name = \"Big Bank\">")));
    EXPECT_EQ(status.positions.back(), static_cast<float>(size - 1));

    // The caller may move the byte stream between reads: reading goes on from there.
    file.Seek(0, SEEK_SET);
    EXPECT_EQ(Next(in), "LbBank");
}

TEST(XmlStream, FailedAndShortWritesAreReported)
{
    char room[10];
    BMemoryIO small(static_cast<void*>(room), sizeof room);
    LbXmlStream out(&small);
    LbXmlStreamI::ConstStringList keys{"name"}, values{"long enough"};
    EXPECT_EQ(out.WriteStartTag("LbBank", &keys, &values), B_IO_ERROR);  // only 10 fit
    EXPECT_EQ(out.WriteEndTag("LbBank"), B_DEVICE_FULL);
    EXPECT_EQ(out.WriteCR(), B_DEVICE_FULL);

    const char text[] = "<a>";
    BMemoryIO readOnly(static_cast<const void*>(text), 3);
    LbXmlStream both(&readOnly);
    EXPECT_EQ(Next(both), "a");
    EXPECT_EQ(both.WriteChar('x'), B_NOT_ALLOWED);
}

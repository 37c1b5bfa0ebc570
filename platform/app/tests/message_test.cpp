#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "../MessageFormat.h"
#include "app/Message.h"
#include "kernel/EntryRef.h"
#include "kernel/Geometry.h"

namespace {

std::vector<char> Flat(const BMessage& m)
{
	std::vector<char> out(size_t(m.FlattenedSize()));
	EXPECT_EQ(m.Flatten(out.data(), ssize_t(out.size())), B_OK);
	return out;
}

void PutU32(std::vector<char>& b, size_t at, uint32 v)
{
	for (int i = 0; i < 4; i++)
		b[at + size_t(i)] = char(v >> (8 * i));
}

// Makes size and checksum right again after an edit, so that the parser itself is tested.
void Reseal(std::vector<char>& b)
{
	if (b.size() < message_format::kHeaderSize + 4)
		return;
	PutU32(b, 8, uint32(b.size()));
	uint32 crc = message_format::Crc32(reinterpret_cast<const uint8*>(b.data()), b.size() - 4);
	PutU32(b, b.size() - 4, crc);
}

// A message 'wrap' with one nested-message field "m" holding the given bytes.
std::vector<char> WrapFlat(const std::vector<char>& inner)
{
	std::vector<char> b = {'P', 'M', 's', 'g', 1, 0, 0, 0, 0, 0, 0, 0, 'p', 'a', 'r', 'w', 1, 0, 0, 0,
		'G', 'G', 'S', 'M', 0, 1, 'm', 1, 0, 0, 0, 0, 0, 0, 0};
	PutU32(b, b.size() - 4, uint32(inner.size()));
	b.insert(b.end(), inner.begin(), inner.end());
	b.resize(b.size() + 4);
	Reseal(b);
	return b;
}

BMessage Sample()
{
	BMessage m('smpl');
	m.AddInt8("i8", -8);
	m.AddInt16("i16", -1600);
	m.AddInt32("i32", -320000);
	m.AddInt32("i32", 7);
	m.AddInt64("i64", -(int64(1) << 40));
	m.AddUInt8("u8", 200);
	m.AddUInt16("u16", 60000);
	m.AddUInt32("u32", 4000000000u);
	m.AddUInt64("u64", ~uint64(0));
	m.AddBool("flag", true);
	m.AddFloat("f", 1.5f);
	m.AddDouble("d", -2.25);
	m.AddString("s", "hello");
	m.AddString("s", "");
	m.AddPointer("p", &m);
	m.AddPoint("pt", BPoint(3, 4));
	m.AddRect("frame", BRect(100, 100, 500, 400));
	entry_ref ref("/home/user/Documents/bank.syx");
	m.AddRef("refs", &ref);
	rgb_color c = {10, 20, 30, 255};
	m.AddData("rgbColor", B_RGB_COLOR_TYPE, &c, sizeof c);
	m.AddData("blob", 'BLOB', "\x01\x02\x03", 3, false);
	m.AddData("blob", 'BLOB', "\x04", 1, false);
	BMessage inner('innr');
	inner.AddString("name", "nested");
	m.AddMessage("inner", &inner);
	return m;
}

void ExpectSample(const BMessage& m)
{
	EXPECT_EQ(m.what, uint32('smpl'));
	int8 i8; int16 i16; int32 i32; int64 i64;
	uint8 u8; uint16 u16; uint32 u32; uint64 u64;
	bool flag; float f; double d; const char* s;
	ASSERT_EQ(m.FindInt8("i8", &i8), B_OK);
	EXPECT_EQ(i8, -8);
	ASSERT_EQ(m.FindInt16("i16", &i16), B_OK);
	EXPECT_EQ(i16, -1600);
	ASSERT_EQ(m.FindInt32("i32", 1, &i32), B_OK);
	EXPECT_EQ(i32, 7);
	ASSERT_EQ(m.FindInt64("i64", &i64), B_OK);
	EXPECT_EQ(i64, -(int64(1) << 40));
	ASSERT_EQ(m.FindUInt8("u8", &u8), B_OK);
	EXPECT_EQ(u8, 200);
	ASSERT_EQ(m.FindUInt16("u16", &u16), B_OK);
	EXPECT_EQ(u16, 60000);
	ASSERT_EQ(m.FindUInt32("u32", &u32), B_OK);
	EXPECT_EQ(u32, 4000000000u);
	ASSERT_EQ(m.FindUInt64("u64", &u64), B_OK);
	EXPECT_EQ(u64, ~uint64(0));
	ASSERT_EQ(m.FindBool("flag", &flag), B_OK);
	EXPECT_TRUE(flag);
	ASSERT_EQ(m.FindFloat("f", &f), B_OK);
	EXPECT_EQ(f, 1.5f);
	ASSERT_EQ(m.FindDouble("d", &d), B_OK);
	EXPECT_EQ(d, -2.25);
	ASSERT_EQ(m.FindString("s", &s), B_OK);
	EXPECT_STREQ(s, "hello");
	ASSERT_EQ(m.FindString("s", 1, &s), B_OK);
	EXPECT_STREQ(s, "");
	BPoint pt;
	ASSERT_EQ(m.FindPoint("pt", &pt), B_OK);
	EXPECT_EQ(pt, BPoint(3, 4));
	BRect frame;
	ASSERT_EQ(m.FindRect("frame", &frame), B_OK);
	EXPECT_EQ(frame, BRect(100, 100, 500, 400));
	entry_ref ref;
	ASSERT_EQ(m.FindRef("refs", &ref), B_OK);
	EXPECT_EQ(ref.path, "/home/user/Documents/bank.syx");
	const void* data;
	ssize_t size;
	ASSERT_EQ(m.FindData("rgbColor", B_RGB_COLOR_TYPE, &data, &size), B_OK);
	ASSERT_EQ(size, 4);
	EXPECT_EQ(std::memcmp(data, "\x0a\x14\x1e\xff", 4), 0);
	ASSERT_EQ(m.FindData("blob", 'BLOB', 1, &data, &size), B_OK);
	EXPECT_EQ(size, 1);
	EXPECT_EQ(*static_cast<const char*>(data), 4);
	BMessage inner;
	ASSERT_EQ(m.FindMessage("inner", &inner), B_OK);
	EXPECT_EQ(inner.what, uint32('innr'));
	ASSERT_EQ(inner.FindString("name", &s), B_OK);
	EXPECT_STREQ(s, "nested");
}

}  // namespace

TEST(Message, TypedFieldsAddFindAndErrors)
{
	BMessage m = Sample();
	ExpectSample(m);
	void* p = nullptr;
	ASSERT_EQ(m.FindPointer("p", &p), B_OK);
	EXPECT_EQ(p, &m);
	BMessage* typed = nullptr;
	ASSERT_EQ(m.FindPointer("p", &typed), B_OK);
	EXPECT_EQ(typed, &m);

	int32 v;
	EXPECT_EQ(m.FindInt32("missing", &v), B_NAME_NOT_FOUND);
	EXPECT_EQ(m.FindInt32("s", &v), B_BAD_TYPE);
	EXPECT_EQ(m.FindInt32("i32", 2, &v), B_BAD_INDEX);
	EXPECT_EQ(m.FindInt32("i32", -1, &v), B_BAD_INDEX);
	EXPECT_EQ(m.AddString("i32", "text"), B_BAD_TYPE);
	EXPECT_EQ(m.AddInt32(nullptr, 1), B_BAD_VALUE);
	EXPECT_EQ(m.AddInt32("", 1), B_BAD_VALUE);
	EXPECT_EQ(m.AddInt32(std::string(256, 'x').c_str(), 1), B_BAD_VALUE);
	EXPECT_EQ(m.AddInt32(std::string(255, 'x').c_str(), 1), B_OK);
	EXPECT_EQ(m.AddString("s", nullptr), B_BAD_VALUE);
	EXPECT_EQ(m.AddData("i32", B_INT32_TYPE, "ab", 2), B_BAD_VALUE);
	EXPECT_EQ(m.AddData("strs", B_STRING_TYPE, "no nul", 6), B_BAD_VALUE);
	EXPECT_EQ(m.AddData("any", B_ANY_TYPE, "x", 1), B_BAD_TYPE);
	EXPECT_EQ(m.AddData("fixed", 'FIXD', "ab", 2, true), B_OK);
	EXPECT_EQ(m.AddData("fixed", 'FIXD', "abc", 3, true), B_BAD_VALUE);

	type_code type;
	int32 count;
	ASSERT_EQ(m.GetInfo("i32", &type, &count), B_OK);
	EXPECT_EQ(type, uint32(B_INT32_TYPE));
	EXPECT_EQ(count, 2);
	EXPECT_EQ(m.CountNames(B_STRING_TYPE), 1);
	const char* name;
	ASSERT_EQ(m.GetInfo(B_INT32_TYPE, 1, &name, &type, &count), B_OK);
	EXPECT_EQ(std::string(name), std::string(255, 'x'));
	EXPECT_EQ(m.GetInfo(B_INT32_TYPE, 2, &name, &type), B_BAD_INDEX);
	EXPECT_EQ(m.GetInfo(B_MESSENGER_TYPE, 0, &name, &type), B_BAD_TYPE);
	ASSERT_EQ(m.GetInfo(B_ANY_TYPE, 0, &name, &type), B_OK);
	EXPECT_STREQ(name, "i8");

	EXPECT_TRUE(m.HasString("s", 1));
	EXPECT_FALSE(m.HasString("s", 2));
	EXPECT_FALSE(m.HasInt32("s"));
	EXPECT_FALSE(m.IsEmpty());
	m.MakeEmpty();
	EXPECT_TRUE(m.IsEmpty());
}

TEST(Message, ReplaceAndRemoveKeepOtherItems)
{
	BMessage m;
	m.AddString("s", "one");
	m.AddString("s", "two");
	m.AddString("s", "three");
	ASSERT_EQ(m.ReplaceString("s", 1, "a much longer second item"), B_OK);
	ASSERT_EQ(m.ReplaceString("s", 0, "1"), B_OK);
	const char* s;
	m.FindString("s", 0, &s);
	EXPECT_STREQ(s, "1");
	m.FindString("s", 1, &s);
	EXPECT_STREQ(s, "a much longer second item");
	m.FindString("s", 2, &s);
	EXPECT_STREQ(s, "three");
	EXPECT_EQ(m.ReplaceString("s", 3, "x"), B_BAD_INDEX);
	EXPECT_EQ(m.ReplaceInt32("s", 5), B_BAD_TYPE);
	EXPECT_EQ(m.ReplaceInt32("none", 5), B_NAME_NOT_FOUND);

	ASSERT_EQ(m.RemoveData("s", 1), B_OK);
	m.FindString("s", 1, &s);
	EXPECT_STREQ(s, "three");
	int32 count;
	type_code type;
	m.GetInfo("s", &type, &count);
	EXPECT_EQ(count, 2);
	EXPECT_EQ(m.RemoveData("s", 5), B_BAD_INDEX);
	ASSERT_EQ(m.RemoveName("s"), B_OK);
	EXPECT_EQ(m.RemoveName("s"), B_NAME_NOT_FOUND);

	m.AddInt32("n", 1);
	m.AddInt32("n", 2);
	ASSERT_EQ(m.ReplaceInt32("n", 1, 20), B_OK);
	int32 v;
	m.FindInt32("n", 1, &v);
	EXPECT_EQ(v, 20);
	m.AddBool("b", false);
	ASSERT_EQ(m.ReplaceBool("b", true), B_OK);
	bool b = false;
	m.FindBool("b", &b);
	EXPECT_TRUE(b);

	BMessage inner('in1');
	m.AddMessage("msg", &inner);
	inner.what = 'in2';
	inner.AddInt32("deep", 3);
	ASSERT_EQ(m.ReplaceMessage("msg", &inner), B_OK);
	BMessage back;
	ASSERT_EQ(m.FindMessage("msg", &back), B_OK);
	EXPECT_EQ(back.what, uint32('in2'));
	EXPECT_TRUE(back.HasInt32("deep"));

	// Copies are independent.
	BMessage copy(m);
	copy.ReplaceInt32("n", 0, 99);
	m.FindInt32("n", 0, &v);
	EXPECT_EQ(v, 1);
}

TEST(Message, FlattenRoundTripAndLayout)
{
	BMessage m = Sample();
	std::vector<char> flat = Flat(m);
	BMessage back;
	ASSERT_EQ(back.Unflatten(flat.data(), ssize_t(flat.size())), B_OK);
	ExpectSample(back);
	EXPECT_EQ(Flat(back), flat);
	EXPECT_EQ(m.Flatten(flat.data(), ssize_t(flat.size()) - 1), B_BAD_VALUE);

	// The layout written out by hand: one int32 field "x" = 5 in a message 'abcd'.
	BMessage small('abcd');
	small.AddInt32("x", 5);
	std::vector<char> expected = {'P', 'M', 's', 'g', 1, 0, 0, 0,
		0, 0, 0, 0,                        // total size, filled in below
		'd', 'c', 'b', 'a',                // what, little-endian
		1, 0, 0, 0,                        // one field
		'G', 'N', 'O', 'L', 1, 1, 'x',     // type 'LONG', fixed, name "x"
		1, 0, 0, 0, 4, 0, 0, 0,            // one item of 4 bytes
		5, 0, 0, 0,
		0, 0, 0, 0};                       // checksum, filled in below
	Reseal(expected);
	EXPECT_EQ(Flat(small), expected);

	// The checksum is the standard CRC-32.
	EXPECT_EQ(message_format::Crc32(reinterpret_cast<const uint8*>("123456789"), 9), 0xCBF43926u);
}

TEST(Message, UnflattenRejectsTruncatedAndCorruptInput)
{
	BMessage m = Sample();
	std::vector<char> flat = Flat(m);
	BMessage target('keep');
	target.AddInt32("kept", 1);
	auto unchanged = [&] {
		return target.what == uint32('keep') && target.HasInt32("kept") && target.CountNames(B_ANY_TYPE) == 1;
	};
	for (size_t n = 0; n < flat.size(); n++) {
		ASSERT_EQ(target.Unflatten(flat.data(), ssize_t(n)), B_BAD_DATA) << "prefix " << n;
		ASSERT_TRUE(unchanged());
	}
	for (size_t i = 0; i < flat.size(); i++) {
		std::vector<char> bad = flat;
		bad[i] ^= 0x40;
		ASSERT_NE(target.Unflatten(bad.data(), ssize_t(bad.size())), B_OK) << "byte " << i;
		ASSERT_TRUE(unchanged());
	}
	std::vector<char> longer = flat;
	longer.push_back(0);
	EXPECT_EQ(target.Unflatten(longer.data(), ssize_t(longer.size())), B_BAD_DATA);
	EXPECT_EQ(target.Unflatten(nullptr, 10), B_BAD_VALUE);
	EXPECT_EQ(target.Unflatten(flat.data(), -1), B_BAD_VALUE);
	EXPECT_TRUE(unchanged());
}

TEST(Message, UnflattenRejectsWellSealedNonsense)
{
	BMessage small('abcd');
	small.AddInt32("x", 5);
	const std::vector<char> base = Flat(small);
	BMessage target;
	auto tryEdit = [&](auto edit) {
		std::vector<char> b = base;
		edit(b);
		Reseal(b);
		return target.Unflatten(b.data(), ssize_t(b.size()));
	};
	// Offsets in base: field count 16, type 20, flags 24, name length 25, name 26,
	// item count 27, item size 31, item 35.
	EXPECT_EQ(tryEdit([](auto& b) { b[4] = 2; }), B_NOT_ALLOWED);                 // version
	EXPECT_EQ(tryEdit([](auto& b) { PutU32(b, 16, 0xFFFFFFFF); }), B_BAD_DATA);   // field count
	EXPECT_EQ(tryEdit([](auto& b) { PutU32(b, 16, 2); }), B_BAD_DATA);
	EXPECT_EQ(tryEdit([](auto& b) { PutU32(b, 16, 0); }), B_BAD_DATA);            // leftover bytes
	EXPECT_EQ(tryEdit([](auto& b) { b[25] = 0; }), B_BAD_DATA);                   // empty name
	EXPECT_EQ(tryEdit([](auto& b) { b[25] = char(200); }), B_BAD_DATA);           // name past the end
	EXPECT_EQ(tryEdit([](auto& b) { b[26] = 0; }), B_BAD_DATA);                   // NUL in name
	EXPECT_EQ(tryEdit([](auto& b) { PutU32(b, 27, 0); }), B_BAD_DATA);            // no items
	EXPECT_EQ(tryEdit([](auto& b) { PutU32(b, 27, 0x40000000); }), B_BAD_DATA);   // items past the end
	EXPECT_EQ(tryEdit([](auto& b) { PutU32(b, 31, 2); }), B_BAD_DATA);            // int32 of 2 bytes
	EXPECT_EQ(tryEdit([](auto& b) { b[24] = 0; }), B_BAD_DATA);                   // int32 not fixed
	EXPECT_EQ(tryEdit([](auto& b) { b[24] = 3; }), B_BAD_DATA);                   // unknown flag
	EXPECT_EQ(tryEdit([](auto& b) { PutU32(b, 20, uint32(B_ANY_TYPE)); }), B_BAD_DATA);
	EXPECT_EQ(tryEdit([](auto& b) { PutU32(b, 20, uint32(B_STRING_TYPE)); }), B_BAD_DATA);
	EXPECT_EQ(tryEdit([](auto&) {}), B_OK);

	// A string without its NUL, two fields of one name, a corrupt nested message.
	BMessage strings;
	strings.AddString("s", "abc");
	std::vector<char> b = Flat(strings);
	b[b.size() - 5] = 'x';   // the NUL of "abc"
	Reseal(b);
	EXPECT_EQ(target.Unflatten(b.data(), ssize_t(b.size())), B_BAD_DATA);

	BMessage twice;
	twice.AddInt32("a", 1);
	twice.AddInt32("b", 2);
	b = Flat(twice);
	b[26 + 1 + 4 + 4 + 4 + 4 + 1 + 1] = 'a';   // second field's name "b" -> "a"
	Reseal(b);
	EXPECT_EQ(target.Unflatten(b.data(), ssize_t(b.size())), B_BAD_DATA);

	BMessage outer;
	outer.AddMessage("inner", &small);
	b = Flat(outer);
	b[b.size() - 10] ^= 1;   // inside the nested message's content
	Reseal(b);
	EXPECT_EQ(target.Unflatten(b.data(), ssize_t(b.size())), B_BAD_DATA);

	// Nesting deeper than the limit is refused, not followed down the stack: when
	// building (AddMessage) and when reading bytes nested by hand.
	BMessage deep('deep');
	status_t added = B_OK;
	for (int i = 0; i < message_format::kMaxDepth + 2 && added == B_OK; i++) {
		BMessage wrapper('wrap');
		added = wrapper.AddMessage("m", &deep);
		deep = wrapper;
	}
	EXPECT_EQ(added, B_BAD_VALUE);
	b = Flat(small);
	for (int i = 0; i < message_format::kMaxDepth + 2; i++)
		b = WrapFlat(b);
	EXPECT_EQ(target.Unflatten(b.data(), ssize_t(b.size())), B_BAD_DATA);
	b = Flat(small);
	for (int i = 0; i < 3; i++)
		b = WrapFlat(b);
	EXPECT_EQ(target.Unflatten(b.data(), ssize_t(b.size())), B_OK);
}

TEST(Message, ManyFieldsAreReadInOnePass)
{
	// 20 000 one-byte fields "f0", "f1", ... written by hand, then a duplicate at the end.
	const int n = 20000;
	std::vector<char> b = {'P', 'M', 's', 'g', 1, 0, 0, 0, 0, 0, 0, 0, 'y', 'n', 'a', 'm', 0, 0, 0, 0};
	auto addField = [&](const std::string& name) {
		const char head[] = {'E', 'T', 'Y', 'B', 1};
		b.insert(b.end(), head, head + 5);
		b.push_back(char(name.size()));
		b.insert(b.end(), name.begin(), name.end());
		const char items[] = {1, 0, 0, 0, 1, 0, 0, 0, 42};
		b.insert(b.end(), items, items + 9);
	};
	for (int i = 0; i < n; i++)
		addField("f" + std::to_string(i));
	b.resize(b.size() + 4);
	PutU32(b, 16, n);
	Reseal(b);
	BMessage target;
	ASSERT_EQ(target.Unflatten(b.data(), ssize_t(b.size())), B_OK);
	EXPECT_EQ(target.CountNames(B_INT8_TYPE), n);
	int8 v = 0;
	EXPECT_EQ(target.FindInt8("f19999", &v), B_OK);
	EXPECT_EQ(v, 42);

	b.resize(b.size() - 4);
	addField("f5");
	b.resize(b.size() + 4);
	PutU32(b, 16, n + 1);
	Reseal(b);
	EXPECT_EQ(target.Unflatten(b.data(), ssize_t(b.size())), B_BAD_DATA);
}

TEST(Message, RandomGarbageNeverCrashes)
{
	std::mt19937 random(12345);
	const std::vector<char> base = Flat(Sample());
	BMessage target;
	int accepted = 0;
	for (int round = 0; round < 3000; round++) {
		std::vector<char> b;
		if (round % 2 == 0) {
			b = base;   // a valid message with a few bytes changed, then resealed
			int edits = 1 + int(random() % 4);
			for (int k = 0; k < edits; k++)
				b[random() % b.size()] = char(random());
			if (random() % 4 == 0)
				b.resize(random() % b.size());
		} else {
			b.resize(random() % 300);
			for (char& c : b)
				c = char(random());
			if (b.size() >= 8)
				std::memcpy(b.data(), "PMsg\x01\x00\x00\x00", 8);
		}
		if (b.empty())
			continue;
		Reseal(b);
		status_t status = target.Unflatten(b.data(), ssize_t(b.size()));
		if (status == B_OK) {
			accepted++;
			// Whatever was accepted flattens and reads back the same.
			std::vector<char> again = Flat(target);
			BMessage other;
			ASSERT_EQ(other.Unflatten(again.data(), ssize_t(again.size())), B_OK);
		} else {
			ASSERT_TRUE(status == B_BAD_DATA || status == B_NOT_ALLOWED) << status;
		}
	}
	EXPECT_GT(accepted, 0);
}

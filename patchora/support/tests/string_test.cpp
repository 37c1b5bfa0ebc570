#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "support/OrbString.h"

TEST(OrbString, BorrowedTextIsCopiedBeforeAnyChange)
{
    char text[] = "borrowed";
    OrbString borrowed(text, -1, false);
    EXPECT_EQ(borrowed.String(), text);  // no copy made
    EXPECT_FALSE(borrowed.IsShared());

    OrbString copy(borrowed);
    EXPECT_NE(copy.String(), text);
    EXPECT_TRUE(copy.IsShared());
    copy += "!";
    EXPECT_STREQ(text, "borrowed");
    EXPECT_STREQ(copy, "borrowed!");

    borrowed += '?';  // appending to a borrowed text copies it first
    EXPECT_STREQ(text, "borrowed");
    EXPECT_STREQ(borrowed, "borrowed?");

    OrbString part("abcdef", 3, false);  // a borrowed length need not reach a 0 byte
    EXPECT_EQ(part.Length(), 3);
    OrbString partCopy(part);
    EXPECT_STREQ(partCopy, "abc");
}

TEST(OrbString, SharedBuffersCopyOnWrite)
{
    OrbString first("shared");
    OrbString second(first);
    EXPECT_EQ(first.String(), second.String());  // one buffer, two owners
    second += " more";
    EXPECT_NE(first.String(), second.String());
    EXPECT_STREQ(first, "shared");
    EXPECT_STREQ(second, "shared more");

    // A sole owner grows geometrically and keeps its buffer while there is room.
    OrbString grow("x");
    grow += "y";  // shared path: new buffer with spare capacity
    const char* buffer = grow.String();
    grow += "z";
    EXPECT_EQ(grow.String(), buffer);
    EXPECT_STREQ(grow, "xyz");

    // Appending a string to itself.
    OrbString self("ab");
    self += self;
    self += self;
    EXPECT_STREQ(self, "abababab");
    self.Append(self.String() + 2, 2);
    EXPECT_STREQ(self, "abababab" "ab");

    // Assignment releases the old buffer; null source gives the null string.
    OrbString target("old");
    target = OrbString();
    EXPECT_TRUE(target.IsNull());
    target = "new";
    EXPECT_STREQ(target, "new");
    target = 42;
    EXPECT_STREQ(target, "42");
    target.Set(nullptr);
    EXPECT_TRUE(target.IsNull());
}

TEST(OrbString, ConcurrentCopiesOfOneBufferKeepCountsRight)
{
    OrbString original("shared between threads");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++) {
        threads.emplace_back([&original] {
            for (int i = 0; i < 20000; i++) {
                OrbString copy(original);
                OrbString again = copy;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_STREQ(original, "shared between threads");
    OrbString last(original);
    last += "!";  // would fail under the sanitizer if the buffer had been freed
    EXPECT_STREQ(original, "shared between threads");
}

TEST(OrbString, ConstructionAccessAndBuffers)
{
    EXPECT_STREQ(OrbString('c'), "c");
    EXPECT_STREQ(OrbString(-17, 16), "-17");  // always decimal
    EXPECT_STREQ(OrbString(1.5f), "1.500000");
    EXPECT_TRUE(OrbString().IsNull());
    EXPECT_TRUE(OrbString().IsEmpty());
    OrbString empty("");
    EXPECT_FALSE(empty.IsNull());
    EXPECT_TRUE(empty.IsEmpty());

    OrbString s("hello");
    EXPECT_EQ(s[1], 'e');
    EXPECT_EQ(s[5], '\0');
    EXPECT_EQ(s[-1], '\0');
    EXPECT_EQ(OrbString()[0], '\0');
    EXPECT_EQ(s.OffsetOf('l'), 2);
    EXPECT_EQ(s.ROffsetOf('l'), 3);
    EXPECT_EQ(s.OffsetOf('z'), -1);
    EXPECT_EQ(OrbString().OffsetOf('a'), -1);

    s.SetLength(2);
    EXPECT_STREQ(s, "he");
    s.SetLength(4);
    EXPECT_EQ(s.Length(), 4);
    EXPECT_EQ(std::memcmp(s.String(), "he\0\0", 5), 0);

    OrbString buffer;
    char* writable = buffer.LockBuffer(16);
    ASSERT_NE(writable, nullptr);
    strcpy(writable, "written");
    buffer.UnlockBuffer();
    EXPECT_EQ(buffer.Length(), 7);
    EXPECT_STREQ(buffer, "written");
    writable = buffer.LockBuffer(0);
    writable[0] = 'W';
    buffer.UnlockBuffer(3);
    EXPECT_STREQ(buffer, "Wri");

    OrbString sum = OrbString("a") + "b" + 'c' + static_cast<int32_t>(12) + OrbString("d");
    EXPECT_STREQ(sum, "abc12d");
    OrbString unchanged("keep");
    unchanged += static_cast<const char*>(nullptr);
    unchanged += "";
    unchanged.Insert(OrbString("x"), 0).Replace(OrbString("y"), 0, 2);
    EXPECT_STREQ(unchanged, "keep");
}

TEST(OrbString, CompareRules)
{
    EXPECT_EQ(OrbString("ab").Compare(OrbString("abc")), -1);
    EXPECT_EQ(OrbString("abc").Compare("ab"), 1);
    EXPECT_EQ(OrbString().Compare(OrbString("")), -1);
    EXPECT_EQ(OrbString("").Compare(OrbString()), 1);
    EXPECT_EQ(OrbString().Compare(OrbString()), 0);
    EXPECT_EQ(OrbString("").Compare(""), 0);
    EXPECT_EQ(OrbString("\xE9").Compare("e"), 1);  // bytes compare unsigned
    EXPECT_EQ(OrbString("Hello").ICompare("hELLO"), 0);
    EXPECT_EQ(OrbString("Hello").ICompare("help"), -1);
    EXPECT_EQ(OrbString("x").Compare(static_cast<const char*>(nullptr)), 1);

    EXPECT_EQ(memcasecmp("ABC", "abd", 3), -1);
    EXPECT_EQ(memcasecmp(nullptr, "a", 1), -1);
    const char* same = "same";
    EXPECT_EQ(memcasecmp(same, same, 4), 0);
}

TEST(OrbString, NaturalOrder)
{
    EXPECT_LT(strnumcmp("item9", "item10"), 0);
    EXPECT_GT(strnumcmp("item10", "item9"), 0);
    EXPECT_GT(strnumcmp("a10b", "a9z"), 0);
    EXPECT_LT(strnumcmp("a9z", "a10b"), 0);
    EXPECT_EQ(strnumcmp("x12y3", "x12y3"), 0);
    EXPECT_LT(strnumcmp("x12y3", "x12y4"), 0);
    EXPECT_LT(strnumcmp("12", "13"), 0);    // starts with a digit run
    EXPECT_LT(strnumcmp("2", "10"), 0);
    EXPECT_GT(strnumcmp("b1", "a2"), 0);    // text decides before the number
    EXPECT_LT(strnumcmp("item", "item2"), 0);  // shorter is less
    EXPECT_GT(strnumcmp("Item2", "Item10") + 2, 0);
    EXPECT_LT(strnumcmp("Zeta", "alpha"), 0);      // case-sensitive: 'Z' < 'a'
    EXPECT_GT(strcasenumcmp("Zeta", "alpha"), 0);  // without case: z > a
    EXPECT_EQ(strcasenumcmp("PATCH7", "patch7"), 0);
    EXPECT_EQ(strnumcmp(nullptr, nullptr), 0);
    EXPECT_EQ(strnumcmp(nullptr, "a"), -1);
    EXPECT_EQ(strnumcmp("a", nullptr), 1);
    EXPECT_LT(memnumcmp("v9xx", "v10x", 4), 0);
    EXPECT_EQ(memcasenumcmp("AB1", "ab1", 3), 0);

    EXPECT_LT(OrbString("Bank 9").NumCompare(OrbString("Bank 10")), 0);
    EXPECT_EQ(OrbString("bank 10").INumCompare(OrbString("BANK 10")), 0);
    EXPECT_LT(OrbString().NumCompare(OrbString("")), 0);
}

TEST(OrbString, NumberConversions)
{
    bool valid = false;
    EXPECT_EQ(OrbString(" 42 ").AsInt(10, &valid), 42);
    EXPECT_TRUE(valid);
    EXPECT_EQ(OrbString("42x").AsInt(10, &valid), 42);
    EXPECT_FALSE(valid);
    EXPECT_EQ(OrbString("ff").AsInt(16, &valid), 255);
    EXPECT_TRUE(valid);
    EXPECT_EQ(OrbString("-7\t").AsInt(10, &valid), -7);
    EXPECT_TRUE(valid);
    OrbString().AsInt(10, &valid);
    EXPECT_FALSE(valid);
    OrbString("  ").AsInt(10, &valid);  // no digits at all
    EXPECT_FALSE(valid);
    OrbString("99999999999").AsInt(10, &valid);  // does not fit 32 bits
    EXPECT_FALSE(valid);

    int32_t decimals = -1;
    EXPECT_DOUBLE_EQ(OrbString("3.250").AsDouble(&valid, &decimals), 3.25);
    EXPECT_TRUE(valid);
    EXPECT_EQ(decimals, 3);
    EXPECT_DOUBLE_EQ(OrbString(" 12 ").AsDouble(&valid, &decimals), 12.0);
    EXPECT_TRUE(valid);
    EXPECT_EQ(decimals, 0);
    OrbString("1.5kg").AsDouble(&valid, &decimals);
    EXPECT_FALSE(valid);
}

TEST(OrbString, CharacterNames)
{
    EXPECT_STREQ(OrbString::CharToString(0), "NUL");
    EXPECT_STREQ(OrbString::CharToString(10), "LF");
    EXPECT_STREQ(OrbString::CharToString(31), "US");
    EXPECT_STREQ(OrbString::CharToString(32), "[]");
    EXPECT_STREQ(OrbString::CharToString('A'), "A");
    EXPECT_STREQ(OrbString::CharToString(127), "DEL");
    EXPECT_STREQ(OrbString::CharToString(0x80), "$80");
    EXPECT_STREQ(OrbString::CharToString(0x84), "IND");
    EXPECT_STREQ(OrbString::CharToString(0x9a), "$9a");
    EXPECT_STREQ(OrbString::CharToString(0x9f), "APC");
    EXPECT_STREQ(OrbString::CharToString(200), "\xC8");
    EXPECT_STREQ(OrbString::CharToString(255), "$ff");
    EXPECT_FALSE(OrbString::CharToString(10).IsShared());  // borrowed, not copied
    EXPECT_STREQ(OrbString("\xF0" "A \x7F", 4).AsSequence(), "\xF0 A [] DEL");
}

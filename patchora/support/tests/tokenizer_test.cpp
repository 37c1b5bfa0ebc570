#include <gtest/gtest.h>

#include "support/OrbStrTok.h"

TEST(OrbStrTok, EmptyTokensBetweenDelimitersAndTheEnd)
{
    OrbStrTok tok(OrbString("a,,b"), OrbString(","));
    EXPECT_STREQ(tok.Next(), "a");
    EXPECT_STREQ(tok.Delimiter(), ",");
    EXPECT_STREQ(tok.Next(), "");
    EXPECT_FALSE(tok.Token().IsNull());
    EXPECT_STREQ(tok.Next(), "b");
    EXPECT_TRUE(tok.Delimiter().IsEmpty());
    EXPECT_FALSE(tok.Delimiter().IsNull());
    EXPECT_TRUE(tok.Next().IsNull());
    EXPECT_TRUE(tok.Delimiter().IsNull());
    EXPECT_TRUE(tok.Next().IsNull());  // stays at the end

    // A delimiter at the very end leaves nothing to read.
    OrbStrTok trailing(OrbString("x;"), OrbString(";"));
    EXPECT_STREQ(trailing.Next(), "x");
    EXPECT_TRUE(trailing.Next().IsNull());
}

TEST(OrbStrTok, DelimiterSetsPerCallAndSingleCharacters)
{
    OrbString source("key=value;next");
    OrbStrTok tok(source);
    EXPECT_STREQ(tok.Next(OrbString("=")), "key");
    EXPECT_STREQ(tok.Next(OrbString(";=")), "value");
    EXPECT_STREQ(tok.Delimiter(), ";");
    EXPECT_STREQ(tok.NextChar(), "n");
    EXPECT_STREQ(tok.Next(), "ext");  // no default delimiters: the rest
    EXPECT_TRUE(tok.NextChar().IsNull());

    // The tokenizer keeps its own text: changing or dropping the source is harmless.
    OrbString* temporary = new OrbString("one two");
    OrbStrTok words(*temporary, OrbString(" "));
    *temporary += " three";
    delete temporary;
    EXPECT_STREQ(words.Next(), "one");
    EXPECT_STREQ(words.Next(), "two");
    EXPECT_TRUE(words.Next().IsNull());

    OrbStrTok nothing{OrbString()};
    EXPECT_TRUE(nothing.Next().IsNull());
    EXPECT_TRUE(nothing.NextChar().IsNull());

    // Bytes above 127 are delimiters like any other.
    OrbStrTok high(OrbString("a\xF7" "b"), OrbString("\xF7"));
    EXPECT_STREQ(high.Next(), "a");
    EXPECT_STREQ(high.Next(), "b");
}

#include "textconv.h"

#include <gtest/gtest.h>

using namespace zj;

TEST(ToCrLf, EveryKindOfBreakBecomesCrLf)
{
    EXPECT_EQ(ToCrLf("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd");
    EXPECT_EQ(ToCrLf("\r\r\n\n"), "\r\n\r\n\r\n");
    EXPECT_EQ(ToCrLf("no break"), "no break");
    EXPECT_EQ(ToCrLf(std::string("a\0b\n\xff", 5)), std::string("a\0b\r\n\xff", 6));
    EXPECT_EQ(ToCrLf(""), "");
    EXPECT_EQ(ToCrLf("\n\r"), "\r\n\r\n");
}

TEST(IsValidUtf8, AcceptsWellFormedOnly)
{
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("plain ascii text that is long enough for blocks"));
    EXPECT_TRUE(IsValidUtf8("\xef\xbb\xbf" "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"));
    EXPECT_FALSE(IsValidUtf8("caf\xe9"));          // Latin-1
    EXPECT_FALSE(IsValidUtf8("\xc0\xaf"));         // overlong
    EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80"));     // surrogate
    EXPECT_FALSE(IsValidUtf8("abcdefgh\xc3"));     // cut short
    EXPECT_FALSE(IsValidUtf8("\xf4\x90\x80\x80")); // beyond U+10FFFF
}

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

// The quick check agrees with the conversion for every kind of break at every
// place in and across its blocks, at the end of the text too.
TEST(HoldsOnlyCrLf, AgreesWithTheConversionWhereverABreakFalls)
{
    for (const std::string_view lineBreak : {"\r\n", "\r", "\n", "\n\r", "\r\r\n"})
        for (std::size_t before = 0; before <= 34; ++before)
            for (std::size_t after : {0, 1, 20}) {
                const std::string text = std::string(before, 'a') + "\r\n" + std::string(before, 'b')
                                         + std::string(lineBreak) + std::string(after, 'c');
                EXPECT_EQ(HoldsOnlyCrLf(text), ToCrLf(text) == text)
                    << before << " bytes, then " << lineBreak.size() << " break bytes, then " << after;
            }
    EXPECT_TRUE(HoldsOnlyCrLf(""));
}

// The line break a document takes from the first break of its file.
TEST(FirstLineBreak, OnlyALoneLfFirstMakesLf)
{
    EXPECT_EQ(FirstLineBreak("a\nb\r\n"), TLineBreak::Lf);
    EXPECT_EQ(FirstLineBreak("a\r\nb\n"), TLineBreak::CrLf);
    EXPECT_EQ(FirstLineBreak("a\rb\n"), TLineBreak::CrLf);
    EXPECT_EQ(FirstLineBreak("no break at all"), TLineBreak::CrLf);
    EXPECT_EQ(FirstLineBreak(std::string(100, 'x') + "\n"), TLineBreak::Lf);
}

namespace {

// The conversion byte by byte, and whether it changes anything.
std::string PlainConversion(const std::string& text, const std::string& lineBreak, bool& changes)
{
    std::string out;
    changes = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') {
            out += text[i];
            continue;
        }
        std::string found(1, text[i]);
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            found += text[++i];
        changes |= found != lineBreak;
        out += lineBreak;
    }
    return out;
}

} // namespace

// A text converted and checked piece by piece must give what the whole gives,
// wherever the pieces end: inside a CR LF or a character, after a lone CR,
// beside a NUL; to either line break.
TEST(TextInPieces, EveryPieceSizeAgreesWithTheWhole)
{
    const std::string texts[] = {
        "a\r\nb\rc\nd\r",
        "\r\r\n\n\r",
        "caf\xc3\xa9 \xe2\x82\xac\r\n\xf0\x9f\x98\x80x",
        std::string("nul\0\r\n\0\r", 9),
        "\xe2\x82" "A\r", // a character cut short by an ASCII byte
        "ok\xc3",         // and by the end
        "caf\xe9\r\n",    // Latin-1
        "\xed\xa0\x80",   // a surrogate
        "only\r\ncr\r\nlf\r\n",
        "only\nlf\n",
    };
    for (const std::string& text : texts)
        for (const TLineBreak to : {TLineBreak::CrLf, TLineBreak::Lf}) {
            bool changes = false;
            const std::string expected = PlainConversion(text, to == TLineBreak::Lf ? "\n" : "\r\n", changes);
            for (std::size_t size = 1; size <= text.size(); ++size) {
                TLineBreakConverter converter(to);
                TLineBreakConverter measure(to);
                TUtf8Checker checker;
                std::string converted;
                std::size_t measured = 0;
                for (std::size_t at = 0; at < text.size(); at += size) {
                    const std::string_view piece = std::string_view(text).substr(at, size);
                    converter.Append(piece, converted);
                    measured += measure.Measure(piece);
                    checker.Add(piece);
                }
                EXPECT_EQ(converted, expected) << "pieces of " << size;
                EXPECT_EQ(measured, converted.size()) << "pieces of " << size;
                EXPECT_EQ(measure.Changes(), changes) << "pieces of " << size;
                EXPECT_EQ(checker.Valid(), IsValidUtf8(text)) << "pieces of " << size;
            }
        }
}

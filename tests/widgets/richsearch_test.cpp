#include "richedit.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace zj;
using namespace std::string_literals;

namespace {

bool IsAscii(const std::string& text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Every occurrence as Scintilla's own search finds them one after the other.
std::vector<std::pair<int, int>> Reference(TRichEdit& edit, const std::string& text, int flags)
{
    std::vector<std::pair<int, int>> found;
    int from = 0;
    for (;;) {
        edit.SendScintilla(QsciScintillaBase::SCI_SETSEARCHFLAGS, static_cast<unsigned long>(flags));
        edit.SendScintilla(QsciScintillaBase::SCI_SETTARGETRANGE, static_cast<unsigned long>(from),
                           static_cast<long>(edit.Length()));
        const long at = edit.SendScintilla(QsciScintillaBase::SCI_SEARCHINTARGET, text.size(), text.data());
        if (at < 0)
            return found;
        from = static_cast<int>(edit.SendScintilla(QsciScintillaBase::SCI_GETTARGETEND));
        found.emplace_back(static_cast<int>(at), from);
    }
}

} // namespace

// The scan must find what Scintilla finds, word boundaries included, in both
// kinds of document; where the case does not matter, Scintilla folds only
// ASCII letters, so it is the reference only for ASCII.
TEST(RichSearch, AgreesWithScintillasOwnSearch)
{
    const std::string documents[] = {
        "ab abc Ab_ab ab-ab (ab) AB\r\nab.ab 1ab ab1 a ba aab abab ab\t-ab- --ab ab",
        "\xc3\xa9" "ab ab\xc3\xa9 \xc3\x89" "AB \xc3\xa9 \xc3\x89 ab\xe2\x82\xac" "ab \xc5\xbf k ab\xc2\xa0" "ab",
        "\xe9" "ab ab\xe9 \xc9" "AB \xe9 \xc9 ab\xa0" "ab? ab\0ab"s,
    };
    const std::string patterns[] = {"ab", "AB", "a", "b a", "-", "-ab", "ab-", "\r\n", "\xc3\xa9", "\xc3\x89",
                                    "s", "k", "\xe9", "\xc9" "ab", "ab?"};
    TRichEdit edit;
    for (const std::string& document : documents)
        for (bool utf8 : {false, true}) {
        edit.LoadBytes(document);
        edit.setUtf8(utf8 && edit.isUtf8());
        for (const std::string& pattern : patterns)
            for (int flags : {0, 1, 2, 3}) {
                const bool wholeWord = flags & 1;
                const bool matchCase = flags & 2;
                if (!matchCase && !(IsAscii(document) && IsAscii(pattern)))
                    continue;
                std::vector<std::pair<int, int>> actual;
                for (TFound found : edit.FindAll(pattern, 0, edit.Length(), wholeWord, matchCase))
                    actual.emplace_back(found.Start, found.End);
                const int sciFlags = (wholeWord ? QsciScintillaBase::SCFIND_WHOLEWORD : 0)
                                     | (matchCase ? QsciScintillaBase::SCFIND_MATCHCASE : 0);
                EXPECT_EQ(actual, Reference(edit, pattern, sciFlags))
                    << "utf8 " << edit.isUtf8() << " '" << pattern << "' flags " << flags;
            }
        }
}

TEST(RichSearch, ReplaceRangesNearAndFar)
{
    TRichEdit edit;
    const std::string far(1000, '.');
    edit.LoadBytes("ab ab" + far + "ab");
    edit.ReplaceRanges(edit.FindAll("ab", 0, edit.Length(), false, true), "xyz");
    EXPECT_EQ(std::string(edit.Bytes()), "xyz xyz" + far + "xyz");
    edit.ReplaceRanges(edit.FindAll("xyz", 0, edit.Length(), false, true), "");
    EXPECT_EQ(std::string(edit.Bytes()), " " + far);

    // Close occurrences over far more than one change takes.
    std::string dense;
    std::string expected;
    for (int i = 0; i < 50000; ++i) {
        dense += "ab " + std::to_string(i % 7);
        expected += "xyz " + std::to_string(i % 7);
    }
    edit.LoadBytes(dense + far + dense);
    edit.ReplaceRanges(edit.FindAll("ab", 0, edit.Length(), false, true), "xyz");
    EXPECT_EQ(std::string(edit.Bytes()), expected + far + expected);
}

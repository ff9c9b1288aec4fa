// Word completion on request: the words of the open documents and the Java
// keywords that continue the word before the caret.
#include "richedit.h"

#include "msgdialogs.h"

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <string_view>

namespace zj {

namespace {

constexpr std::string_view JavaKeywords[] = {
    "abstract",   "assert",     "boolean",  "break",     "byte",      "case",         "catch",   "char",
    "class",      "const",      "continue", "default",   "do",        "double",       "else",    "enum",
    "extends",    "false",      "final",    "finally",   "float",     "for",          "goto",    "if",
    "implements", "import",     "instanceof", "int",     "interface", "long",         "native",  "new",
    "null",       "package",    "permits",  "private",   "protected", "public",       "record",  "return",
    "sealed",     "short",      "static",   "strictfp",  "super",     "switch",       "synchronized",
    "this",       "throw",      "throws",   "transient", "true",      "try",          "var",     "void",
    "volatile",   "while",      "yield",
};

// More words than anyone reads in a list; a huge text stops adding there.
constexpr std::size_t MaxWords = 5000;
// A word before the caret is looked for this far back.
constexpr long MaxPrefix = 256;

// Letters and digits of every script count, as a byte of a character beyond
// ASCII: words are compared as bytes.
bool IsWordByte(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$' ||
           c >= 0x80;
}

char FoldAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithFolded(std::string_view word, std::string_view prefix)
{
    return word.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), word.begin(), [](char a, char b) { return FoldAscii(a) == FoldAscii(b); });
}

// The starts of the words in a text that may begin as prefix does: found by
// its first letter in either case with memchr, rather than byte by byte.
class TWordStarts {
public:
    TWordStarts(std::string_view text, std::string_view prefix) : text_(text)
    {
        if (prefix.empty())
            return;
        const char first = prefix.front();
        lower_.letter = FoldAscii(first);
        upper_.letter = first >= 'a' && first <= 'z' ? static_cast<char>(first - 'a' + 'A') : first;
        if (upper_.letter == lower_.letter) {
            upper_.searched = true;
            upper_.at = std::string_view::npos;
        }
    }

    // The first start at from or after it; npos when there is none.
    std::size_t Next(std::size_t from)
    {
        if (!lower_.letter) {
            while (from < text_.size() && !IsStart(from))
                ++from;
            return from < text_.size() ? from : std::string_view::npos;
        }
        for (;;) {
            const std::size_t at = std::min(Find(lower_, from), Find(upper_, from));
            if (at == std::string_view::npos || IsStart(at))
                return at;
            from = at + 1;
        }
    }

private:
    struct TLetter {
        char letter = 0;
        bool searched = false;
        std::size_t at = 0; // the next one found; npos: no more
    };

    bool IsStart(std::size_t at) const
    {
        return IsWordByte(static_cast<unsigned char>(text_[at])) &&
               (at == 0 || !IsWordByte(static_cast<unsigned char>(text_[at - 1])));
    }
    std::size_t Find(TLetter& letter, std::size_t from) const
    {
        if (!letter.searched || (letter.at != std::string_view::npos && letter.at < from)) {
            letter.searched = true;
            const void* found = from < text_.size() ? std::memchr(text_.data() + from, letter.letter, text_.size() - from)
                                                    : nullptr;
            letter.at = found ? static_cast<std::size_t>(static_cast<const char*>(found) - text_.data())
                              : std::string_view::npos;
        }
        return letter.at;
    }

    std::string_view text_;
    TLetter lower_;
    TLetter upper_;
};

bool IsAscii(std::string_view word)
{
    return std::all_of(word.begin(), word.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

} // namespace

void TRichEdit::ShowCompletion(const std::vector<TRichEdit*>& sources)
{
    if (isReadOnly())
        return;
    const long caret = SendScintilla(SCI_GETCURRENTPOS);
    const long lineStart =
        SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(caret))));
    long wordStart = caret;
    while (wordStart > std::max(lineStart, caret - MaxPrefix) &&
           IsWordByte(static_cast<unsigned char>(SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(wordStart - 1)))))
        --wordStart;
    std::string prefix(static_cast<std::size_t>(caret - wordStart) + 1, '\0');
    SendScintilla(SCI_GETTEXTRANGE, wordStart, caret, prefix.data());
    prefix.resize(static_cast<std::size_t>(caret - wordStart));
    const bool utf8 = SendScintilla(SCI_GETCODEPAGE) == SC_CP_UTF8;

    std::set<std::string, std::less<>> words;
    auto offer = [&](std::string_view word) {
        if (word != prefix && words.size() < MaxWords && words.find(word) == words.end())
            words.emplace(word);
    };
    for (std::string_view keyword : JavaKeywords)
        if (StartsWithFolded(keyword, prefix))
            offer(keyword);
    for (TRichEdit* source : sources) {
        const bool sameCoding = (source->SendScintilla(SCI_GETCODEPAGE) == SC_CP_UTF8) == utf8;
        const std::string_view text = source->Bytes();
        const std::size_t size = text.size();
        TWordStarts starts(text, prefix);
        for (std::size_t at = starts.Next(0); at < size && words.size() < MaxWords; at = starts.Next(at)) {
            std::size_t end = at + 1;
            while (end < size && IsWordByte(static_cast<unsigned char>(text[end])))
                ++end;
            // Not the word being completed itself.
            const bool atCaret = source == this && static_cast<long>(at) == wordStart;
            const std::string_view word = text.substr(at, end - at);
            at = end;
            if (atCaret || !StartsWithFolded(word, prefix))
                continue;
            if (sameCoding || IsAscii(word)) {
                offer(word);
                continue;
            }
            // A word of a document in the other coding, where this one can hold it.
            const QString characters = utf8 ? QString::fromLatin1(word.data(), static_cast<qsizetype>(word.size()))
                                            : QString::fromUtf8(word.data(), static_cast<qsizetype>(word.size()));
            bool exact = true;
            const std::string bytes = ToBytes(characters, exact);
            if (exact)
                offer(bytes);
        }
    }
    if (words.empty()) {
        DefaultBeep();
        return;
    }
    std::string list;
    for (const std::string& word : words)
        list.append(list.empty() ? "" : " ").append(word);
    SendScintilla(SCI_AUTOCSETIGNORECASE, 1UL);
    SendScintilla(SCI_AUTOCSETCASEINSENSITIVEBEHAVIOUR, static_cast<unsigned long>(SC_CASEINSENSITIVEBEHAVIOUR_IGNORECASE));
    SendScintilla(SCI_AUTOCSETORDER, static_cast<unsigned long>(SC_ORDER_PERFORMSORT));
    SendScintilla(SCI_AUTOCSETCHOOSESINGLE, 1UL);
    SendScintilla(SCI_AUTOCSETMAXHEIGHT, 10UL);
    SendScintilla(SCI_AUTOCSHOW, static_cast<uintptr_t>(prefix.size()), list.c_str());
}

} // namespace zj

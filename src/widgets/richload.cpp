// Loading a whole text into the control, from bytes or from a file, its line
// breaks as they are. The file is read a piece at a time, so that a large file
// is never held beside the text the control holds.
#include "richedit.h"

#include "diskfile.h"
#include "fileio.h"
#include "textconv.h"

#include <algorithm>
#include <cstring>

namespace zj {

namespace {

// Room the control keeps after a loaded text, so that the first save (which
// asks for the text as one block) and the first keystrokes do not make it
// move the whole text into a larger block.
constexpr std::size_t LoadSlack = 1 << 16;

// The length of the longest common start (or end) of a and b, a block at a
// time: a reload of a large file usually changes little of it.
std::size_t CommonLength(std::string_view a, std::string_view b, bool fromEnd)
{
    constexpr std::size_t Block = 4096;
    const std::size_t shorter = std::min(a.size(), b.size());
    auto at = [&](std::string_view s, std::size_t offset, std::size_t length) {
        return s.data() + (fromEnd ? s.size() - offset - length : offset);
    };
    std::size_t common = 0;
    while (shorter - common >= Block && std::memcmp(at(a, common, Block), at(b, common, Block), Block) == 0)
        common += Block;
    while (common < shorter && *at(a, common, 1) == *at(b, common, 1))
        ++common;
    return common;
}

} // namespace

bool TRichEdit::BeginLoad(std::size_t size)
{
    const bool wasReadOnly = isReadOnly();
    setReadOnly(false);
    SendScintilla(SCI_SETUNDOCOLLECTION, 0L);
    SendScintilla(SCI_CLEARALL);
    // One block of the final size: a block that grows as the text arrives is
    // copied each time it grows, the text held twice for that moment.
    SendScintilla(SCI_ALLOCATE, static_cast<unsigned long>(size + LoadSlack));
    return wasReadOnly;
}

void TRichEdit::EndLoad(bool wasReadOnly)
{
    // A text with a huge line stays plain, whatever its kind.
    ShowSyntax();
    SendScintilla(SCI_SETUNDOCOLLECTION, 1L);
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    // The caret and the view at the start without scrolling to the caret,
    // which lays out its whole line: the first paint does that once, after
    // the document's kind and colours are known (a line of megabytes takes
    // seconds).
    SendScintilla(SCI_SETEMPTYSELECTION, 0UL);
    SendScintilla(SCI_SETXOFFSET, 0UL);
    SetModified(false);
    setReadOnly(wasReadOnly);
}

void TRichEdit::LoadBytes(std::string_view bytes)
{
    setUtf8(IsValidUtf8(bytes));
    const bool wasReadOnly = BeginLoad(bytes.size());
    SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(bytes.size()), bytes.data());
    SetLineBreak(FirstLineBreak(bytes));
    EndLoad(wasReadOnly);
}

std::optional<std::uint64_t> TRichEdit::LoadFromFile(const std::string& fileName, std::size_t chunkSize, const TAcceptText& accept)
{
    // A first reading measures the text for BeginLoad and for accept, and
    // fails, when the file cannot be read, before the text is touched.
    TLineBreakConverter measure;
    TUtf8Checker utf8;
    std::size_t size = 0;
    bool breakFound = false;
    TLineBreak lineBreak = TLineBreak::CrLf;
    ReadFileChunks(fileName, chunkSize, [&](std::string_view piece) {
        size += piece.size();
        measure.Measure(piece);
        utf8.Add(piece);
        if (!breakFound && FindLineBreak(piece) != std::string_view::npos) {
            lineBreak = FirstLineBreak(piece);
            breakFound = true;
        }
    });
    if (accept && !accept({measure.LongestLine(), utf8.Valid()}))
        return std::nullopt;

    const bool wasReadOnly = BeginLoad(size);
    TContentHash hash;
    try {
        ReadFileChunks(fileName, chunkSize, [&](std::string_view piece) {
            hash.Add(piece);
            SendScintilla(SCI_APPENDTEXT, static_cast<uintptr_t>(piece.size()), piece.data());
        });
    } catch (...) {
        // Half a file is no document.
        SendScintilla(SCI_CLEARALL);
        EndLoad(wasReadOnly);
        throw;
    }
    SetLineBreak(lineBreak);
    // Decided by the bytes shown, before anything is painted.
    setUtf8(utf8.Valid());
    EndLoad(wasReadOnly);
    return hash.Value();
}

double TRichEdit::LayoutSeconds(std::size_t length, bool utf8)
{
    // Seconds per byte of a line shown plain, as BM_OpenOneLine and
    // BM_OpenOneLine8Bit measured them for 20 MB (8.0 s and 7.2 s).
    constexpr double Utf8Cost = 0.40e-6, EightBitCost = 0.36e-6;
    return static_cast<double>(length) * (utf8 ? Utf8Cost : EightBitCost);
}

void TRichEdit::ReloadBytes(std::string_view bytes)
{
    const long caret = SendScintilla(SCI_GETCURRENTPOS);
    const long line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(caret));
    const long column = SendScintilla(SCI_GETCOLUMN, static_cast<unsigned long>(caret));
    const long firstLine = SendScintilla(SCI_GETFIRSTVISIBLELINE);
    const long xOffset = SendScintilla(SCI_GETXOFFSET);

    const std::string_view old = Bytes();
    const std::size_t prefix = CommonLength(old, bytes, false);
    const std::size_t suffix = CommonLength(old.substr(prefix), bytes.substr(prefix), true);
    const std::size_t oldEnd = old.size() - suffix;

    const bool wasReadOnly = isReadOnly();
    setReadOnly(false);
    const bool utf8 = IsValidUtf8(bytes);
    if (utf8 != isUtf8())
        setUtf8(utf8);
    // One replacement is one undo step.
    SendScintilla(SCI_SETTARGETRANGE, static_cast<unsigned long>(prefix), static_cast<long>(oldEnd));
    SendScintilla(SCI_REPLACETARGET, static_cast<uintptr_t>(bytes.size() - suffix - prefix), bytes.data() + prefix);
    SetLineBreak(FirstLineBreak(bytes));
    ShowSyntax();

    const long keptLine = std::min(line, SendScintilla(SCI_GETLINECOUNT) - 1);
    SendScintilla(SCI_SETEMPTYSELECTION,
                  static_cast<unsigned long>(SendScintilla(SCI_FINDCOLUMN, static_cast<unsigned long>(keptLine), column)));
    SendScintilla(SCI_SETFIRSTVISIBLELINE, static_cast<unsigned long>(firstLine));
    SendScintilla(SCI_SETXOFFSET, static_cast<unsigned long>(xOffset));
    SetModified(false);
    setReadOnly(wasReadOnly);
}

} // namespace zj

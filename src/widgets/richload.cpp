// Loading a whole text into the control, from bytes or from a file, its line
// breaks as they are. The file is read a piece at a time, so that a large file
// is never held beside the text the control holds.
#include "richedit.h"

#include "fileio.h"
#include "textconv.h"

namespace zj {

namespace {

// Room the control keeps after a loaded text, so that the first save (which
// asks for the text as one block) and the first keystrokes do not make it
// move the whole text into a larger block.
constexpr std::size_t LoadSlack = 1 << 16;

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

bool TRichEdit::LoadFromFile(const std::string& fileName, std::size_t chunkSize, const TAcceptText& accept)
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
        return false;

    const bool wasReadOnly = BeginLoad(size);
    try {
        ReadFileChunks(fileName, chunkSize, [&](std::string_view piece) {
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
    return true;
}

double TRichEdit::LayoutSeconds(std::size_t length, bool utf8)
{
    // Seconds per byte of a line shown plain, as BM_OpenOneLine and
    // BM_OpenOneLine8Bit measured them for 20 MB (8.0 s and 7.2 s).
    constexpr double Utf8Cost = 0.40e-6, EightBitCost = 0.36e-6;
    return static_cast<double>(length) * (utf8 ? Utf8Cost : EightBitCost);
}

} // namespace zj

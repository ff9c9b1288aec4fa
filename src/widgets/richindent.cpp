// Typing aids: indentation kept on Enter and matching braces shown. They
// add what the user types to; the text's own blanks are never rewritten.
#include "richedit.h"

#include <Qsci/qscilexerjava.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace zj {

namespace {

// No brace to show.
constexpr long NoBrace = -1;

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsJavaComment(int style)
{
    return style == QsciLexerJava::Comment || style == QsciLexerJava::CommentLine ||
           style == QsciLexerJava::CommentDoc || style == QsciLexerJava::CommentLineDoc ||
           style == QsciLexerJava::CommentDocKeyword || style == QsciLexerJava::CommentDocKeywordError;
}

} // namespace

void TRichEdit::EnsureStyled(int end)
{
    end = std::min(end, Length());
    const auto styled = static_cast<unsigned long>(SendScintilla(SCI_GETENDSTYLED));
    if (!lexer() || static_cast<long>(styled) >= end)
        return;
    // From the start of a line, as Scintilla itself styles.
    const long from = SendScintilla(SCI_POSITIONFROMLINE, SendScintilla(SCI_LINEFROMPOSITION, styled));
    SendScintilla(SCI_COLOURISE, static_cast<unsigned long>(from), static_cast<long>(end));
}

void TRichEdit::CharAdded(int ch)
{
    // Enter adds CR LF, the LF last.
    if (ch == '\n')
        IndentNewLine();
    else if (ch == '}' && syntax_ == TSyntax::Java)
        AlignClosingBrace();
}

namespace {

// The blanks and tabs that begin line, as they stand.
std::string IndentOf(TRichEdit& text, long line)
{
    std::string indent;
    const long end = text.SendScintilla(TRichEdit::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
    for (long pos = text.SendScintilla(TRichEdit::SCI_POSITIONFROMLINE, static_cast<unsigned long>(line)); pos < end;
         ++pos) {
        const auto c = static_cast<char>(text.SendScintilla(TRichEdit::SCI_GETCHARAT, static_cast<unsigned long>(pos)));
        if (!IsBlank(c))
            break;
        indent += c;
    }
    return indent;
}

} // namespace

void TRichEdit::IndentNewLine()
{
    const long caret = SendScintilla(SCI_GETCURRENTPOS);
    const long line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(caret));
    if (line == 0 || SelLength() > 0)
        return;
    std::string indent = IndentOf(*this, line - 1);
    if (syntax_ == TSyntax::Java) {
        const long lineEnd = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line));
        long next = caret;
        while (next < lineEnd && IsBlank(static_cast<char>(SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(next)))))
            ++next;
        EnsureStyled(static_cast<int>(next + 1));
        const long closing = next < lineEnd ? BraceAt(static_cast<int>(next)) : -1;
        if (closing >= 0 && static_cast<char>(SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(closing))) == '}') {
            // Enter before a closing brace puts it under its opening line.
            const long opening = SendScintilla(SCI_BRACEMATCH, static_cast<unsigned long>(closing), 0L);
            if (opening >= 0)
                indent = IndentOf(*this, SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(opening)));
        } else {
            // One level more after an opening brace, comments after it aside.
            const long prevStart = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line - 1));
            long pos = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line - 1)) - 1;
            while (pos >= prevStart &&
                   (IsBlank(static_cast<char>(SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(pos)))) ||
                    IsJavaComment(static_cast<int>(SendScintilla(SCI_GETSTYLEAT, static_cast<unsigned long>(pos))))))
                --pos;
            if (pos >= prevStart && BraceAt(static_cast<int>(pos)) == pos &&
                static_cast<char>(SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(pos))) == '{')
                indent += indent.empty() || indent.find('\t') != std::string::npos ? "\t" : "    ";
        }
    }
    if (!indent.empty())
        SendScintilla(SCI_ADDTEXT, static_cast<uintptr_t>(indent.size()), indent.data());
}

void TRichEdit::AlignClosingBrace()
{
    const long brace = SendScintilla(SCI_GETCURRENTPOS) - 1;
    const long line = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(brace));
    const long lineStart = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(line));
    // Only a brace that stands first on its line.
    for (long pos = lineStart; pos < brace; ++pos)
        if (!IsBlank(static_cast<char>(SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(pos)))))
            return;
    if (BraceAt(static_cast<int>(brace)) != brace)
        return;
    const long opening = SendScintilla(SCI_BRACEMATCH, static_cast<unsigned long>(brace), 0L);
    if (opening < 0)
        return;
    const std::string indent = IndentOf(*this, SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(opening)));
    if (indent == IndentOf(*this, line))
        return;
    SendScintilla(SCI_SETTARGETRANGE, static_cast<unsigned long>(lineStart), brace);
    SendScintilla(SCI_REPLACETARGET, static_cast<uintptr_t>(indent.size()), indent.data());
    SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(lineStart + static_cast<long>(indent.size()) + 1));
}

int TRichEdit::BraceAt(int pos)
{
    if (pos < 0 || pos >= Length())
        return -1;
    const auto c = static_cast<char>(SendScintilla(SCI_GETCHARAT, static_cast<unsigned long>(pos)));
    if (c == '\0' || !std::strchr("()[]{}", c))
        return -1;
    // In Java only the code's own braces: not those in strings or comments.
    if (syntax_ == TSyntax::Java) {
        EnsureStyled(pos + 1);
        if (SendScintilla(SCI_GETSTYLEAT, static_cast<unsigned long>(pos)) != QsciLexerJava::Operator)
            return -1;
    }
    return pos;
}

void TRichEdit::MatchBraces(int updated)
{
    if (!(updated & (SC_UPDATE_SELECTION | SC_UPDATE_CONTENT)))
        return;
    const int caret = static_cast<int>(SendScintilla(SCI_GETCURRENTPOS));
    int brace = BraceAt(caret - 1);
    if (brace < 0)
        brace = BraceAt(caret);
    if (brace < 0) {
        SendScintilla(SCI_BRACEHIGHLIGHT, static_cast<unsigned long>(NoBrace), NoBrace);
        return;
    }
    const long partner = SendScintilla(SCI_BRACEMATCH, static_cast<unsigned long>(brace), 0L);
    if (partner < 0)
        SendScintilla(SCI_BRACEBADLIGHT, static_cast<unsigned long>(brace));
    else
        SendScintilla(SCI_BRACEHIGHLIGHT, static_cast<unsigned long>(brace), partner);
}

} // namespace zj

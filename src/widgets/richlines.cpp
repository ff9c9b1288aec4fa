// Whole lines at a time: the caret's column, indenting a block of lines and
// commenting lines out and in.
#include "richedit.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace zj {

namespace {

constexpr long IndentWidth = 4;

// The columns that bytes move a count on from column: a tab to the next
// stop, a character one (in UTF-8, every byte that starts one).
long AddColumns(const char* bytes, std::size_t size, long column, bool utf8, long tabWidth)
{
    const char* end = bytes + size;
    while (bytes < end) {
        const auto* tab = static_cast<const char*>(std::memchr(bytes, '\t', static_cast<std::size_t>(end - bytes)));
        const char* stop = tab ? tab : end;
        if (utf8) {
            for (; bytes < stop; ++bytes)
                column += (static_cast<unsigned char>(*bytes) & 0xC0) != 0x80;
        } else {
            column += stop - bytes;
            bytes = stop;
        }
        if (tab) {
            column = (column / tabWidth + 1) * tabWidth;
            bytes = tab + 1;
        }
    }
    return column;
}

std::string TextRange(const TRichEdit& edit, long start, long end)
{
    std::string text(static_cast<std::size_t>(end - start) + 1, '\0');
    edit.SendScintilla(TRichEdit::SCI_GETTEXTRANGE, start, end, text.data());
    text.resize(static_cast<std::size_t>(end - start));
    return text;
}

// Selects lines top to bottom, through the last one's break or to its end,
// the caret at the start when backwards.
void SelectLines(TRichEdit& edit, long top, long bottom, bool throughBreak, bool backwards)
{
    const long start = edit.SendScintilla(TRichEdit::SCI_POSITIONFROMLINE, static_cast<unsigned long>(top));
    const long end = throughBreak ? edit.SendScintilla(TRichEdit::SCI_POSITIONFROMLINE, static_cast<unsigned long>(bottom + 1))
                                  : edit.SendScintilla(TRichEdit::SCI_GETLINEENDPOSITION, static_cast<unsigned long>(bottom));
    if (backwards)
        edit.SendScintilla(TRichEdit::SCI_SETSEL, static_cast<unsigned long>(end), start);
    else
        edit.SendScintilla(TRichEdit::SCI_SETSEL, static_cast<unsigned long>(start), end);
}

} // namespace

int TRichEdit::CaretColumn() const
{
    const long caret = std::min(SendScintilla(SCI_GETCURRENTPOS), static_cast<long>(Length()));
    const long start = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(caret))));
    if constexpr (sizeof(long) < sizeof(void*)) {
        // No pointer passes through a long here: Scintilla counts.
        return static_cast<int>(SendScintilla(SCI_GETCOLUMN, static_cast<unsigned long>(caret))) + 1;
    } else {
        // Scintilla's own count steps a character at a time, which on a
        // long line costs every keystroke dearly. The bytes are read where
        // they lie, on either side of the gap, so that the gap never moves.
        const bool utf8 = SendScintilla(SCI_GETCODEPAGE) == SC_CP_UTF8;
        const long tabWidth = std::max(SendScintilla(SCI_GETTABWIDTH), 1L);
        const long gap = SendScintilla(SCI_GETGAPPOSITION);
        long column = 0;
        auto add = [&](long from, long to) {
            if (from >= to)
                return;
            const auto* bytes = reinterpret_cast<const char*>(static_cast<std::intptr_t>(
                SendScintilla(SCI_GETRANGEPOINTER, static_cast<unsigned long>(from), to - from)));
            if (!bytes)
                return;
            column = AddColumns(bytes, static_cast<std::size_t>(to - from), column, utf8, tabWidth);
        };
        if (start < gap && gap < caret) {
            add(start, gap);
            add(gap, caret);
        } else {
            add(start, caret);
        }
        return static_cast<int>(column) + 1;
    }
}

bool TRichEdit::IndentsWithTabs()
{
    // Lines led by two blanks or more: one blank is the " *" of a comment.
    constexpr long Sample = 64 << 10;
    constexpr int Enough = 100;
    const std::string text = TextRange(*this, 0, std::min<long>(Length(), Sample));
    int tabs = 0;
    int spaces = 0;
    for (std::size_t at = 0; at < text.size() && tabs + spaces < Enough;) {
        if (text[at] == '\t')
            ++tabs;
        else if (text.compare(at, 2, "  ") == 0)
            ++spaces;
        const std::size_t next = text.find('\n', at);
        if (next == std::string::npos)
            break;
        at = next + 1;
    }
    return tabs >= spaces;
}

bool TRichEdit::IndentSelectedLines(bool forwards)
{
    const long anchor = SendScintilla(SCI_GETANCHOR);
    const long caret = SendScintilla(SCI_GETCURRENTPOS);
    const long start = std::min(anchor, caret);
    const long end = std::max(anchor, caret);
    if (start == end)
        return false;
    const long top = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(start));
    if (SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(top)) != start)
        return false;
    long bottom = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(end));
    const bool throughBreak = SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(bottom)) == end;
    if (throughBreak)
        --bottom;
    else if (SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(bottom)) != end)
        return false;
    if (isReadOnly())
        return true;

    SendScintilla(SCI_SETUSETABS, static_cast<unsigned long>(IndentsWithTabs()));
    SendScintilla(SCI_BEGINUNDOACTION);
    for (long line = top; line <= bottom; ++line) {
        const auto number = static_cast<unsigned long>(line);
        const long indent = SendScintilla(SCI_GETLINEINDENTATION, number);
        const bool empty = SendScintilla(SCI_POSITIONFROMLINE, number) == SendScintilla(SCI_GETLINEENDPOSITION, number);
        if (forwards && !empty)
            SendScintilla(SCI_SETLINEINDENTATION, number, indent + IndentWidth);
        else if (!forwards && indent > 0)
            SendScintilla(SCI_SETLINEINDENTATION, number, std::max(indent - IndentWidth, 0L));
    }
    SendScintilla(SCI_ENDUNDOACTION);

    SelectLines(*this, top, bottom, throughBreak, caret < anchor);
    return true;
}

bool TRichEdit::ToggleComment()
{
    if (syntax_ == TSyntax::None)
        return false;
    const bool java = syntax_ == TSyntax::Java;
    const std::string open = java ? "//" : "<!--";
    const std::string close = java ? "" : "-->";

    const long anchor = SendScintilla(SCI_GETANCHOR);
    const long caret = SendScintilla(SCI_GETCURRENTPOS);
    const long start = std::min(anchor, caret);
    const long end = std::max(anchor, caret);
    const long top = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(start));
    long bottom = SendScintilla(SCI_LINEFROMPOSITION, static_cast<unsigned long>(end));
    // A selection that ends at a line's start leaves that line out.
    const bool throughBreak = bottom > top && SendScintilla(SCI_POSITIONFROMLINE, static_cast<unsigned long>(bottom)) == end;
    if (throughBreak)
        --bottom;
    // Without a selection the caret keeps its place in the line's text.
    const long caretFromEnd = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(top)) - caret;
    if (isReadOnly())
        return true;

    // The text of each line between its indentation and its trailing blanks.
    auto body = [this](long line) {
        std::string text = TextRange(*this, SendScintilla(SCI_GETLINEINDENTPOSITION, static_cast<unsigned long>(line)),
                                     SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(line)));
        text.erase(text.find_last_not_of(" \t") + 1);
        return text;
    };
    auto commented = [&](const std::string& text) {
        if (text.size() < open.size() + close.size() || text.compare(0, open.size(), open) != 0)
            return false;
        // An HTML line is one comment only when its first end is its last.
        return close.empty() || text.find(close, open.size()) == text.size() - close.size();
    };
    bool any = false;
    bool all = true;
    for (long line = top; line <= bottom; ++line) {
        const std::string text = body(line);
        if (text.empty())
            continue;
        any = true;
        all = all && commented(text);
    }
    if (!any)
        return true;

    SendScintilla(SCI_BEGINUNDOACTION);
    for (long line = top; line <= bottom; ++line) {
        const std::string text = body(line);
        if (text.empty())
            continue;
        const long from = SendScintilla(SCI_GETLINEINDENTPOSITION, static_cast<unsigned long>(line));
        // The end first, so that the start's position still holds.
        if (all) {
            // The marks and one blank inside each, a blank not counted twice.
            std::size_t openEnd = open.size();
            if (openEnd < text.size() - close.size() && text[openEnd] == ' ')
                ++openEnd;
            std::size_t closeStart = text.size() - close.size();
            if (!close.empty() && closeStart > openEnd && text[closeStart - 1] == ' ')
                --closeStart;
            if (closeStart < text.size())
                SendScintilla(SCI_DELETERANGE, static_cast<unsigned long>(from + static_cast<long>(closeStart)),
                              static_cast<long>(text.size() - closeStart));
            SendScintilla(SCI_DELETERANGE, static_cast<unsigned long>(from), static_cast<long>(openEnd));
        } else {
            if (!close.empty()) {
                const std::string after = " " + close;
                SendScintilla(SCI_INSERTTEXT, static_cast<unsigned long>(from + static_cast<long>(text.size())),
                              after.c_str());
            }
            const std::string before = open + " ";
            SendScintilla(SCI_INSERTTEXT, static_cast<unsigned long>(from), before.c_str());
        }
    }
    SendScintilla(SCI_ENDUNDOACTION);

    // Inserting drops the selection.
    if (start == end) {
        const long indent = SendScintilla(SCI_GETLINEINDENTPOSITION, static_cast<unsigned long>(top));
        const long kept = SendScintilla(SCI_GETLINEENDPOSITION, static_cast<unsigned long>(top)) - caretFromEnd;
        SendScintilla(SCI_GOTOPOS, static_cast<unsigned long>(std::max(kept, std::min(caret, indent))));
    } else {
        SelectLines(*this, top, bottom, throughBreak, caret < anchor);
    }
    return true;
}

} // namespace zj

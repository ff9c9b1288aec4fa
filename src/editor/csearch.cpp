// The search and replacement in an editor window's text.
#include "cedit.h"

#include "editorhost.h"
#include "msgdialogs.h"
#include "richedit.h"
#include "sysutils.h"

#include <algorithm>

namespace zj {

void TcwEdit::Select(int start, int length)
{
    memText->SetSel(start, length);
    // The control reports the change only when it next updates the screen;
    // the search relies on SavedCaret following at once.
    memTextClick();
}

bool TcwEdit::SelectionIs(const std::string& text, bool foldAscii, bool matchCase)
{
    const int start = memText->SelStart();
    const int length = memText->SelLength();
    if (length == 0 || text.empty())
        return false;
    const std::string selected = memText->SelText();
    if (selected == text || (foldAscii && UpperCaseAscii(selected) == UpperCaseAscii(text)))
        return true;
    // Letters beyond ASCII that the search itself calls equal, as é and É
    // when the case does not matter.
    const TFound found = memText->FindText(text, start, start + length, false, matchCase);
    return found.Start == start && found.End == start + length;
}

bool TcwEdit::FindNext(const QString& text, bool wholeWord, bool matchCase)
{
    // A text with characters the document cannot hold occurs nowhere in it.
    bool exact = true;
    const std::string bytes = memText->ToBytes(text, exact);
    for (;;) {
        int start = memText->SelStart();
        if (exact && SelectionIs(bytes, true, matchCase))
            start += memText->SelLength();
        const TFound found =
            exact ? memText->FindText(bytes, start, memText->Length(), wholeWord, matchCase) : TFound();
        if (found) {
            Select(found.Start, found.End - found.Start);
            return true;
        }
        if (memText->SelStart() == 0)
            break;
        // Round to the start without a word; the selection then starts at 0,
        // so this happens once at most.
        Select(0, 0);
    }
    Select(SavedCaret, 0);
    host_.ShowStatus(QStringLiteral("Can't find '") + text + QLatin1Char('\''));
    DefaultBeep();
    return false;
}

void TcwEdit::ReplaceSelection(const QString& replaceText)
{
    bool exact = true;
    const std::string bytes = memText->ToBytes(replaceText, exact);
    // Never another character in place of one the document cannot hold.
    if (!exact)
        return;
    memText->ReplaceSel(bytes);
    memTextClick();
}

void TcwEdit::Replace(const QString& findText, const QString& replaceText, TFindOptions options)
{
    bool lossless = true;
    const std::string replaceBytes = memText->ToBytes(replaceText, lossless);
    if (!lossless) {
        host_.ShowStatus(QStringLiteral("Can't replace with '") + replaceText
                         + QStringLiteral("': the document cannot hold it."));
        DefaultBeep();
        return;
    }
    const bool matchCase = options.testFlag(frMatchCase);
    bool exact = true;
    const std::string findBytes = memText->ToBytes(findText, exact);
    const bool selected = exact && SelectionIs(findBytes, !matchCase, matchCase);
    if (!options.testFlag(frReplaceAll)) {
        if (selected)
            ReplaceSelection(replaceText);
        return;
    }
    if (exact)
        ReplaceAll(findBytes, replaceBytes, selected, options.testFlag(frWholeWord), matchCase);
    // The end of a search that wrapped round and found nothing more: the
    // caret at the start, "Can't find" with its beep, then the done message
    // with a second beep.
    Select(0, 0);
    host_.ShowStatus(QStringLiteral("Can't find '") + findText + QLatin1Char('\''));
    DefaultBeep();
    host_.ShowStatus(QStringLiteral("Done Replacing '") + findText + QStringLiteral("' with '") + replaceText
                     + QStringLiteral(".'"));
    DefaultBeep();
}

void TcwEdit::ReplaceAll(const std::string& findBytes, const std::string& replaceBytes, bool selected,
                         bool wholeWord, bool matchCase)
{
    // One pass from the start over the text as it stands, so text just
    // inserted is never searched again and the pass always ends (a with ab,
    // a word with itself, a read-only text). One undo step.
    memText->beginUndoAction();
    std::vector<TFound> found;
    if (selected) {
        // A selected occurrence goes first, as a single Replace would do it;
        // the pass leaves the text put in its place alone.
        const int start = memText->SelStart();
        memText->ReplaceSel(replaceBytes);
        const int end = memText->SelStart();
        found = memText->FindAll(findBytes, 0, start, wholeWord, matchCase);
        const std::vector<TFound> after = memText->FindAll(findBytes, end, memText->Length(), wholeWord, matchCase);
        found.insert(found.end(), after.begin(), after.end());
    } else {
        found = memText->FindAll(findBytes, 0, memText->Length(), wholeWord, matchCase);
    }
    memText->ReplaceRanges(found, replaceBytes);
    memText->endUndoAction();
}

} // namespace zj

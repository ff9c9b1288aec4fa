#pragma once

#include "job.h"
#include "richedit.h"

#include <string>
#include <string_view>
#include <vector>

namespace zj {

// A running program's console: what it writes to its standard output and
// error (the error in a colour of its own) and what the user types, in the
// order it happens, in a fixed-pitch font. Typed text gathers at the end;
// Return sends the line, Ctrl+D ends the input. The text keeps the last
// MaxKept bytes and says at its top when earlier output was dropped; a line
// longer than MaxViewLine is shown in pieces, but copied whole. Its lines
// are numbered as the program's output (what was sent included) numbers
// them, from the start of the run.
class TConsole : public TRichEdit {
    Q_OBJECT
public:
    explicit TConsole(QWidget* parent = nullptr);

    // Empties the text for a new run.
    void Clear();
    // Whether typed text is taken, as while the program runs and its input
    // is open.
    void SetTakingInput(bool taking);
    bool TakingInput() const { return taking_; }
    void AppendOutput(TJobStream stream, std::string_view bytes);
    // A line of the console's own at the end, after the output.
    void AppendNotice(const QString& text);
    // Says at the top that earlier output was dropped, once.
    void SayDropped();

    // Puts the caret at the start of an output line, in view, when it is kept.
    void ShowLine(int outputLine);
    int CaretOutputLine() const;
    // The text from start to end, without the breaks that cut long lines.
    std::string Transcript(int start, int end);

    void copy() override;
    void paste() override;

    static constexpr std::size_t MaxKept = 4u << 20;

signals:
    // A line the user sent, its break included, or the rest at Ctrl+D.
    void Input(const std::string& bytes);
    void InputEnded();
    // An output line chosen by double-click, or by Return outside the typing.
    void LineChosen(int outputLine);

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;

private:
    enum TStyle { OutputStyle = 0, ErrorStyle = 1, InputStyle = 2, NoticeStyle = 3 };

    // Inserts bytes of the transcript before the typed text, cutting long
    // lines.
    void InsertTranscript(std::string_view bytes, int style);
    // Inserts raw bytes at pos in style; the caret stays where it was unless
    // it followed the end.
    void InsertAt(int pos, std::string_view bytes, int style);
    void InsertTyped(const QString& text);
    // Sends the typed text, with a break when withBreak.
    void Send(bool withBreak);
    void Trim();
    void ApplyConsoleStyles();
    int OutputLine(int displayLine) const;
    int DisplayLine(int outputLine) const;
    bool CaretInTyping() const;

    bool taking_ = false;
    // Where the typed text not yet sent begins.
    int inputStart_ = 0;
    // Bytes since the last break before inputStart_.
    std::size_t lineBytes_ = 0;
    // Display lines that go on the one before them, ascending.
    std::vector<int> continued_;
    // Output lines no longer kept at the top, and whether the notice says so.
    int trimmedLines_ = 0;
    bool dropNotice_ = false;
};

} // namespace zj

#pragma once

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace zj {

enum TModalResult { mrNone = 0, mrOk = 1, mrCancel = 2, mrYes = 6, mrNo = 7 };

enum class TMsgDlgBtn { mbYes, mbNo, mbOK, mbCancel };

// What a message box asks; the test hook receives it.
struct TMessageRequest {
    QString Caption;
    QString Text;
    bool IsError = false;
    bool IsWarning = false;
    std::vector<TMsgDlgBtn> Buttons; // in the order shown
    TMsgDlgBtn DefaultButton = TMsgDlgBtn::mbOK;
    TMsgDlgBtn EscapeButton = TMsgDlgBtn::mbCancel;
};

// The confirmation box: captioned "Confirm", question icon, word-wrapped text,
// centred on the screen, buttons from "&Yes", "&No", "OK", "Cancel" in that
// order. Default is OK when present, else Yes; Escape answers Cancel when
// present, else No; the close box answers Cancel.
TModalResult MessageDlg(const QString& text, const std::vector<TMsgDlgBtn>& buttons);

// The standard error box: the message and a period, captioned with the
// program's title, error icon, OK.
void ShowErrorBox(const QString& message);

// A box that tells of something the user did not ask about: the text,
// captioned with the program's title, warning icon, OK.
void ShowWarningBox(const QString& text);

void DefaultBeep();

// What a number box asks.
struct TNumberRequest {
    QString Caption;
    QString Prompt;
    int Value = 0;
    int Min = 0;
    int Max = 0;
};

// Asks for a whole number from min to max, offering value; nullopt when the
// user cancels.
std::optional<int> InputNumber(const QString& caption, const QString& prompt, int value, int min, int max);

// Tests answer the boxes and count the beeps here instead of a person.
extern std::function<TModalResult(const TMessageRequest&)> MessageHook;
extern std::function<void()> BeepHook;
extern std::function<std::optional<int>(const TNumberRequest&)> NumberHook;

} // namespace zj

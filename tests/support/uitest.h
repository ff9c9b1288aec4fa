#pragma once

#include "msgdialogs.h"

#include <QObject>
#include <QString>

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace zj {

class TcwEdit;

// The component of a form that carries that name, or null with a failure.
template <class T>
T* Child(const QObject* form, const char* name)
{
    T* child = form->findChild<T*>(QString::fromLatin1(name));
    if (!child)
        ADD_FAILURE() << "no component " << name;
    return child;
}

// A test of real widgets, shown offscreen, in a temporary folder of its own
// (also the settings' folder), with every question and file dialog answered
// from a script and every beep counted.
class UiTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Answers for the next message boxes, in order. A box without an answer
    // fails the test.
    std::deque<TModalResult> answers;
    std::vector<TMessageRequest> asked;
    int beeps = 0;
    // Names for the next save dialogs; nullopt cancels.
    std::deque<std::optional<std::string>> saveNames;
    std::vector<QString> saveFilters;
    // Names for the next open dialogs; nullopt cancels.
    std::deque<std::optional<std::string>> openNames;
    // PDF files that the next print dialogs print to; nullopt cancels.
    std::deque<std::optional<std::string>> printFiles;
    // Answers for the next number boxes; nullopt cancels.
    std::deque<std::optional<int>> numbers;
    std::vector<TNumberRequest> numbersAsked;

    std::filesystem::path dir;

    std::string Path(const std::string& name) const { return (dir / name).string(); }
    static void Put(const std::string& path, const std::string& bytes);
    static std::string Get(const std::string& path);
    // The questions asked so far, their texts only.
    std::vector<QString> Questions() const;
    // The next scripted save name, as a save dialog would give it.
    std::optional<std::string> NextSaveName();

    static void Select(TcwEdit* editor, int start, int length);
    static std::pair<int, int> Selection(TcwEdit* editor);
    // Types text into the editor as the keyboard would.
    static void Type(TcwEdit* editor, const QString& text);
    static std::string Text(TcwEdit* editor);
    static void Settle();
};

} // namespace zj

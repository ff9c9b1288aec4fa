#include "console.h"
#include "uitest.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QMainWindow>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

using namespace zj;

namespace {

using Sci = QsciScintillaBase;

// The console in a window whose own Ctrl+C shortcut would copy something
// else, as the frame's Edit command does.
class Console : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        console = new TConsole;
        window.setCentralWidget(console);
        frameCopy = new QAction(&window);
        frameCopy->setShortcut(QKeySequence::Copy);
        window.addAction(frameCopy);
        QObject::connect(frameCopy, &QAction::triggered, [this] { ++frameCopies; });
        window.resize(500, 300);
        window.show();
        console->setFocus();
        Settle();
    }

    std::string Text() const { return std::string(console->Bytes()); }
    int Style(int position) const
    {
        return static_cast<int>(console->SendScintilla(Sci::SCI_GETSTYLEAT, static_cast<unsigned long>(position)));
    }

    QMainWindow window;
    TConsole* console = nullptr;
    QAction* frameCopy = nullptr;
    int frameCopies = 0;
};

} // namespace

TEST_F(Console, TypedLinesGoToTheProgramInTheOrderThingsHappen)
{
    QSignalSpy sent(console, &TConsole::Input);
    QSignalSpy ended(console, &TConsole::InputEnded);
    QTest::keyClicks(console, "ignored");
    EXPECT_EQ(Text(), "") << "nothing is typed while no program takes it";

    console->SetTakingInput(true);
    console->AppendOutput(TJobStream::Output, "Name? ");
    QTest::keyClicks(console, "Adx");
    QTest::keyClick(console, Qt::Key_Backspace);
    // Output that arrives meanwhile goes before the typing.
    console->AppendOutput(TJobStream::Error, "warning\n");
    QTest::keyClicks(console, "a");
    EXPECT_EQ(Text(), "Name? warning\nAda");
    QTest::keyClick(console, Qt::Key_Return);
    ASSERT_EQ(sent.count(), 1);
    EXPECT_EQ(sent[0][0].value<std::string>(), "Ada\n");
    EXPECT_EQ(Style(0), 0);
    EXPECT_NE(Style(7), 0) << "standard error has a colour of its own";
    EXPECT_NE(Style(14), Style(7)) << "and so does the typing";

    // A paste sends each whole line; Ctrl+D sends the rest and ends the input.
    QApplication::clipboard()->setText("1\r\n2\nrest");
    QTest::keyClick(console, Qt::Key_V, Qt::ControlModifier);
    QTest::keyClick(console, Qt::Key_D, Qt::ControlModifier);
    ASSERT_EQ(sent.count(), 4);
    EXPECT_EQ(sent[1][0].value<std::string>(), "1\n");
    EXPECT_EQ(sent[2][0].value<std::string>(), "2\n");
    EXPECT_EQ(sent[3][0].value<std::string>(), "rest");
    EXPECT_EQ(ended.count(), 1);
    EXPECT_FALSE(console->TakingInput());

    // Ctrl+A, Ctrl+C copies the transcript, not what the window's own
    // command would copy.
    console->AppendNotice("'A' ended with exit code 0.");
    QTest::keyClick(console, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(console, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(frameCopies, 0);
    EXPECT_EQ(QApplication::clipboard()->text(), "Name? warning\nAda\n1\n2\nrest\n'A' ended with exit code 0.\n");
}

TEST_F(Console, LongLinesAreShownInPiecesButCopiedAndNumberedWhole)
{
    QSignalSpy chosen(console, &TConsole::LineChosen);
    const std::string longLine(3 * TRichEdit::MaxViewLine + 10, 'x');
    console->AppendOutput(TJobStream::Output, "first\n" + longLine.substr(0, 5000));
    console->AppendOutput(TJobStream::Output, longLine.substr(5000) + "\r\nthird\n");
    EXPECT_EQ(console->SendScintilla(Sci::SCI_GETLINECOUNT), 7) << "the long line in four pieces";
    console->ShowLine(2);
    EXPECT_EQ(console->CaretOutputLine(), 2);
    EXPECT_EQ(console->CaretLine(), 5);
    console->SetSel(static_cast<int>(console->SendScintilla(Sci::SCI_POSITIONFROMLINE, 3UL)), 0);
    EXPECT_EQ(console->CaretOutputLine(), 1);
    QTest::keyClick(console, Qt::Key_Return);
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen[0][0].toInt(), 1);
    console->selectAll();
    console->copy();
    EXPECT_EQ(QApplication::clipboard()->text().toStdString(), "first\n" + longLine + "\r\nthird\n");

    // Any bytes, a NUL and what is no UTF-8 among them, are shown as they came.
    console->Clear();
    const std::string odd("a\0\xFF" "b\n", 5);
    console->AppendOutput(TJobStream::Output, odd);
    EXPECT_EQ(Text(), odd);
}

TEST_F(Console, KeepsTheLastMegabytesAndSaysSoAtTheTop)
{
    std::string block;
    for (int i = 0; block.size() < (1u << 20); ++i)
        block += "line " + std::to_string(i) + "\n";
    const int blockLines = static_cast<int>(std::count(block.begin(), block.end(), '\n'));
    for (int i = 0; i < 12; ++i)
        console->AppendOutput(TJobStream::Output, block);
    console->AppendOutput(TJobStream::Output, "last\n");
    EXPECT_LE(static_cast<std::size_t>(console->Length()), TConsole::MaxKept + TConsole::MaxKept / 4 + 100);
    EXPECT_TRUE(Text().starts_with("[Earlier output was dropped: the console keeps the last 4 MB.]\nline "));
    // The lines keep their numbers from the start of the run.
    console->ShowLine(12 * blockLines);
    EXPECT_EQ(console->CaretOutputLine(), 12 * blockLines);
    const long caret = console->SelStart();
    EXPECT_EQ(Text().substr(static_cast<std::size_t>(caret), 5), "last\n");
    console->ShowLine(0);
    EXPECT_EQ(console->SelStart(), caret) << "a dropped line is not shown";
}

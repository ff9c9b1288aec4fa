// Print: the print dialog, then the active document on the chosen printer.
// Printed to PDF files and read back with the poppler tools.
#include "cedit.h"
#include "editorfont.h"
#include "fmain.h"
#include "guitest.h"
#include "printdialog.h"
#include "richedit.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QImage>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QTimer>

#include <set>

using namespace zj;

namespace {

class Print : public GuiTest {
protected:
    // What a poppler tool prints for the file.
    static QString Run(const QString& program, const QStringList& arguments)
    {
        QProcess tool;
        tool.start(program, arguments);
        EXPECT_TRUE(tool.waitForFinished(60000)) << program.toStdString();
        EXPECT_EQ(tool.exitCode(), 0) << program.toStdString() << ": " << tool.readAllStandardError().toStdString();
        return QString::fromUtf8(tool.readAllStandardOutput());
    }
    static QStringList Pages(const std::string& pdf)
    {
        QStringList pages = Run("pdftotext", {"-layout", QString::fromStdString(pdf), "-"}).split('\f');
        if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
            pages.removeLast();
        return pages;
    }
};

} // namespace

TEST_F(Print, PrintsTheDocumentInItsFontAndColoursUnderAHeader)
{
    frame->SetEditorFontName("DejaVu Serif");
    SetFontSize(frame->Font, 10, frame->PixelsPerInch);
    frame->SaveSettings();
    std::string text = "/* the comment */\n";
    for (int line = 1; line <= 150; ++line)
        text += "public class Sample" + std::to_string(line) + " { }\n";
    // Far wider than a page: wrapped, never cut.
    for (int word = 1; word <= 40; ++word)
        text += "wrapped" + std::to_string(word) + " ";
    text += "\n";
    TcwEdit* editor = OpenSaved("Long.java", text);
    ASSERT_TRUE(Button("cmdPrint")->isEnabled());

    printFiles.push_back(Path("long.pdf"));
    Button("cmdPrint")->click();
    const QStringList pages = Pages(Path("long.pdf"));
    ASSERT_GE(pages.size(), 3);
    for (int page = 0; page < pages.size(); ++page) {
        EXPECT_TRUE(pages[page].contains(QString::fromStdString(Path("Long.java")))) << page;
        EXPECT_TRUE(pages[page].contains(QStringLiteral("Page %1").arg(page + 1))) << page;
    }
    const QString all = pages.join('\n');
    for (const char* expected : {"the comment", "public class Sample1 { }", "public class Sample150 { }", "wrapped1",
                                 "wrapped40"})
        EXPECT_TRUE(all.contains(expected)) << expected;
    EXPECT_TRUE(Run("pdffonts", {QString::fromStdString(Path("long.pdf"))}).contains("DejaVuSerif"));

    // The keywords and the comment keep their colours on paper.
    Run("pdftoppm", {"-r", "150", "-f", "1", "-l", "1", "-png", QString::fromStdString(Path("long.pdf")),
                     QString::fromStdString(Path("page"))});
    const QImage page(QString::fromStdString(Path("page-1.png")));
    ASSERT_FALSE(page.isNull());
    std::set<QRgb> colours;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            colours.insert(page.pixel(x, y) & 0xffffff);
    // Scintilla keeps colours as 0xBBGGRR.
    auto painted = [&colours](long bgr) {
        return colours.count(qRgb(bgr & 0xff, (bgr >> 8) & 0xff, (bgr >> 16) & 0xff) & 0xffffff) > 0;
    };
    EXPECT_TRUE(painted(editor->memText->SendScintilla(TRichEdit::SCI_STYLEGETFORE, 5UL))) << "keyword";
    EXPECT_TRUE(painted(editor->memText->SendScintilla(TRichEdit::SCI_STYLEGETFORE, 1UL))) << "comment";
}

TEST_F(Print, UntitledDocumentsAreHeadedByTheirCaptionAndCancelPrintsNothing)
{
    TcwEdit* editor = NewEditor(dtText);
    Type(editor, "hello paper");
    printFiles = {std::nullopt, Path("new.pdf")};
    Item("mnuFilePrint")->trigger();
    EXPECT_FALSE(std::filesystem::exists(Path("new.pdf")));
    Item("mnuFilePrint")->trigger();
    const QStringList pages = Pages(Path("new.pdf"));
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages[0].contains("Untitled_1.txt"));
    EXPECT_TRUE(pages[0].contains("Page 1"));
    EXPECT_TRUE(pages[0].contains("hello paper"));

    // A file that cannot be made is reported, and nothing else happens.
    printFiles.push_back(Path("missing/new.pdf"));
    answers.push_back(mrOk);
    Item("mnuFilePrint")->trigger();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].IsError);
    EXPECT_EQ(asked[0].Text, QString::fromStdString("Cannot create file " + Path("missing/new.pdf") + "."));
    editor->memText->SetModified(false);
}

// The real dialog, answered as a person would: its own "print to file" choice.
TEST_F(Print, TheDialogsOwnFileChoicePrintsWithoutAPrinter)
{
    TcwEdit* editor = NewEditor(dtJava);
    Type(editor, "class Dialog {}");
    TPrintDialog::ExecuteHook = nullptr;
    const QString pdf = QString::fromStdString(Path("dialog.pdf"));
    bool answered = false;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto* printers = dialog->findChild<QComboBox*>("printers");
        ASSERT_NE(printers, nullptr);
        for (int i = 0; i < printers->count(); ++i)
            if (printers->itemText(i).contains("PDF"))
                printers->setCurrentIndex(i);
        auto* file = dialog->findChild<QLineEdit*>("filename");
        ASSERT_NE(file, nullptr);
        file->setText(pdf);
        answered = true;
        dialog->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    Item("mnuFilePrint")->trigger();
    EXPECT_TRUE(answered);
    const QStringList pages = Pages(pdf.toStdString());
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(pages[0].contains("class Dialog {}"));
    editor->memText->SetModified(false);
}

// The look of the text: syntax colours by document kind, the editor font in
// every style, the tab width and the current line.
#include "richedit.h"

#include <Qsci/qscilexerhtml.h>
#include <Qsci/qscilexerjava.h>

#include <QElapsedTimer>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace zj {

namespace {

// A step of the colouring in the background takes about this long (in
// nanoseconds), so that a key, a scroll or a paint waits no longer for it.
constexpr double StepTime = 2e6;
// How long typing must pause before the colouring goes on behind it.
constexpr int ChangePause = 300;

// What a piece of text is, as far as its colour goes.
enum class TRole { Plain, Keyword, Comment, String, Number, Tag, Attribute, Entity, Markup };

struct TRoleLook {
    QRgb colour; // 0: the palette's text colour
    bool bold;
};

// A calm scheme on the palette's base colour: a few dark hues, bold only
// where the structure is (keywords, tags).
TRoleLook LookOf(TRole role)
{
    switch (role) {
    case TRole::Plain: return {0, false};
    case TRole::Keyword: return {qRgb(0x00, 0x00, 0x8b), true};
    case TRole::Comment: return {qRgb(0x3f, 0x7f, 0x5f), false};
    case TRole::String: return {qRgb(0xa3, 0x15, 0x15), false};
    case TRole::Number: return {qRgb(0x09, 0x86, 0x58), false};
    case TRole::Tag: return {qRgb(0x80, 0x00, 0x00), true};
    case TRole::Attribute: return {qRgb(0xa0, 0x52, 0x2d), false};
    case TRole::Entity: return {qRgb(0x7f, 0x00, 0x7f), false};
    case TRole::Markup: return {qRgb(0x6f, 0x6f, 0x00), false};
    }
    return {0, false};
}

TRole JavaRole(int style)
{
    // Java uses the C-family lexer; its inactive styles mirror the active ones.
    switch (style & 0x3f) {
    case QsciLexerJava::Keyword:
    case QsciLexerJava::KeywordSet2:
    case QsciLexerJava::GlobalClass: return TRole::Keyword;
    case QsciLexerJava::Comment:
    case QsciLexerJava::CommentLine:
    case QsciLexerJava::CommentDoc:
    case QsciLexerJava::CommentLineDoc:
    case QsciLexerJava::CommentDocKeyword:
    case QsciLexerJava::CommentDocKeywordError:
    case QsciLexerJava::PreProcessorComment:
    case QsciLexerJava::PreProcessorCommentLineDoc:
    case QsciLexerJava::TaskMarker: return TRole::Comment;
    case QsciLexerJava::DoubleQuotedString:
    case QsciLexerJava::SingleQuotedString:
    case QsciLexerJava::UnclosedString:
    case QsciLexerJava::VerbatimString:
    case QsciLexerJava::RawString:
    case QsciLexerJava::TripleQuotedVerbatimString:
    case QsciLexerJava::HashQuotedString:
    case QsciLexerJava::Regex:
    case QsciLexerJava::EscapeSequence: return TRole::String;
    case QsciLexerJava::Number: return TRole::Number;
    case QsciLexerJava::PreProcessor: return TRole::Markup;
    default: return TRole::Plain;
    }
}

// The roles of the scripts inside a page, counted from each script's own
// first style: start, default, comment... as the HTML lexer numbers them.
TRole ScriptRole(const std::initializer_list<TRole>& roles, int offset)
{
    return offset >= 0 && offset < static_cast<int>(roles.size()) ? roles.begin()[offset] : TRole::Plain;
}

TRole HtmlRole(int style)
{
    using L = QsciLexerHTML;
    using R = TRole;
    static const std::initializer_list<TRole> javaScript = {R::Markup,  R::Plain,  R::Comment, R::Comment, R::Comment,
                                                            R::Number,  R::Plain,  R::Keyword, R::String,  R::String,
                                                            R::Plain,   R::String, R::String};
    static const std::initializer_list<TRole> vbScript = {R::Markup, R::Plain,  R::Comment, R::Number,
                                                          R::Keyword, R::String, R::Plain,   R::String};
    static const std::initializer_list<TRole> python = {R::Markup, R::Plain,  R::Comment, R::Number, R::String,
                                                        R::String, R::Keyword, R::String, R::String};
    if (style >= L::JavaScriptStart && style <= L::JavaScriptRegex)
        return ScriptRole(javaScript, style - L::JavaScriptStart);
    if (style >= L::ASPJavaScriptStart && style <= L::ASPJavaScriptRegex)
        return ScriptRole(javaScript, style - L::ASPJavaScriptStart);
    if (style >= L::VBScriptStart && style <= L::VBScriptUnclosedString)
        return ScriptRole(vbScript, style - L::VBScriptStart);
    if (style >= L::ASPVBScriptStart && style <= L::ASPVBScriptUnclosedString)
        return ScriptRole(vbScript, style - L::ASPVBScriptStart);
    if (style >= L::PythonStart && style <= L::PythonIdentifier)
        return ScriptRole(python, style - L::PythonStart);
    if (style >= L::ASPPythonStart && style <= L::ASPPythonIdentifier)
        return ScriptRole(python, style - L::ASPPythonStart);
    switch (style) {
    case L::Tag:
    case L::UnknownTag:
    case L::XMLTagEnd:
    case L::Script: return R::Tag;
    case L::Attribute:
    case L::UnknownAttribute: return R::Attribute;
    case L::HTMLNumber:
    case L::PHPNumber: return R::Number;
    case L::HTMLDoubleQuotedString:
    case L::HTMLSingleQuotedString:
    case L::HTMLValue:
    case L::SGMLDoubleQuotedString:
    case L::SGMLSingleQuotedString:
    case L::PHPDoubleQuotedString:
    case L::PHPSingleQuotedString: return R::String;
    case L::HTMLComment:
    case L::ASPXCComment:
    case L::SGMLComment:
    case L::SGMLParameterComment:
    case L::PHPComment:
    case L::PHPCommentLine: return R::Comment;
    case L::Entity:
    case L::SGMLSpecial: return R::Entity;
    case L::XMLStart:
    case L::XMLEnd:
    case L::ASPAtStart:
    case L::ASPStart:
    case L::PHPStart:
    case L::SGMLDefault:
    case L::SGMLCommand:
    case L::SGMLParameter:
    case L::SGMLBlockDefault: return R::Markup;
    case L::PHPKeyword: return R::Keyword;
    default: return R::Plain;
    }
}

} // namespace

void TRichEdit::InitStyles()
{
    setTabWidth(4);
    // Faint: the caret's line stays readable, selection and caret as they are.
    const QPalette colours = palette();
    const QColor base = colours.color(QPalette::Base);
    const QColor highlight = colours.color(QPalette::Highlight);
    auto mix = [](int a, int b) { return (a * 12 + b) / 13; };
    caretLineColour_ =
        QColor(mix(base.red(), highlight.red()), mix(base.green(), highlight.green()), mix(base.blue(), highlight.blue()));
    setCaretLineBackgroundColor(caretLineColour_);
    setCaretLineVisible(true);
    // Block indent and the Tab key: four columns a level.
    SendScintilla(SCI_SETINDENT, 4UL);
    connect(this, &QsciScintillaBase::SCN_CHARADDED, this, &TRichEdit::CharAdded);
    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, &TRichEdit::MatchBraces);
    styleTimer_ = new QTimer(this);
    styleTimer_->setSingleShot(true);
    connect(styleTimer_, &QTimer::timeout, this, &TRichEdit::StyleStep);
    // A change uncolours the text after it; colouring it again waits for a
    // pause in the typing.
    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, [this](int updated) {
        if (!(updated & SC_UPDATE_CONTENT) || !lexer())
            return;
        const long styled = SendScintilla(SCI_GETENDSTYLED);
        if (styled < styledEnd_)
            StyleInBackground(ChangePause);
        styledEnd_ = styled;
    });
    editorFont_ = font();
    ApplyStyles();
}

void TRichEdit::StyleInBackground(int delay)
{
    if (!lexer() || SendScintilla(SCI_GETENDSTYLED) >= Length()) {
        styleTimer_->stop();
        return;
    }
    styleTimer_->start(delay);
}

void TRichEdit::PauseBackgroundStyling()
{
    if (styleTimer_->isActive())
        styleTimer_->start(ChangePause);
}

void TRichEdit::StyleStep()
{
    const int length = Length();
    const long from = SendScintilla(SCI_GETENDSTYLED);
    if (!lexer() || from >= length)
        return;
    // Whole lines, as a lexer starts at a line's start.
    const long goal = std::min<long>(length, from + static_cast<long>(stepBytes_));
    const long end = SendScintilla(SCI_POSITIONFROMLINE, SendScintilla(SCI_LINEFROMPOSITION, goal) + 1);
    QElapsedTimer took;
    took.start();
    EnsureStyled(end < 0 ? length : static_cast<int>(end));
    // The next step as long as StepTime at the speed just seen.
    const double styled = static_cast<double>(SendScintilla(SCI_GETENDSTYLED) - from);
    const auto nanoseconds = static_cast<double>(std::max<qint64>(took.nsecsElapsed(), 1));
    stepBytes_ = std::clamp(styled * StepTime / nanoseconds, 4096.0, 1048576.0);
    styledEnd_ = SendScintilla(SCI_GETENDSTYLED);
    styleTimer_->start(0);
}

QsciLexer* TRichEdit::LexerFor(TSyntax syntax)
{
    switch (syntax) {
    case TSyntax::Java:
        if (!javaLexer_) {
            auto* java = new QsciLexerJava(this);
            // Sent to the text each time the lexer is set.
            java->setFoldComments(true);
            java->setFoldCompact(false);
            javaLexer_ = java;
        }
        return javaLexer_;
    case TSyntax::Html:
        if (!htmlLexer_) {
            auto* html = new QsciLexerHTML(this);
            html->setFoldCompact(false);
            htmlLexer_ = html;
        }
        return htmlLexer_;
    case TSyntax::None: break;
    }
    return nullptr;
}

void TRichEdit::SetSyntax(TSyntax syntax)
{
    if (syntax == syntax_)
        return;
    syntax_ = syntax;
    ShowSyntax();
}

void TRichEdit::ShowSyntax()
{
    QsciLexer* wanted = syntax_ == TSyntax::None || HasHugeLine() ? nullptr : LexerFor(syntax_);
    if (wanted != lexer()) {
        setLexer(wanted);
        // Java blocks and comments, HTML elements; a blank line after a
        // block stays out of its fold.
        SendScintilla(SCI_SETPROPERTY, "fold", "1");
        SendScintilla(SCI_SETPROPERTY, "fold.html", "1");
        ShowFoldMargin();
        ApplyStyles();
    }
    StyleInBackground();
}

bool TRichEdit::HasHugeLine()
{
    // A line of twice HugeLine bytes holds a whole aligned stretch of
    // HugeLine bytes without a break; a search in each stretch ends at its
    // first break, a few bytes in for ordinary text.
    constexpr std::size_t HugeLine = 256u << 10;
    const std::string_view text = Bytes();
    for (std::size_t at = 0; at + HugeLine <= text.size(); at += HugeLine)
        if (text.substr(at, HugeLine).find('\n') == std::string_view::npos)
            return true;
    return false;
}

void TRichEdit::recolor(int start, int)
{
    // Scintilla styles what it shows when it shows it; styling the whole
    // text at once, as a lexer change asks, would stall on a large file.
    if (start < static_cast<int>(SendScintilla(SCI_GETENDSTYLED)))
        SendScintilla(SCI_STARTSTYLING, static_cast<unsigned long>(start), 0L);
    viewport()->update();
    StyleInBackground();
}

void TRichEdit::SetEditorFont(const QFont& font)
{
    QFont textFont = font;
    // Scintilla sizes its styles in points.
    if (textFont.pixelSize() > 0)
        textFont.setPointSizeF(textFont.pixelSize() * 72.0 / logicalDpiY());
    editorFont_ = textFont;
    QWidget::setFont(textFont);
    ApplyStyles();
}

void TRichEdit::ApplyStyles()
{
    const QColor text = palette().color(QPalette::Text);
    const QColor paper = palette().color(QPalette::Base);
    const QByteArray family = editorFont_.family().toLatin1();
    const auto size = static_cast<long>(editorFont_.pointSizeF() * static_cast<int>(SC_FONT_SIZE_MULTIPLIER));
    auto setStyle = [&](int style, const QColor& fore, const QColor& back, bool bold) {
        const auto number = static_cast<unsigned long>(style);
        SendScintilla(SCI_STYLESETFONT, number, family.constData());
        SendScintilla(SCI_STYLESETSIZEFRACTIONAL, number, size);
        SendScintilla(SCI_STYLESETBOLD, number, static_cast<long>(bold));
        SendScintilla(SCI_STYLESETITALIC, number, static_cast<long>(editorFont_.italic()));
        SendScintilla(SCI_STYLESETFORE, number, fore);
        SendScintilla(SCI_STYLESETBACK, number, back);
    };
    // Every style starts as the default one: the editor font, plain colours.
    setStyle(STYLE_DEFAULT, text, paper, editorFont_.bold());
    SendScintilla(SCI_STYLECLEARALL);
    if (QsciLexer* lexer = this->lexer()) {
        // The lexer keeps the same look, since QScintilla sets it again at
        // times (a change of the enabled state).
        const QSignalBlocker blocker(lexer);
        for (int style = 0; style <= STYLE_MAX; ++style) {
            if (style != STYLE_DEFAULT && lexer->description(style).isEmpty())
                continue;
            const TRoleLook look = LookOf(syntax_ == TSyntax::Java ? JavaRole(style) : HtmlRole(style));
            const QColor fore = look.colour ? QColor(look.colour) : text;
            QFont font = editorFont_;
            font.setBold(look.bold || editorFont_.bold());
            lexer->setFont(font, style);
            lexer->setColor(fore, style);
            lexer->setPaper(paper, style);
            lexer->setEolFill(false, style);
            setStyle(style, fore, paper, font.bold());
        }
    }
    setStyle(STYLE_LINENUMBER, QColor(0x80, 0x80, 0x80), QColor(0xf0, 0xf0, 0xf0), false);
    setStyle(STYLE_BRACELIGHT, QColor(0x00, 0x00, 0xd0), QColor(0xcc, 0xe4, 0xff), true);
    setStyle(STYLE_BRACEBAD, QColor(0xc0, 0x00, 0x00), QColor(0xff, 0xd8, 0xd8), true);
    emit StylesChanged();
}

} // namespace zj

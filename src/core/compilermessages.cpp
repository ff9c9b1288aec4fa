#include "compilermessages.h"

#include <algorithm>
#include <memory>
#include <optional>

namespace zj {

namespace {

struct TLine {
    std::string_view Text;
    std::size_t Next = 0;
};

// The line starting at pos, its break left out.
TLine LineAt(std::string_view output, std::size_t pos)
{
    const std::size_t end = output.find_first_of("\r\n", pos);
    if (end == std::string_view::npos)
        return {output.substr(pos), output.size()};
    std::size_t next = end + 1;
    if (output[end] == '\r' && next < output.size() && output[next] == '\n')
        ++next;
    return {output.substr(pos, end - pos), next};
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Messages are read by people: a line of any length is kept to its start,
// cut between characters.
constexpr std::size_t MaxTextLine = 500;
constexpr std::size_t MaxDetails = 64;

void AppendCut(std::string& text, std::string_view line)
{
    if (line.size() <= MaxTextLine) {
        text.append(line);
        return;
    }
    std::size_t cut = MaxTextLine;
    while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
        --cut;
    text.append(line.substr(0, cut)).append("...");
}

// A positive number of at most nine digits at pos; pos moves past it.
std::optional<int> NumberAt(std::string_view line, std::size_t& pos)
{
    const std::size_t start = pos;
    int value = 0;
    while (pos < line.size() && IsDigit(line[pos])) {
        if (pos - start == 9)
            return std::nullopt;
        value = value * 10 + (line[pos] - '0');
        ++pos;
    }
    if (pos == start || value == 0)
        return std::nullopt;
    return value;
}

// "kind:" at pos and the blank after it; pos moves past them.
std::optional<TMessageKind> KindAt(std::string_view line, std::size_t& pos, bool capitalNote)
{
    struct TWord {
        std::string_view Word;
        TMessageKind Kind;
    };
    static constexpr TWord Words[] = {{"error:", TMessageKind::Error},
                                      {"fatal error:", TMessageKind::Error},
                                      {"warning:", TMessageKind::Warning},
                                      {"note:", TMessageKind::Note},
                                      {"Note:", TMessageKind::Note}};
    const std::string_view rest = line.substr(pos);
    for (const TWord& word : Words) {
        if (word.Word == "Note:" && !capitalNote)
            continue;
        if (rest.starts_with(word.Word)) {
            pos += word.Word.size();
            if (pos < line.size() && line[pos] == ' ')
                ++pos;
            return word.Kind;
        }
    }
    return std::nullopt;
}

// "file:line: kind: text" or "file:line:column: kind: text". The first colon
// that starts such a tail ends the file name, which may hold colons and
// blanks of its own ("C:\My Work\A.java").
bool ReadLocated(std::string_view line, TCompilerMessage& message)
{
    for (std::size_t colon = line.find(':', 1); colon != std::string_view::npos; colon = line.find(':', colon + 1)) {
        std::size_t pos = colon + 1;
        const std::optional<int> number = NumberAt(line, pos);
        if (!number || pos >= line.size() || line[pos] != ':')
            continue;
        ++pos;
        int column = 0;
        std::size_t afterColumn = pos;
        if (const std::optional<int> c = NumberAt(line, afterColumn); c && afterColumn < line.size()
                                                                     && line[afterColumn] == ':') {
            column = *c;
            pos = afterColumn + 1;
        }
        if (pos >= line.size() || line[pos] != ' ')
            continue;
        ++pos;
        const std::optional<TMessageKind> kind = KindAt(line, pos, false);
        if (!kind)
            continue;
        message.Kind = *kind;
        message.File = line.substr(0, colon);
        message.Line = *number;
        message.Column = column;
        AppendCut(message.Text, line.substr(pos));
        return true;
    }
    return false;
}

// "error: text", "warning: text", "Note: text": a message about no place.
bool ReadUnlocated(std::string_view line, TCompilerMessage& message)
{
    std::size_t pos = 0;
    const std::optional<TMessageKind> kind = KindAt(line, pos, true);
    if (!kind)
        return false;
    message.Kind = *kind;
    AppendCut(message.Text, line.substr(pos));
    return true;
}

// "1 error", "12 warnings".
bool IsSummary(std::string_view line)
{
    std::size_t pos = 0;
    if (!NumberAt(line, pos))
        return false;
    const std::string_view rest = line.substr(pos);
    return rest == " error" || rest == " errors" || rest == " warning" || rest == " warnings";
}

// Blanks, one caret, blanks: its position is the column in the source line
// above it, whose tabs it repeats, so bytes before it are characters there.
std::optional<int> CaretColumn(std::string_view line)
{
    const std::size_t caret = line.find_first_not_of(" \t");
    if (caret == std::string_view::npos || line[caret] != '^'
        || line.find_first_not_of(" \t", caret + 1) != std::string_view::npos)
        return std::nullopt;
    return static_cast<int>(caret) + 1;
}

bool IsBlank(std::string_view line)
{
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

} // namespace

namespace {

// javac's messages, read a line behind the output: whether a line is quoted
// source shows only in the caret line under it.
class TCompilerParser final : public TMessageParser {
public:
    void Line(std::string_view text, int number) override
    {
        if (hasPending_)
            Read(pending_, pendingNumber_, &text);
        pending_.assign(text);
        pendingNumber_ = number;
        hasPending_ = true;
    }

    void Finish() override
    {
        if (hasPending_)
            Read(pending_, pendingNumber_, nullptr);
        hasPending_ = false;
        Close();
    }

private:
    void Read(std::string_view line, int lineNumber, const std::string_view* next);
    void Close();
    void AddDetail(std::string_view detail, int lineNumber);

    std::string pending_;
    int pendingNumber_ = 0;
    bool hasPending_ = false;
    // The message whose lines are being read, and its detail lines so far;
    // the last of them may turn out to be the quoted source line.
    bool open_ = false;
    std::vector<std::string> details_;
    bool detailsCut_ = false;
};

void TCompilerParser::Close()
{
    if (!open_)
        return;
    TCompilerMessage& message = Messages.back();
    for (const std::string& detail : details_)
        AppendCut(message.Text.append("\n"), detail);
    details_.clear();
    detailsCut_ = false;
    open_ = false;
}

void TCompilerParser::AddDetail(std::string_view detail, int lineNumber)
{
    if (details_.size() < MaxDetails)
        details_.emplace_back(detail.substr(0, MaxTextLine + 4));
    else
        detailsCut_ = true;
    Messages.back().LastLine = lineNumber;
}

void TCompilerParser::Read(std::string_view line, int lineNumber, const std::string_view* next)
{
    if (Messages.size() >= MaxMessages)
        return;
    if (open_) {
        // A quoted source line can look like anything, even like a message;
        // the caret line under it tells.
        const bool quoted = next && CaretColumn(*next).has_value();
        if (const std::optional<int> column = CaretColumn(line)) {
            TCompilerMessage& message = Messages.back();
            if (message.Column == 0)
                message.Column = *column;
            if (!details_.empty() && !detailsCut_)
                details_.pop_back();
            message.LastLine = lineNumber;
            return;
        }
        if (quoted) {
            AddDetail(line, lineNumber);
            return;
        }
    }
    TCompilerMessage message;
    if (ReadLocated(line, message) || ReadUnlocated(line, message)) {
        Close();
        message.FirstLine = message.LastLine = lineNumber;
        Messages.push_back(std::move(message));
        open_ = Messages.size() < MaxMessages;
        return;
    }
    if (IsSummary(line) || IsBlank(line)) {
        Close();
        return;
    }
    if (open_)
        AddDetail(line, lineNumber);
}

// What a Java program's stack traces say: the exception line, and each
// frame line that names a source file and a line.
class TStackTraceParser final : public TMessageParser {
public:
    void Line(std::string_view text, int number) override;

private:
    void Exception(std::string_view text, int number);

    // The exception the frames below belong to.
    std::string exception_;
    // The line before, which heads the frames that follow it when nothing
    // else does (what printStackTrace writes).
    std::string previous_;
    int previousNumber_ = -1;
    bool inTrace_ = false;
};

void TStackTraceParser::Exception(std::string_view text, int number)
{
    exception_.clear();
    AppendCut(exception_, text);
    TCompilerMessage message;
    message.Text = exception_;
    message.FirstLine = message.LastLine = number;
    Messages.push_back(std::move(message));
    inTrace_ = true;
}

void TStackTraceParser::Line(std::string_view text, int number)
{
    if (Messages.size() >= MaxMessages)
        return;
    static constexpr std::string_view Uncaught = "Exception in thread \"";
    static constexpr std::string_view Causes[] = {"Caused by: ", "Suppressed: "};
    const std::size_t start = text.find_first_not_of(" \t");
    const std::string_view line = start == std::string_view::npos ? std::string_view() : text.substr(start);
    const bool wasPrevious = previousNumber_ == number - 1;
    const std::string header = std::move(previous_);
    previous_.clear();
    AppendCut(previous_, text);
    previousNumber_ = number;

    if (line.starts_with(Uncaught)) {
        const std::size_t quote = line.find('"', Uncaught.size());
        if (quote != std::string_view::npos && quote + 2 <= line.size()) {
            Exception(line.substr(std::min(line.size(), quote + 2)), number);
            return;
        }
    }
    for (std::string_view cause : Causes) {
        if (line.starts_with(cause)) {
            Exception(line.substr(cause.size()), number);
            return;
        }
    }
    if (!line.starts_with("at ")) {
        if (!line.starts_with("..."))
            inTrace_ = false;
        return;
    }
    // "at [loader/][module/]pkg.Cls$Inner.method(Cls.java:5)"
    const std::size_t open = line.find('(');
    const std::size_t close = open == std::string_view::npos ? open : line.find(')', open);
    if (close == std::string_view::npos)
        return;
    std::string_view method = line.substr(3, open - 3);
    if (const std::size_t slash = method.rfind('/'); slash != std::string_view::npos)
        method.remove_prefix(slash + 1);
    const std::string_view place = line.substr(open + 1, close - open - 1);
    const std::size_t colon = place.rfind(':');
    if (colon == std::string_view::npos)
        return;
    std::size_t digits = colon + 1;
    const std::optional<int> lineNumber = NumberAt(place, digits);
    const std::string_view file = place.substr(0, colon);
    if (!lineNumber || digits != place.size() || file.empty() || file.find_first_of("/\\") != std::string_view::npos)
        return;
    if (!inTrace_ && wasPrevious && !IsBlank(header) && Messages.size() < MaxMessages)
        Exception(header.substr(0, header.find_last_not_of(" \t") + 1), number - 1);
    // The package's folders under the class path root, then the file.
    const std::size_t methodDot = method.rfind('.');
    const std::string_view className = methodDot == std::string_view::npos ? std::string_view() : method.substr(0, methodDot);
    const std::size_t classDot = className.rfind('.');
    std::string folder;
    if (classDot != std::string_view::npos) {
        folder.assign(className.substr(0, classDot));
        for (char& c : folder)
            if (c == '.')
                c = '/';
        folder += '/';
    }
    TCompilerMessage message;
    message.File = folder + std::string(file);
    message.Line = *lineNumber;
    message.Text = exception_.empty() ? std::string(line) : exception_;
    message.FirstLine = message.LastLine = number;
    if (Messages.size() < MaxMessages)
        Messages.push_back(std::move(message));
    inTrace_ = true;
}

} // namespace

std::unique_ptr<TMessageParser> NewCompilerParser()
{
    return std::make_unique<TCompilerParser>();
}

std::unique_ptr<TMessageParser> NewStackTraceParser()
{
    return std::make_unique<TStackTraceParser>();
}

std::vector<TCompilerMessage> ParseCompilerOutput(std::string_view output)
{
    TCompilerParser parser;
    int lineNumber = 0;
    for (std::size_t pos = 0; pos < output.size() && parser.Messages.size() < MaxMessages; ++lineNumber) {
        const TLine line = LineAt(output, pos);
        pos = line.Next;
        parser.Line(line.Text, lineNumber);
    }
    parser.Finish();
    return std::move(parser.Messages);
}

} // namespace zj

#include "compilermessages.h"

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

std::vector<TCompilerMessage> ParseCompilerOutput(std::string_view output)
{
    std::vector<TCompilerMessage> messages;
    // The message whose lines are being read, and its detail lines so far;
    // the last of them may turn out to be the quoted source line.
    bool open = false;
    std::vector<std::string_view> details;
    bool detailsCut = false;
    auto close = [&] {
        if (!open)
            return;
        TCompilerMessage& message = messages.back();
        for (std::string_view detail : details)
            AppendCut(message.Text.append("\n"), detail);
        details.clear();
        detailsCut = false;
        open = false;
    };
    auto addDetail = [&](std::string_view detail, int lineNumber) {
        if (details.size() < MaxDetails)
            details.push_back(detail);
        else
            detailsCut = true;
        messages.back().LastLine = lineNumber;
    };

    int lineNumber = 0;
    for (std::size_t pos = 0; pos < output.size() && messages.size() < MaxMessages; ++lineNumber) {
        const TLine line = LineAt(output, pos);
        pos = line.Next;
        if (open) {
            // A quoted source line can look like anything, even like a
            // message; the caret line under it tells.
            const bool quoted = pos < output.size() && CaretColumn(LineAt(output, pos).Text).has_value();
            if (const std::optional<int> column = CaretColumn(line.Text)) {
                TCompilerMessage& message = messages.back();
                if (message.Column == 0)
                    message.Column = *column;
                if (!details.empty() && !detailsCut)
                    details.pop_back();
                message.LastLine = lineNumber;
                continue;
            }
            if (quoted) {
                addDetail(line.Text, lineNumber);
                continue;
            }
        }
        TCompilerMessage message;
        if (ReadLocated(line.Text, message) || ReadUnlocated(line.Text, message)) {
            close();
            message.FirstLine = message.LastLine = lineNumber;
            messages.push_back(std::move(message));
            open = true;
            continue;
        }
        if (IsSummary(line.Text) || IsBlank(line.Text)) {
            close();
            continue;
        }
        if (open)
            addDetail(line.Text, lineNumber);
    }
    close();
    return messages;
}

} // namespace zj

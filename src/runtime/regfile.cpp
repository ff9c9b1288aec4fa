#include "regfile.h"

#include "sysutils.h"
#include "textconv.h"

#include <algorithm>
#include <cstdio>

namespace zj {

namespace {

constexpr std::string_view Header = "REGEDIT4";
constexpr std::string_view Bom = "\xEF\xBB\xBF";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsControl(unsigned char c)
{
    return (c < 0x20 && c != '\t') || c == 0x7f;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix)
{
    return s.size() >= prefix.size() && UpperCaseAscii(s.substr(0, prefix.size())) == UpperCaseAscii(prefix);
}

// The line break at the start of text: CR LF, LF, CR, or none.
std::string_view LeadingBreak(std::string_view text)
{
    if (text.starts_with("\r\n"))
        return text.substr(0, 2);
    if (text.starts_with('\n') || text.starts_with('\r'))
        return text.substr(0, 1);
    return {};
}

std::string Quote(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    out += '"';
    return out;
}

// Walks the file one physical line at a time; a value may go on to further
// lines, so the value parser moves it on itself.
class Cursor {
public:
    explicit Cursor(std::string_view text) : text_(text) {}

    // Moves to the next line and checks its characters; false at the end.
    bool NextLine()
    {
        if (next_ >= text_.size())
            return false;
        start_ = next_;
        // A line ends in LF, CR LF or a lone CR, as the writer's lines may.
        end_ = std::min(text_.find_first_of("\r\n", start_), text_.size());
        next_ = end_ + LeadingBreak(text_.substr(end_)).size();
        at_ = start_;
        ++line_;
        std::string_view content = text_.substr(start_, end_ - start_);
        if (content.size() > TRegFile::MaxLineLength)
            Fail("a line is longer than " + std::to_string(TRegFile::MaxLineLength) + " bytes");
        if (!IsValidUtf8(content))
            Fail("the text is not UTF-8");
        for (char c : content)
            if (IsControl(static_cast<unsigned char>(c)))
                Fail("a control character is not allowed");
        return true;
    }

    [[noreturn]] void Fail(const std::string& reason) const { throw ERegFileSyntax(line_, reason); }

    int LineNumber() const { return line_; }
    std::size_t LineStart() const { return start_; }
    std::size_t NextStart() const { return next_; }
    std::string_view Rest() const { return text_.substr(at_, end_ - at_); }
    std::string_view RawLine() const { return text_.substr(start_, next_ - start_); }
    std::string_view LineBreak() const { return text_.substr(end_, next_ - end_); }
    bool AtEnd() const { return at_ >= end_; }
    char Peek() const { return AtEnd() ? '\0' : text_[at_]; }
    void Skip(std::size_t n = 1) { at_ += n; }
    void SkipBlanks()
    {
        while (!AtEnd() && IsBlank(text_[at_]))
            ++at_;
    }

    std::string ReadQuoted()
    {
        std::string result;
        Skip(); // the opening quote
        for (;;) {
            if (AtEnd())
                Fail("a string has no closing quote");
            char c = Peek();
            Skip();
            if (c == '"')
                return result;
            if (c == '\\') {
                char escaped = Peek();
                if (escaped != '\\' && escaped != '"')
                    Fail("a backslash in a string must be doubled");
                Skip();
                c = escaped;
            }
            result += c;
        }
    }

private:
    std::string_view text_;
    std::size_t start_ = 0, end_ = 0, next_ = 0, at_ = 0;
    int line_ = 0;
};

// Two hex digits per byte, separated by commas; a line ending in ",\" goes
// on in the next line.
std::string ReadBytes(Cursor& in)
{
    std::string bytes;
    in.SkipBlanks();
    if (in.AtEnd())
        return bytes;
    for (;;) {
        std::string_view rest = in.Rest();
        int high = rest.size() >= 2 ? HexDigit(rest[0]) : -1;
        int low = rest.size() >= 2 ? HexDigit(rest[1]) : -1;
        if (high < 0 || low < 0)
            in.Fail("a byte must be two hex digits");
        bytes += static_cast<char>(high * 16 + low);
        in.Skip(2);
        in.SkipBlanks();
        if (in.AtEnd())
            return bytes;
        if (in.Peek() != ',')
            in.Fail("bytes must be separated by commas");
        in.Skip();
        in.SkipBlanks();
        if (in.Peek() == '\\') {
            in.Skip();
            in.SkipBlanks();
            if (!in.AtEnd())
                in.Fail("a line may only be continued at its end");
            if (!in.NextLine())
                in.Fail("the file ends inside a list of bytes");
            in.SkipBlanks();
        } else if (in.AtEnd()) {
            in.Fail("a list of bytes ends with a comma");
        }
    }
}

TRegValue ReadData(Cursor& in)
{
    TRegValue value;
    std::string_view rest = in.Rest();
    if (in.Peek() == '"') {
        value.Type = REGT_SZ;
        value.Data = in.ReadQuoted();
        if (value.Data.find('\0') != std::string::npos)
            in.Fail("a string cannot hold a NUL");
        value.Data += '\0';
    } else if (StartsWithNoCase(rest, "dword:")) {
        in.Skip(6);
        rest = in.Rest();
        std::uint32_t number = 0;
        for (std::size_t i = 0; i < 8; ++i) {
            int digit = i < rest.size() ? HexDigit(rest[i]) : -1;
            if (digit < 0)
                in.Fail("a dword must be eight hex digits");
            number = number << 4 | static_cast<std::uint32_t>(digit);
        }
        in.Skip(8);
        value.Type = REGT_DWORD;
        for (int i = 0; i < 4; ++i)
            value.Data += static_cast<char>(number >> (8 * i) & 0xff);
    } else if (StartsWithNoCase(rest, "hex:")) {
        in.Skip(4);
        value.Type = REGT_BINARY;
        value.Data = ReadBytes(in);
    } else if (StartsWithNoCase(rest, "hex(")) {
        in.Skip(4);
        std::uint64_t type = 0;
        int digits = 0;
        for (int digit; (digit = HexDigit(in.Peek())) >= 0; in.Skip(), ++digits)
            type = type << 4 | static_cast<std::uint64_t>(digit);
        if (digits == 0 || digits > 8 || in.Peek() != ')')
            in.Fail("a value type must be hex(N) with N in hex digits");
        in.Skip();
        if (in.Peek() != ':')
            in.Fail("a colon must follow the value type");
        in.Skip();
        value.Type = static_cast<std::uint32_t>(type);
        value.Data = ReadBytes(in);
    } else if (in.Peek() == '-') {
        in.Fail("deleting a value is not supported here");
    } else {
        in.Fail("the value's data is not understood");
    }
    return value;
}

std::string HexBytes(std::string_view data)
{
    std::string out;
    char buffer[4];
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, i == 0 ? "%02x" : ",%02x", static_cast<unsigned char>(data[i]));
        out += buffer;
    }
    return out;
}

} // namespace

TRegFile::TRegFile()
{
    Section preamble;
    preamble.Lines.push_back({std::string(Header) + newline_, false, {}, {}});
    sections_.push_back(std::move(preamble));
}

TRegFile TRegFile::Parse(std::string_view text)
{
    if (text.find_first_not_of(" \t\r\n") == std::string_view::npos)
        return TRegFile();
    TRegFile file;
    file.sections_.assign(1, Section());
    Cursor in(text);
    in.NextLine();
    if (in.Rest().substr(0, Bom.size()) == Bom)
        in.Skip(Bom.size());
    std::string_view first = in.Rest();
    while (!first.empty() && IsBlank(first.back()))
        first.remove_suffix(1);
    if (first != Header)
        in.Fail("the file does not begin with REGEDIT4");
    if (!in.LineBreak().empty())
        file.newline_ = std::string(in.LineBreak());
    file.sections_[0].Lines.push_back({std::string(in.RawLine()), false, {}, {}});

    while (in.NextLine()) {
        in.SkipBlanks();
        const std::size_t start = in.LineStart();
        const char c = in.Peek();
        Section& section = file.sections_.back();
        if (in.AtEnd() || c == ';') {
            section.Lines.push_back({std::string(in.RawLine()), false, {}, {}});
        } else if (c == '[') {
            std::string_view rest = in.Rest();
            std::size_t close = rest.rfind(']');
            if (close == std::string_view::npos)
                in.Fail("a key name has no closing bracket");
            if (rest.substr(close + 1).find_first_not_of(" \t") != std::string_view::npos)
                in.Fail("text follows a key name");
            std::string_view name = rest.substr(1, close - 1);
            if (!name.empty() && name.front() == '-')
                in.Fail("deleting a key is not supported here");
            Section added;
            added.Header = std::string(in.RawLine());
            added.Path = NormalizePath(name);
            if (added.Path.empty())
                in.Fail("a key name is empty");
            added.Folded = UpperCaseAscii(added.Path);
            file.sections_.push_back(std::move(added));
        } else if (c == '"' || c == '@') {
            if (file.sections_.size() == 1)
                in.Fail("a value stands before the first key");
            Line line;
            line.IsValue = true;
            line.Number = in.LineNumber();
            if (c == '@')
                in.Skip();
            else
                line.Name = in.ReadQuoted();
            in.SkipBlanks();
            if (in.Peek() != '=')
                in.Fail("an equals sign must follow the value's name");
            in.Skip();
            in.SkipBlanks();
            line.Value = ReadData(in);
            in.SkipBlanks();
            if (!in.AtEnd())
                in.Fail("text follows the value");
            line.Text = std::string(text.substr(start, in.NextStart() - start));
            section.Lines.push_back(std::move(line));
        } else {
            in.Fail("the line is neither a key, a value nor a comment");
        }
    }
    return file;
}

std::string TRegFile::Text() const
{
    std::string out;
    for (const Section& section : sections_) {
        out += section.Header;
        for (const Line& line : section.Lines)
            out += line.Text;
    }
    return out;
}

std::string TRegFile::NormalizePath(std::string_view path)
{
    std::string result;
    std::size_t at = 0;
    while (at <= path.size()) {
        std::size_t end = path.find('\\', at);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > at) {
            if (!result.empty())
                result += '\\';
            result.append(path.substr(at, end - at));
        }
        at = end + 1;
    }
    return result;
}

bool TRegFile::IsWritableName(std::string_view name)
{
    if (!IsValidUtf8(name))
        return false;
    for (char c : name)
        if (IsControl(static_cast<unsigned char>(c)))
            return false;
    return true;
}

bool TRegFile::KeyExists(std::string_view path) const
{
    const std::string folded = UpperCaseAscii(NormalizePath(path));
    for (std::size_t i = 1; i < sections_.size(); ++i) {
        const std::string& other = sections_[i].Folded;
        if (other.size() >= folded.size() && other.compare(0, folded.size(), folded) == 0
            && (other.size() == folded.size() || other[folded.size()] == '\\'))
            return true;
    }
    return false;
}

const TRegValue* TRegFile::FindValue(std::string_view path, std::string_view name, int* line) const
{
    const std::string folded = UpperCaseAscii(NormalizePath(path));
    const std::string foldedName = UpperCaseAscii(name);
    const Line* found = nullptr;
    for (const Section& section : sections_)
        if (!section.Header.empty() && section.Folded == folded)
            for (const Line& candidate : section.Lines)
                if (candidate.IsValue && UpperCaseAscii(candidate.Name) == foldedName)
                    found = &candidate;
    if (line)
        *line = found ? found->Number : 0;
    return found ? &found->Value : nullptr;
}

void TRegFile::EnsureFinalLineBreak()
{
    Section& last = sections_.back();
    std::string& text = last.Lines.empty() ? last.Header : last.Lines.back().Text;
    if (!text.empty() && text.back() != '\n' && text.back() != '\r')
        text += newline_;
}

std::string TRegFile::BreakBetween(std::string_view before, std::string_view after) const
{
    // A lone CR followed by LF would read back as one CR LF break, joining two
    // lines; CR LF keeps them apart.
    if ((newline_.front() == '\n' && before.ends_with('\r')) || (newline_.back() == '\r' && after.starts_with('\n')))
        return "\r\n";
    return newline_;
}

std::size_t TRegFile::InsertionPoint(const std::string& folded) const
{
    // After the last section of the nearest ancestor's subtree, so that a new
    // key lands among its relatives.
    std::string ancestor = folded;
    for (std::size_t cut; (cut = ancestor.rfind('\\')) != std::string::npos;) {
        ancestor.resize(cut);
        for (std::size_t i = sections_.size(); i-- > 1;) {
            const std::string& other = sections_[i].Folded;
            if (other.compare(0, ancestor.size(), ancestor) == 0
                && (other.size() == ancestor.size() || other[ancestor.size()] == '\\'))
                return i + 1;
        }
    }
    return sections_.size();
}

void TRegFile::AddKey(std::string_view path)
{
    if (!KeyExists(path))
        AddSection(path);
}

TRegFile::Section& TRegFile::AddSection(std::string_view path)
{
    EnsureFinalLineBreak();
    Section added;
    added.Path = NormalizePath(path);
    added.Folded = UpperCaseAscii(added.Path);
    added.Header = "[" + added.Path + "]" + newline_;
    added.Lines.push_back({newline_, false, {}, {}});
    std::size_t at = InsertionPoint(added.Folded);
    // Keep a blank line between sections.
    Section& before = sections_[at - 1];
    const std::string& lastText = before.Lines.empty() ? before.Header : before.Lines.back().Text;
    if (lastText.find_first_not_of(" \t\r\n") != std::string::npos)
        before.Lines.push_back({BreakBetween(lastText, {}), false, {}, {}});
    modified_ = true;
    return *sections_.insert(sections_.begin() + static_cast<std::ptrdiff_t>(at), std::move(added));
}

std::string TRegFile::FormatValue(std::string_view name, const TRegValue& value, std::string_view lineBreak)
{
    std::string out = name.empty() ? "@=" : Quote(name) + "=";
    std::string_view data = value.Data;
    const bool plainString = value.Type == REGT_SZ && !data.empty() && data.back() == '\0'
                             && data.find('\0') == data.size() - 1
                             && IsWritableName(data.substr(0, data.size() - 1));
    if (plainString) {
        out += Quote(data.substr(0, data.size() - 1));
    } else if (value.Type == REGT_DWORD && data.size() == 4) {
        char buffer[16];
        std::uint32_t number = 0;
        for (int i = 3; i >= 0; --i)
            number = number << 8 | static_cast<unsigned char>(data[i]);
        std::snprintf(buffer, sizeof buffer, "dword:%08x", static_cast<unsigned>(number));
        out += buffer;
    } else {
        char buffer[24];
        if (value.Type == REGT_BINARY)
            out += "hex:";
        else {
            std::snprintf(buffer, sizeof buffer, "hex(%x):", static_cast<unsigned>(value.Type));
            out += buffer;
        }
        out += HexBytes(data);
    }
    return out.append(lineBreak);
}

bool TRegFile::SetValue(std::string_view path, std::string_view name, const TRegValue& value)
{
    // Nothing is written that would not read back.
    if (!IsWritableName(name) || FormatValue(name, value, {}).size() > MaxLineLength)
        return false;
    const std::string folded = UpperCaseAscii(NormalizePath(path));
    const std::string foldedName = UpperCaseAscii(name);
    Line* found = nullptr;
    Section* lastSection = nullptr;
    for (Section& section : sections_) {
        if (section.Header.empty() || section.Folded != folded)
            continue;
        lastSection = &section;
        for (Line& line : section.Lines)
            if (line.IsValue && UpperCaseAscii(line.Name) == foldedName)
                found = &line;
    }
    if (found) {
        // An equal value keeps its line as the user wrote it.
        if (found->Value.Type == value.Type && found->Value.Data == value.Data)
            return true;
        // The name keeps the spelling it has in the file, the line its break.
        const std::size_t content = found->Text.find_last_not_of("\r\n") + 1;
        found->Text = FormatValue(found->Name, value, std::string_view(found->Text).substr(content));
        found->Value = value;
        found->Number = 0;
        modified_ = true;
        return true;
    }
    EnsureFinalLineBreak();
    if (!lastSection)
        lastSection = &AddSection(path);
    std::size_t at = 0;
    for (std::size_t i = 0; i < lastSection->Lines.size(); ++i)
        if (lastSection->Lines[i].IsValue)
            at = i + 1;
    const std::string_view after = at < lastSection->Lines.size() ? lastSection->Lines[at].Text : std::string_view();
    lastSection->Lines.insert(lastSection->Lines.begin() + static_cast<std::ptrdiff_t>(at),
                              {FormatValue(name, value, BreakBetween({}, after)), true, std::string(name), value});
    modified_ = true;
    return true;
}

} // namespace zj

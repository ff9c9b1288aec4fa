// The settings file's reader and writer. The input is a file's text; the
// changes made to it are drawn from a generator seeded by the same bytes, so
// every mutation of the text also varies the changes.
//  - What parses is written back byte for byte.
//  - After random changes the written text parses again, gives every value
//    set, keeps every other value, and keeps the comments, blank lines and
//    section headers in their order.

#include "regfile.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

using namespace zj;

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// Lines as the reader splits them: at LF, CR LF or a lone CR.
std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        std::size_t end = std::min(text.find_first_of("\r\n"), text.size());
        lines.push_back(text.substr(0, end));
        end += text.substr(end).starts_with("\r\n") ? 2 : end < text.size() ? 1 : 0;
        text.remove_prefix(end);
    }
    return lines;
}

// Comments, blank lines and section headers: what the writer never changes.
std::vector<std::string_view> Structure(std::string_view text)
{
    std::vector<std::string_view> kept;
    for (std::string_view line : Lines(text)) {
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string_view::npos || line[first] == ';' || line[first] == '[')
            kept.push_back(line);
    }
    return kept;
}

bool IsSubsequence(const std::vector<std::string_view>& part, const std::vector<std::string_view>& whole)
{
    std::size_t at = 0;
    for (std::string_view line : whole)
        if (at < part.size() && line == part[at])
            ++at;
    return at == part.size();
}

// Names that the text seems to hold, to change existing values and keys as
// often as new ones.
void Candidates(std::string_view text, std::vector<std::string>& paths, std::vector<std::string>& names)
{
    for (std::string_view line : Lines(text)) {
        std::size_t open = line.find_first_of("[\"");
        if (open == std::string_view::npos)
            continue;
        std::size_t close = line.find(line[open] == '[' ? ']' : '"', open + 1);
        if (close != std::string_view::npos)
            (line[open] == '[' ? paths : names).emplace_back(line.substr(open + 1, close - open - 1));
    }
}

std::string RandomText(std::mt19937& random)
{
    static const char pieces[][4] = {"a", "Z", " ", "\\", "\"", "]", "[", "=", "@", ";", "\t", "\r", "\n", "\xc3\xa9", "\xff", "0", "-"};
    std::string text;
    for (int n = random() % 6; n > 0; --n)
        text += pieces[random() % std::size(pieces)];
    return text;
}

TRegValue RandomValue(std::mt19937& random)
{
    TRegValue value;
    const std::uint32_t types[] = {REGT_SZ, REGT_SZ, REGT_DWORD, REGT_BINARY, REGT_EXPAND_SZ, REGT_MULTI_SZ, 0, 11, 0xffffffffu};
    value.Type = types[random() % std::size(types)];
    if (value.Type == REGT_DWORD && random() % 4 != 0) {
        value.Data = std::string(4, '\0');
        for (char& c : value.Data)
            c = static_cast<char>(random());
    } else {
        value.Data = RandomText(random);
        if (value.Type == REGT_SZ && random() % 4 != 0)
            value.Data += '\0';
    }
    return value;
}

using Key = std::pair<std::string, std::string>; // path and name, folded

Key Folded(std::string_view path, std::string_view name)
{
    auto upper = [](std::string_view s) {
        std::string out(s);
        for (char& c : out)
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
        return out;
    };
    return {upper(TRegFile::NormalizePath(path)), upper(name)};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TRegFile file;
    try {
        file = TRegFile::Parse(text);
    } catch (const ERegFileSyntax&) {
        return 0;
    }
    const bool blank = text.find_first_not_of(" \t\r\n") == std::string_view::npos;
    Check(blank || file.Text() == text);
    const std::string before = file.Text();

    std::vector<std::string> paths, names;
    Candidates(before, paths, names);
    std::seed_seq seed(data, data + size);
    std::mt19937 random(seed);
    auto pick = [&](const std::vector<std::string>& from) {
        return !from.empty() && random() % 3 != 0 ? from[random() % from.size()] : RandomText(random);
    };
    // Values as they were, for the keys and names the text seems to hold.
    std::map<Key, std::pair<std::pair<std::string, std::string>, TRegValue>> expected;
    for (const std::string& path : paths)
        for (const std::string& name : names)
            if (const TRegValue* value = file.FindValue(path, name))
                expected[Folded(path, name)] = {{path, name}, *value};

    std::vector<std::string> added;
    for (int n = random() % 8; n > 0; --n) {
        // Key paths as the store makes them: a root and writable levels.
        std::string path = "HKEY_CURRENT_USER\\" + pick(paths);
        if (random() % 2 && !paths.empty())
            path = paths[random() % paths.size()];
        if (!TRegFile::IsWritableName(path) || TRegFile::NormalizePath(path).empty())
            continue;
        if (random() % 4 == 0) {
            file.AddKey(path);
            added.push_back(path);
            continue;
        }
        const std::string name = pick(names);
        const TRegValue value = RandomValue(random);
        if (file.SetValue(path, name, value))
            expected[Folded(path, name)] = {{path, name}, value};
        else
            Check(!TRegFile::IsWritableName(name));
    }

    const std::string after = file.Text();
    TRegFile reread;
    try {
        reread = TRegFile::Parse(after);
    } catch (const ERegFileSyntax&) {
        Check(false);
    }
    Check(reread.Text() == after);
    for (const auto& [key, entry] : expected) {
        const TRegValue* value = reread.FindValue(entry.first.first, entry.first.second);
        Check(value && value->Type == entry.second.Type && value->Data == entry.second.Data);
    }
    for (const std::string& path : added)
        Check(reread.KeyExists(path));
    if (!blank)
        Check(IsSubsequence(Structure(before), Structure(after)));
    return 0;
}

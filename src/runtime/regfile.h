#pragma once

#include "registry.h"

#include <string>
#include <string_view>
#include <vector>

namespace zj {

// Raised by TRegFile::Parse; the file store adds the file's name.
class ERegFileSyntax : public Exception {
public:
    ERegFileSyntax(int line, const std::string& reason) : Exception(reason), line_(line) {}
    int Line() const { return line_; }

private:
    int line_;
};

// A registry export file ("REGEDIT4") held so that writing it back changes
// only what was set: every other line, comments and unknown keys included,
// comes back byte for byte. Key paths include the root's name
// ("HKEY_CURRENT_USER\Software"); keys and value names compare without
// regard to ASCII case, as Windows does.
class TRegFile {
public:
    // An empty store: the header line only.
    TRegFile();
    // Raises ERegFileSyntax for anything it cannot read exactly. Empty text
    // (or blanks only) is an empty store.
    static TRegFile Parse(std::string_view text);
    std::string Text() const;
    // Whether SetValue or AddKey has changed anything since Parse.
    bool Modified() const { return modified_; }

    // A key exists when it has a section or a section lies below it.
    bool KeyExists(std::string_view path) const;
    // The last definition in the file wins, as when importing it. line, when
    // given, receives the 1-based line where the value starts in the text
    // parsed (0 for one set since).
    const TRegValue* FindValue(std::string_view path, std::string_view name, int* line = nullptr) const;
    // No line of a store is longer; a longer one is damage, and the parser
    // stops there.
    static constexpr std::size_t MaxLineLength = 64 << 10;
    // Adds an empty section unless the key exists.
    void AddKey(std::string_view path);
    // False when the name cannot be written in the file's syntax, or the
    // value's line would be longer than MaxLineLength.
    bool SetValue(std::string_view path, std::string_view name, const TRegValue& value);

    // Levels joined by single "\"; empty levels dropped.
    static std::string NormalizePath(std::string_view path);
    // Whether each level of a key name, or a value name, can be written
    // (UTF-8, no control characters).
    static bool IsWritableName(std::string_view name);

private:
    struct Line {
        std::string Text; // with its line breaks; a value may span several lines
        bool IsValue = false;
        std::string Name;
        TRegValue Value;
        int Number = 0;
    };
    struct Section {
        std::string Header; // "[...]" with its line break; empty for the lines before the first
        std::string Path;   // normalised
        std::string Folded; // Path in upper case, for comparisons
        std::vector<Line> Lines;
    };

    static std::string FormatValue(std::string_view name, const TRegValue& value, std::string_view lineBreak);
    // The break of a new line between before and after.
    std::string BreakBetween(std::string_view before, std::string_view after) const;
    std::size_t InsertionPoint(const std::string& folded) const;
    Section& AddSection(std::string_view path);
    void EnsureFinalLineBreak();

    std::vector<Section> sections_;
    std::string newline_ = "\n"; // the break of the first line, for new lines
    bool modified_ = false;
};

} // namespace zj

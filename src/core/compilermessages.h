#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zj {

enum class TMessageKind { Error, Warning, Note };

// One message of a compiler's output.
struct TCompilerMessage {
    TMessageKind Kind = TMessageKind::Error;
    // The file as the compiler named it; empty when the message names none.
    std::string File;
    // 1-based; 0 when the message names no line.
    int Line = 0;
    // 1-based, in characters of the line; 0 when unknown.
    int Column = 0;
    // The message, then its detail lines (without the quoted source line and
    // the caret under it), one a line.
    std::string Text;
    // The lines of the output the message takes, 0-based, both included.
    // Lines end at CR LF, LF or a lone CR.
    int FirstLine = 0;
    int LastLine = 0;

    bool Located() const { return !File.empty() && Line > 0; }
};

// Reads javac's messages ("File.java:12: error: text", the quoted source
// line with a caret line giving the column, detail lines, "Note: ..." and
// the "N errors" summary) and the common "file:line:column: kind: text"
// form. Anything else is left out; no input is an error. At most MaxMessages
// are read, in the order of the output; linear in the output's length.
std::vector<TCompilerMessage> ParseCompilerOutput(std::string_view output);

inline constexpr std::size_t MaxMessages = 10000;

// Reads messages out of an output one line at a time, as it arrives; at most
// MaxMessages, in the order of the output.
class TMessageParser {
public:
    virtual ~TMessageParser() = default;
    // The next line of the output (numbered from 0), without its break.
    virtual void Line(std::string_view text, int number) = 0;
    // The output has ended.
    virtual void Finish() {}

    std::vector<TCompilerMessage> Messages;
};

// The messages ParseCompilerOutput reads.
std::unique_ptr<TMessageParser> NewCompilerParser();
// A Java program's stack traces: each exception line ("Exception in thread
// "main" java.lang.X: text", "Caused by: ...", or the line that heads a
// printed trace) is a message of its own, and each frame line with a source
// file and a line ("at pkg.Cls.method(Cls.java:5)") is one with that place,
// its file as the package's folders and the file's name ("pkg/Cls.java"),
// its text the exception's.
std::unique_ptr<TMessageParser> NewStackTraceParser();

} // namespace zj

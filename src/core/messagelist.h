#pragma once

#include "compilermessages.h"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zj {

// The messages of one job's output, read as the output arrives: a compiler's
// messages or a program's stack traces. It numbers the output's lines (CR LF,
// LF or a lone CR ends one), makes the file names full, finds the message of
// a line and steps from message to message.
class TMessageList {
public:
    enum class TSource { Compiler, Program };
    // Makes the full name of a file as a message names it.
    using TResolver = std::function<std::string(const std::string& named)>;

    TMessageList(TSource source, TResolver resolve);

    // The next bytes of the output.
    void Append(std::string_view bytes);
    // The output has ended; its last line need not end with a break.
    void Finish();

    TSource Source() const { return source_; }
    // The messages so far, their file names full.
    const std::vector<TCompilerMessage>& Messages() const { return parser_->Messages; }
    bool AnyLocated() const;
    // The message whose lines hold outputLine, or -1.
    int MessageAtLine(int outputLine) const;

    // The message last gone to, -1 before the first.
    int Current() const { return current_; }
    // Tries the located messages after (direction 1) or before (-1) the
    // current one, round the list, until follow takes one, which becomes the
    // current one; false when none is taken.
    bool Step(int direction, const std::function<bool(int index)>& follow);
    void SetCurrent(int index) { current_ = index; }

    // Lines longer than this are read to here; no message needs more.
    static constexpr std::size_t MaxLine = 64u << 10;

private:
    void EndLine();
    void ResolveNew();

    TSource source_;
    TResolver resolve_;
    std::unique_ptr<TMessageParser> parser_;
    std::string line_;
    bool afterCr_ = false;
    int lineNumber_ = 0;
    std::size_t resolved_ = 0;
    // A name is made full once: a compiler names one file many times.
    std::map<std::string, std::string> full_;
    int current_ = -1;
};

} // namespace zj

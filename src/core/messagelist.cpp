#include "messagelist.h"

#include <algorithm>
#include <map>

namespace zj {

TMessageList::TMessageList(TSource source, TResolver resolve)
    : source_(source), resolve_(std::move(resolve)),
      parser_(source == TSource::Compiler ? NewCompilerParser() : NewStackTraceParser())
{
}

void TMessageList::Append(std::string_view bytes)
{
    for (std::size_t pos = 0; pos < bytes.size();) {
        // A CR LF split between two pieces is one break.
        if (afterCr_ && bytes[pos] == '\n') {
            afterCr_ = false;
            ++pos;
            continue;
        }
        afterCr_ = false;
        const std::size_t end = bytes.find_first_of("\r\n", pos);
        const std::size_t stop = end == std::string_view::npos ? bytes.size() : end;
        if (line_.size() < MaxLine)
            line_.append(bytes.substr(pos, std::min(stop - pos, MaxLine - line_.size())));
        if (end == std::string_view::npos)
            break;
        afterCr_ = bytes[end] == '\r';
        EndLine();
        pos = end + 1;
    }
    ResolveNew();
}

void TMessageList::Finish()
{
    if (!line_.empty())
        EndLine();
    parser_->Finish();
    ResolveNew();
}

void TMessageList::EndLine()
{
    parser_->Line(line_, lineNumber_++);
    line_.clear();
}

void TMessageList::ResolveNew()
{
    std::vector<TCompilerMessage>& messages = parser_->Messages;
    for (; resolved_ < messages.size(); ++resolved_) {
        std::string& file = messages[resolved_].File;
        if (file.empty())
            continue;
        auto known = full_.find(file);
        if (known == full_.end())
            known = full_.emplace(file, resolve_(file)).first;
        file = known->second;
    }
}

bool TMessageList::AnyLocated() const
{
    const std::vector<TCompilerMessage>& messages = Messages();
    return std::any_of(messages.begin(), messages.end(), [](const TCompilerMessage& m) { return m.Located(); });
}

int TMessageList::MessageAtLine(int outputLine) const
{
    const std::vector<TCompilerMessage>& messages = Messages();
    auto after = std::upper_bound(messages.begin(), messages.end(), outputLine,
                                  [](int line, const TCompilerMessage& message) { return line < message.FirstLine; });
    if (after == messages.begin())
        return -1;
    const auto index = static_cast<int>(after - messages.begin()) - 1;
    return outputLine <= messages[index].LastLine ? index : -1;
}

bool TMessageList::Step(int direction, const std::function<bool(int)>& follow)
{
    const int count = static_cast<int>(Messages().size());
    const int from = current_ < 0 && direction < 0 ? count : current_;
    for (int step = 1; step <= count; ++step) {
        const int index = ((from + direction * step) % count + count) % count;
        if (Messages()[index].Located() && follow(index)) {
            current_ = index;
            return true;
        }
    }
    return false;
}

} // namespace zj

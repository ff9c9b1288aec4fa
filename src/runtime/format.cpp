#include "format.h"

#include "exceptions.h"
#include "sysutils.h"

#include <algorithm>
#include <climits>

namespace zj {

namespace {

// Formats come from the settings file too: a width there must not make the
// program allocate without bound. No message or command line needs a field
// wider than the longest path (4096 bytes on Linux).
constexpr int MaxField = 4096;

[[noreturn]] void RaiseInvalid(std::string_view format)
{
    throw EConvertError(FormatMessage("Format '%s' invalid or incompatible with argument", format));
}

[[noreturn]] void RaiseMissing(std::string_view format)
{
    throw EConvertError(FormatMessage("No argument for format '%s'", format));
}

class Directive {
public:
    Directive(std::string_view format, std::size_t at, std::size_t& argIndex)
        : format_(format), at_(at), argIndex_(argIndex)
    {
    }

    std::size_t Next() const { return at_; }

    // Digits, or "*" for a number taken from the arguments; -1 when neither.
    int Number()
    {
        if (at_ < format_.size() && format_[at_] == '*') {
            ++at_;
            // The one argument is a string, never the integer "*" asks for.
            if (argIndex_++ >= 1)
                RaiseMissing(format_);
            RaiseInvalid(format_);
        }
        if (at_ >= format_.size() || format_[at_] < '0' || format_[at_] > '9')
            return -1;
        long long value = 0;
        while (at_ < format_.size() && format_[at_] >= '0' && format_[at_] <= '9') {
            value = value * 10 + (format_[at_++] - '0');
            if (value > INT_MAX)
                RaiseInvalid(format_);
        }
        return static_cast<int>(value);
    }

    bool Skip(char c)
    {
        if (at_ < format_.size() && format_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }

    char Type()
    {
        if (at_ >= format_.size())
            RaiseInvalid(format_);
        return format_[at_++];
    }

private:
    std::string_view format_;
    std::size_t at_;
    std::size_t& argIndex_;
};

} // namespace

std::string Format(std::string_view format, std::string_view arg, std::vector<TTextSpan>* spans)
{
    std::string result;
    result.reserve(format.size() + arg.size());
    std::size_t argIndex = 0;
    std::size_t at = 0;
    while (at < format.size()) {
        const std::size_t percent = format.find('%', at);
        result.append(format.substr(at, percent == std::string_view::npos ? std::string_view::npos : percent - at));
        if (percent == std::string_view::npos)
            break;
        if (percent + 1 < format.size() && format[percent + 1] == '%') {
            result += '%';
            at = percent + 2;
            continue;
        }
        Directive directive(format, percent + 1, argIndex);
        int width = directive.Number();
        if (directive.Skip(':')) {
            argIndex = width < 0 ? 0 : static_cast<std::size_t>(width);
            width = -1;
        }
        const bool left = directive.Skip('-');
        if (width < 0)
            width = directive.Number();
        const int precision = directive.Skip('.') ? std::max(directive.Number(), 0) : -1;
        const char type = directive.Type();
        // The argument is looked at before the type, so a directive past the
        // one argument is missing its argument whatever its type.
        if (argIndex++ >= 1)
            RaiseMissing(format);
        if ((type != 's' && type != 'S') || width > MaxField || precision > MaxField)
            RaiseInvalid(format);
        std::string_view text = arg;
        if (precision >= 0 && static_cast<std::size_t>(precision) < text.size())
            text = text.substr(0, static_cast<std::size_t>(precision));
        const std::size_t padding = width > 0 && static_cast<std::size_t>(width) > text.size()
                                        ? static_cast<std::size_t>(width) - text.size()
                                        : 0;
        if (!left)
            result.append(padding, ' ');
        if (spans)
            spans->push_back({result.size(), text.size()});
        result.append(text);
        if (left)
            result.append(padding, ' ');
        at = directive.Next();
    }
    return result;
}

} // namespace zj

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zj {

// Every line break (CR LF, a lone CR, a lone LF) becomes CR LF; every other
// byte, NUL included, stays as it is.
std::string ToCrLf(std::string_view text);

// ToCrLf over a text that comes in pieces, so that a large text never needs
// to be held whole: a CR at the end of one piece and an LF at the start of
// the next are one break.
class TCrLfConverter {
public:
    // Appends the piece, its line breaks made CR LF, to out.
    void Append(std::string_view piece, std::string& out);
    // The bytes Append would add for the piece (and the state it would leave).
    std::size_t Measure(std::string_view piece);
    // The longest line of the pieces measured so far, its break not counted.
    std::size_t LongestLine() const { return longestLine_ > line_ ? longestLine_ : line_; }

private:
    template <class Emit>
    void Scan(std::string_view piece, Emit emit);

    // The piece before ended in a CR, already written as CR LF.
    bool afterCr_ = false;
    std::size_t line_ = 0, longestLine_ = 0;
};

// The size of ToCrLf(text), without making it.
std::size_t CrLfSize(std::string_view text);

// Whether ToCrLf would leave text as it is: every line break is CR LF and
// none is cut short at the end. Far quicker than a conversion.
bool HoldsOnlyCrLf(std::string_view text);

// True when text is well-formed UTF-8 (no overlong forms, no surrogates).
bool IsValidUtf8(std::string_view text);

// IsValidUtf8 over a text that comes in pieces: a character split between
// two pieces is checked whole.
class TUtf8Checker {
public:
    void Add(std::string_view piece);
    // Whether everything added so far is well-formed and ends on a whole
    // character.
    bool Valid() const { return valid_ && pendingLength_ == 0; }

private:
    bool valid_ = true;
    // The start of a character that the next piece completes.
    unsigned char pending_[4] = {};
    int pendingLength_ = 0;
};

} // namespace zj

#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zj {

// The line break a document writes: CR LF unless its file broke its first
// line with a lone LF.
enum class TLineBreak { CrLf, Lf };

// The offset of the first CR or LF in text, or npos.
std::size_t FindLineBreak(std::string_view text);

// CrLf, or Lf when the first line break of text is a lone LF.
TLineBreak FirstLineBreak(std::string_view text);

// Every line break (CR LF, a lone CR, a lone LF) becomes CR LF; every other
// byte, NUL included, stays as it is.
std::string ToCrLf(std::string_view text);

// Makes every line break (CR LF, a lone CR, a lone LF) of a text that comes in
// pieces the one given, so that a large text never needs to be held whole: a
// CR at the end of one piece and an LF at the start of the next are one break.
// Every other byte, NUL included, stays as it is.
class TLineBreakConverter {
public:
    explicit TLineBreakConverter(TLineBreak to = TLineBreak::CrLf) : to_(to) {}
    // Appends the piece, its line breaks converted, to out.
    void Append(std::string_view piece, std::string& out);
    // The bytes Append would add for the piece (and the state it would leave).
    std::size_t Measure(std::string_view piece);
    // The longest line of the pieces measured so far, its break not counted.
    std::size_t LongestLine() const { return longestLine_ > line_ ? longestLine_ : line_; }
    // Whether the pieces so far hold a break of another kind, so that the
    // conversion changes them.
    bool Changes() const { return changes_ || afterCr_; }

private:
    template <class Emit>
    void Scan(std::string_view piece, Emit emit);

    TLineBreak to_;
    // The piece before ended in a CR, already written as a whole break.
    bool afterCr_ = false;
    bool changes_ = false;
    std::size_t line_ = 0, longestLine_ = 0;
};

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

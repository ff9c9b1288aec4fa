#include "textconv.h"

#include <cstdint>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zj {

namespace {

// The first CR or LF in [p, end), or end. Eight bytes at a time: almost every
// byte of a text is neither.
const char* FindBreak(const char* p, const char* end)
{
    constexpr std::uint64_t Ones = 0x0101010101010101ull;
    constexpr std::uint64_t Highs = 0x8080808080808080ull;
    while (end - p >= 8) {
        std::uint64_t block;
        std::memcpy(&block, p, 8);
        const std::uint64_t cr = block ^ (Ones * '\r');
        const std::uint64_t lf = block ^ (Ones * '\n');
        // Nonzero exactly when cr or lf has a zero byte.
        if ((((cr - Ones) & ~cr) | ((lf - Ones) & ~lf)) & Highs)
            break;
        p += 8;
    }
    while (p < end && *p != '\r' && *p != '\n')
        ++p;
    return p;
}

} // namespace

std::size_t FindLineBreak(std::string_view text)
{
    const std::size_t at = static_cast<std::size_t>(FindBreak(text.data(), text.data() + text.size()) - text.data());
    return at < text.size() ? at : std::string_view::npos;
}

TLineBreak FirstLineBreak(std::string_view text)
{
    const std::size_t at = FindLineBreak(text);
    return at != std::string_view::npos && text[at] == '\n' ? TLineBreak::Lf : TLineBreak::CrLf;
}

template <class Emit>
void TLineBreakConverter::Scan(std::string_view piece, Emit emit)
{
    const char* p = piece.data();
    const char* const end = p + piece.size();
    if (p == end)
        return;
    if (afterCr_) {
        // The CR before was a lone one unless this LF completes it.
        if (*p == '\n')
            ++p;
        else
            changes_ = true;
    }
    afterCr_ = false;
    while (p < end) {
        // A run without breaks, then the break that ends it.
        const char* run = p;
        p = FindBreak(p, end);
        const bool lineBreak = p < end;
        emit(std::string_view(run, static_cast<std::size_t>(p - run)), lineBreak);
        if (!lineBreak)
            break;
        if (*p == '\r' && p + 1 < end && p[1] == '\n') {
            changes_ |= to_ != TLineBreak::CrLf;
            ++p;
        } else if (*p == '\r' && p + 1 == end) {
            afterCr_ = true;
            changes_ |= to_ != TLineBreak::CrLf;
        } else {
            changes_ |= *p == '\r' || to_ != TLineBreak::Lf;
        }
        ++p;
    }
}

void TLineBreakConverter::Append(std::string_view piece, std::string& out)
{
    const std::string_view lineBreak = to_ == TLineBreak::CrLf ? std::string_view("\r\n", 2) : std::string_view("\n", 1);
    Scan(piece, [&out, lineBreak](std::string_view run, bool atBreak) {
        out.append(run);
        if (atBreak)
            out.append(lineBreak);
    });
}

std::size_t TLineBreakConverter::Measure(std::string_view piece)
{
    const std::size_t breakSize = to_ == TLineBreak::CrLf ? 2 : 1;
    std::size_t size = 0;
    Scan(piece, [&](std::string_view run, bool atBreak) {
        size += run.size() + (atBreak ? breakSize : 0);
        line_ += run.size();
        if (atBreak) {
            longestLine_ = LongestLine();
            line_ = 0;
        }
    });
    return size;
}

std::string ToCrLf(std::string_view text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 32 + 16);
    TLineBreakConverter().Append(text, out);
    return out;
}

bool HoldsOnlyCrLf(std::string_view text)
{
    const char* p = text.data();
    const char* const end = p + text.size();
#ifdef __SSE2__
    // Sixteen bytes at a time, with no stop at each line: the LFs of a block
    // must be exactly the bytes after its CRs (the first after a CR that
    // ended the block before).
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    unsigned carry = 0;
    for (; end - p >= 16; p += 16) {
        const __m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const auto crs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, cr)));
        const auto lfs = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(block, lf)));
        if ((((crs << 1) | carry) & 0xFFFFu) != lfs)
            return false;
        carry = crs >> 15;
    }
    if (carry) {
        if (p == end || *p != '\n')
            return false;
        ++p;
    }
#endif
    for (p = FindBreak(p, end); p < end; p = FindBreak(p + 2, end))
        if (*p != '\r' || end - p < 2 || p[1] != '\n')
            return false;
    return true;
}

namespace {

// The length of the character that starts with this byte: 0 for a byte that
// starts none (a continuation byte, or one no well-formed text holds).
int Utf8Length(unsigned char lead)
{
    return lead < 0x80 ? 1 : lead < 0xC2 ? 0 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : lead <= 0xF4 ? 4 : 0;
}

// Checks [p, end) and moves p past what it checked: to end, or to the start
// of a character that end cuts short. False on a malformed character.
bool CheckUtf8(const unsigned char*& p, const unsigned char* end)
{
    while (p < end) {
        // ASCII runs dominate source files: test eight bytes at a time.
        while (end - p >= 8) {
            std::uint64_t block;
            std::memcpy(&block, p, 8);
            if (block & 0x8080808080808080ull)
                break;
            p += 8;
        }
        if (p == end)
            break;
        const int length = Utf8Length(*p);
        if (length == 0)
            return false;
        if (length == 1) {
            ++p;
            continue;
        }
        if (end - p < length)
            return true;
        std::uint32_t cp = *p & (0x7F >> length);
        for (int i = 1; i < length; ++i) {
            if ((p[i] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if ((length == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF)))
            || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        p += length;
    }
    return true;
}

} // namespace

bool IsValidUtf8(std::string_view text)
{
    TUtf8Checker checker;
    checker.Add(text);
    return checker.Valid();
}

void TUtf8Checker::Add(std::string_view piece)
{
    const auto* p = reinterpret_cast<const unsigned char*>(piece.data());
    const auto* const end = p + piece.size();
    if (!valid_)
        return;
    if (pendingLength_ > 0) {
        const int length = Utf8Length(pending_[0]);
        while (pendingLength_ < length && p < end)
            pending_[pendingLength_++] = *p++;
        if (pendingLength_ < length)
            return;
        const unsigned char* whole = pending_;
        pendingLength_ = 0;
        valid_ = CheckUtf8(whole, pending_ + length);
        if (!valid_)
            return;
    }
    valid_ = CheckUtf8(p, end);
    pendingLength_ = valid_ ? static_cast<int>(end - p) : 0;
    for (int i = 0; i < pendingLength_; ++i)
        pending_[i] = p[i];
}

} // namespace zj

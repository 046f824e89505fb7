#include "Kes/String.h"

#include "Kes/Errors.h"

namespace Kes {
namespace {

constexpr char32_t kReplacement = 0xFFFD;
constexpr char32_t kMaxCodePoint = 0x10FFFF;
// A byte that is not part of well-formed UTF-8 stands for itself as a lone
// low surrogate U+DC80..U+DCFF ("surrogate escape"), so any file name, read
// from a folder or typed, converts to UTF-16 and back to the same bytes.
constexpr char32_t kEscapeBase = 0xDC00;
constexpr char32_t kFirstEscape = 0xDC80;
constexpr char32_t kLastEscape = 0xDCFF;

bool IsSurrogate(char32_t c) { return c >= 0xD800 && c <= 0xDFFF; }
bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// The length of the well-formed UTF-8 sequence at text[i], with its code
// point in c; 0 when there is none.
std::size_t DecodeSequence(std::string_view text, std::size_t i, char32_t& c) {
  const auto lead = static_cast<unsigned char>(text[i]);
  c = lead;
  if (lead < 0x80) return 1;
  int extra = 0;
  char32_t minimum = 0;
  if ((lead & 0xE0) == 0xC0) {
    extra = 1, c = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    extra = 2, c = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    extra = 3, c = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  for (int k = 1; k <= extra; ++k) {
    if (i + k >= text.size() || !IsContinuation(static_cast<unsigned char>(text[i + k]))) return 0;
    c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
  }
  if (c < minimum || c > kMaxCodePoint || IsSurrogate(c)) return 0;
  return std::size_t(extra) + 1;
}

// Decodes one code point at text[i] and advances i past it; a byte that does
// not start a well-formed sequence becomes its escape and is passed alone.
char32_t DecodeUtf8(std::string_view text, std::size_t& i) {
  char32_t c = 0;
  const std::size_t length = DecodeSequence(text, i, c);
  if (length == 0) return kEscapeBase + static_cast<unsigned char>(text[i++]);
  i += length;
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

CUnicodeString::CUnicodeString(const char16_t* text) : m_text(text ? text : u"") {}
CUnicodeString::CUnicodeString(const char16_t* text, std::size_t length) : m_text(text, length) {}
CUnicodeString::CUnicodeString(std::u16string_view text) : m_text(text.data(), text.size()) {}

CUnicodeString CUnicodeString::FromUtf8(std::string_view utf8) {
  CUnicodeString result;
  result.m_text.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) {
    const char32_t c = DecodeUtf8(utf8, i);
    if (c < 0x10000) {
      result.m_text += static_cast<char16_t>(c);
      continue;
    }
    const char32_t v = c - 0x10000;
    result.m_text += static_cast<char16_t>(0xD800 + (v >> 10));
    result.m_text += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
  }
  return result;
}

std::string CUnicodeString::ToUtf8() const {
  std::string out;
  out.reserve(m_text.size());
  for (std::size_t i = 0; i < m_text.size(); ++i) {
    const char32_t unit = m_text[i];
    const bool high = unit >= 0xD800 && unit <= 0xDBFF;
    const bool pairs = high && i + 1 < m_text.size() && m_text[i + 1] >= 0xDC00 && m_text[i + 1] <= 0xDFFF;
    if (pairs) {
      AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (m_text[++i] - 0xDC00));
      continue;
    }
    if (unit >= kFirstEscape && unit <= kLastEscape) out += static_cast<char>(unit - kEscapeBase);
    else AppendUtf8(out, IsSurrogate(unit) ? kReplacement : unit);
  }
  return out;
}

CUnicodeString& CUnicodeString::operator+=(const CUnicodeString& other) {
  m_text += other.m_text;
  return *this;
}

CUnicodeString& CUnicodeString::operator+=(char16_t unit) {
  m_text += unit;
  return *this;
}

CUnicodeString UnicodeStr(std::int64_t value, int radix) {
  if (radix < 2 || radix > 36) RaiseInternal(Sites::FormatArgument, radix);
  char16_t digits[66];
  int at = 66;
  // Work on the magnitude as unsigned so INT64_MIN renders too.
  std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  do {
    const auto digit = static_cast<int>(magnitude % static_cast<unsigned>(radix));
    digits[--at] = static_cast<char16_t>(digit < 10 ? u'0' + digit : u'a' + digit - 10);
    magnitude /= static_cast<unsigned>(radix);
  } while (magnitude != 0);
  if (value < 0) digits[--at] = u'-';
  return CUnicodeString(digits + at, static_cast<std::size_t>(66 - at));
}

CUnicodeString FormatArgs(const char16_t* format, std::initializer_list<CFormatArg> args) {
  CUnicodeString out;
  const CFormatArg* next = args.begin();
  for (const char16_t* p = format; *p; ++p) {
    if (*p != u'%') {
      out += *p;
      continue;
    }
    const char16_t directive = *++p;
    if (directive == u'%') {
      out += u'%';
      continue;
    }
    const bool wantsText = directive == u's';
    if ((directive != u'd' && !wantsText) || next == args.end() || next->IsText() != wantsText)
      RaiseInternal(Sites::FormatArgument, p - format);
    out += wantsText ? CUnicodeString(next->Text()) : UnicodeStr(next->Number(), 10);
    ++next;
  }
  return out;
}

}  // namespace Kes

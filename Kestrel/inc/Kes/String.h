#pragma once
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "Kes/Export.h"
#include "Kes/Memory.h"

namespace Kes {

// Text as UTF-16 code units. Conversion to UTF-8 happens only at the system
// and terminal boundaries (file names, printing).
class KES_API CUnicodeString {
public:
  using Storage = std::basic_string<char16_t, std::char_traits<char16_t>, CAllocator<char16_t>>;

  CUnicodeString() = default;
  CUnicodeString(const char16_t* text);
  CUnicodeString(const char16_t* text, std::size_t length);
  CUnicodeString(std::u16string_view text);

  // Each byte that is not part of well-formed UTF-8 becomes a lone surrogate
  // U+DC80..U+DCFF, which ToUtf8 turns back into that byte: any byte string
  // (a file name that is not UTF-8) round-trips.
  static CUnicodeString FromUtf8(std::string_view utf8);
  // Other unpaired surrogates become U+FFFD.
  std::string ToUtf8() const;

  const char16_t* c_str() const noexcept { return m_text.c_str(); }
  std::size_t Length() const noexcept { return m_text.size(); }
  bool IsEmpty() const noexcept { return m_text.empty(); }
  std::u16string_view View() const noexcept { return {m_text.data(), m_text.size()}; }
  char16_t operator[](std::size_t i) const { return m_text[i]; }

  CUnicodeString& operator+=(const CUnicodeString& other);
  CUnicodeString& operator+=(char16_t unit);
  friend CUnicodeString operator+(CUnicodeString a, const CUnicodeString& b) { return a += b; }
  bool operator==(const CUnicodeString& other) const noexcept { return m_text == other.m_text; }
  bool operator==(const char16_t* other) const noexcept { return View() == std::u16string_view(other); }
  bool operator<(const CUnicodeString& other) const noexcept { return m_text < other.m_text; }

private:
  Storage m_text;
};

// Renders value in the given radix (2 to 36); 10 is what the module uses.
KES_API CUnicodeString UnicodeStr(std::int64_t value, int radix);

// One argument of Format: "%d" takes an integer, "%s" a string.
class CFormatArg {
public:
  CFormatArg(int v) noexcept : m_isText(false), m_number(v) {}
  CFormatArg(long v) noexcept : m_isText(false), m_number(v) {}
  CFormatArg(long long v) noexcept : m_isText(false), m_number(v) {}
  CFormatArg(unsigned v) noexcept : m_isText(false), m_number(v) {}
  CFormatArg(const CUnicodeString& v) noexcept : m_isText(true), m_text(v.View()) {}
  CFormatArg(const char16_t* v) noexcept : m_isText(true), m_text(v) {}
  bool IsText() const noexcept { return m_isText; }
  std::int64_t Number() const noexcept { return m_number; }
  std::u16string_view Text() const noexcept { return m_text; }

private:
  bool m_isText;
  std::int64_t m_number = 0;
  std::u16string_view m_text;
};

// "%d" and "%s" take the next argument, "%%" is a percent sign. A directive
// without a matching argument is an internal error.
KES_API CUnicodeString FormatArgs(const char16_t* format, std::initializer_list<CFormatArg> args);
template <class... A>
CUnicodeString Format(const char16_t* format, const A&... args) {
  return FormatArgs(format, {CFormatArg(args)...});
}

}  // namespace Kes

#include "Json.h"

#include <cstdio>

namespace BmpTool {
namespace {

// A byte that is not UTF-8 is carried through nlohmann as this control
// character and two hex digits; the character itself is doubled. The dump
// escapes the character as kMarkerEscape, which the printer then rewrites.
constexpr char kMarker = '\x01';
constexpr std::string_view kMarkerEscape = "\\u0001";
constexpr std::string_view kSurrogateEscape = "\\udc";
constexpr const char* kHexDigits = "0123456789abcdef";

// Length of the well-formed UTF-8 sequence at text[i], or 0.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  std::uint32_t low = 0;  // the least code point of that length: no overlong forms
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) length = 2, low = 0x80;
  else if (lead >= 0xE0 && lead <= 0xEF) length = 3, low = 0x800;
  else if (lead >= 0xF0 && lead <= 0xF4) length = 4, low = 0x10000;
  else return 0;
  if (i + length > text.size()) return 0;
  std::uint32_t code = lead & (0x7Fu >> length);
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    code = (code << 6) | (byte(i + k) & 0x3F);
  }
  const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
  return code < low || code > 0x10FFFF || surrogate ? 0 : length;
}

std::string Marked(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = Utf8Length(text, i);
    if (length == 0) {
      const auto byte = static_cast<unsigned char>(text[i++]);
      out += {kMarker, kHexDigits[byte >> 4], kHexDigits[byte & 0xF]};
      continue;
    }
    if (text[i] == kMarker) out += kMarker;
    out.append(text, i, length);
    i += length;
  }
  return out;
}

void MarkStrings(CJson& value) {
  if (value.is_string()) {
    value = Marked(value.get_ref<const std::string&>());
    return;
  }
  if (!value.is_structured()) return;
  for (CJson& member : value) MarkStrings(member);
}

// The dump with each marked byte written as its surrogate escape.
std::string Unmarked(const std::string& dump) {
  std::string out;
  for (std::size_t i = 0; i < dump.size(); ++i) {
    if (dump[i] != '\\') {
      out += dump[i];
      continue;
    }
    if (dump.compare(i, kMarkerEscape.size(), kMarkerEscape) != 0) {
      out.append(dump, i, 2);  // any other escape, \\ included, is kept whole
      ++i;
      continue;
    }
    i += kMarkerEscape.size();
    if (dump.compare(i, kMarkerEscape.size(), kMarkerEscape) == 0) {
      out += kMarkerEscape;  // the doubled character stands for itself
      i += kMarkerEscape.size() - 1;
    } else {
      out += kSurrogateEscape;
      out.append(dump, i, 2);
      i += 1;
    }
  }
  return out;
}

}  // namespace

CJson ErrorJson(const Kes::CException& error) {
  CJson parameters = CJson::array();
  for (int i = 1; i <= 3; ++i) parameters.push_back(error.Param(i).ToUtf8());
  CJson json{{"id", error.ErrorId()},
             {"parameters", parameters},
             {"message", error.Message().ToUtf8()},
             {"internal", error.IsInternal()}};
  if (error.IsInternal()) json.update({{"source", error.SourceFile()}, {"line", error.Line()}});
  return json;
}

std::string JsonText(const CJson& value) {
  CJson marked = value;
  MarkStrings(marked);
  return Unmarked(marked.dump());
}

void PrintJsonArray(const std::vector<CJson>& values) {
  std::fputs("[", stdout);
  for (std::size_t i = 0; i < values.size(); ++i) std::printf("%s\n  %s", i ? "," : "", JsonText(values[i]).c_str());
  std::fputs(values.empty() ? "]\n" : "\n]\n", stdout);
}

}  // namespace BmpTool

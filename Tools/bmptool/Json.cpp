#include "Json.h"

#include <cstdio>

namespace BmpTool {
namespace {

constexpr const char* kReplacement = "\\ufffd";

// Length of the well-formed UTF-8 sequence at text[i], or 0.
std::size_t Utf8Length(const std::string& text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  std::size_t length = 0;
  std::uint32_t low = 0;  // the least code point of that length: no overlong forms
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

}  // namespace

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80) {
      const std::size_t length = Utf8Length(text, i);
      if (length == 0) {
        out += kReplacement;
        ++i;
      } else {
        out.append(text, i, length);
        i += length;
      }
      continue;
    }
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += static_cast<char>(c);
        }
    }
    ++i;
  }
  return out + "\"";
}

CJsonObject& CJsonObject::AddRaw(const char* key, const std::string& json) {
  if (!m_members.empty()) m_members += ", ";
  m_members += JsonString(key) + ": " + json;
  return *this;
}

CJsonObject& CJsonObject::Add(const char* key, const std::string& value) { return AddRaw(key, JsonString(value)); }
CJsonObject& CJsonObject::Add(const char* key, std::int64_t value) { return AddRaw(key, std::to_string(value)); }
CJsonObject& CJsonObject::Add(const char* key, bool value) { return AddRaw(key, value ? "true" : "false"); }
CJsonObject& CJsonObject::AddNull(const char* key) { return AddRaw(key, "null"); }

CJsonObject ErrorJson(const Kes::CException& error) {
  std::string parameters = "[";
  for (int i = 1; i <= 3; ++i) parameters += (i > 1 ? ", " : "") + JsonString(error.Param(i).ToUtf8());
  CJsonObject json;
  json.Add("id", error.ErrorId()).AddRaw("parameters", parameters + "]").Add("message", error.Message().ToUtf8());
  json.Add("internal", error.IsInternal());
  if (error.IsInternal()) json.Add("source", error.SourceFile()).Add("line", std::int64_t{error.Line()});
  return json;
}

void PrintJsonArray(const std::vector<CJsonObject>& objects) {
  std::fputs("[", stdout);
  for (std::size_t i = 0; i < objects.size(); ++i) {
    std::printf("%s\n  %s", i ? "," : "", objects[i].Text().c_str());
  }
  std::fputs(objects.empty() ? "]\n" : "\n]\n", stdout);
}

}  // namespace BmpTool

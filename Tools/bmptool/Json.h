#pragma once
// The small JSON the tool prints: objects with keys in the order added,
// arrays of them, and strings valid for any input bytes.
#include <cstdint>
#include <string>
#include <vector>

#include "Kes/Errors.h"

namespace BmpTool {

// A JSON string literal. Bytes that are not UTF-8 become U+FFFD, so any file
// name gives valid JSON.
std::string JsonString(const std::string& text);

class CJsonObject {
public:
  CJsonObject& Add(const char* key, const std::string& value);
  CJsonObject& Add(const char* key, const char* value) { return Add(key, std::string(value)); }
  CJsonObject& Add(const char* key, std::int64_t value);
  CJsonObject& Add(const char* key, bool value);
  CJsonObject& AddNull(const char* key);
  CJsonObject& Add(const char* key, const CJsonObject& value) { return AddRaw(key, value.Text()); }
  CJsonObject& AddRaw(const char* key, const std::string& json);
  std::string Text() const { return "{" + m_members + "}"; }

private:
  std::string m_members;
};

// {"id", "parameters", "message", "internal"} and, for internal errors, where.
CJsonObject ErrorJson(const Kes::CException& error);

// Prints the objects as one JSON array, one object per line.
void PrintJsonArray(const std::vector<CJsonObject>& objects);

}  // namespace BmpTool

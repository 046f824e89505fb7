#pragma once
// The tool's JSON: nlohmann/json values with keys in the order added, printed
// so that any bytes in a string (file names are not always UTF-8) give valid
// JSON: bytes that are not UTF-8 become the escapes \udc80 to \udcff, which
// decoders with "surrogate escapes" (Python's os.fsencode) turn back into the
// original bytes.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Kes/Errors.h"

namespace BmpTool {

using CJson = nlohmann::ordered_json;

// {"id", "parameters", "message", "internal"} and, for internal errors, "source" and "line".
CJson ErrorJson(const Kes::CException& error);

// The value as JSON text on one line.
std::string JsonText(const CJson& value);

// Prints the values as one JSON array, one value per line.
void PrintJsonArray(const std::vector<CJson>& values);

}  // namespace BmpTool

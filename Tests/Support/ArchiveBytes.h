#pragma once
// Storing an object into bytes and loading it back, for archive-form tests.
#include <cstdint>
#include <functional>
#include <vector>

#include "Kes/Archive.h"
#include "Kes/File.h"
#include "Kes/Object.h"

namespace KesTest {

inline std::vector<std::uint8_t> Stored(const std::function<void(Kes::CArchive&)>& store) {
  Kes::CMemoryFile file(1024);
  {
    Kes::CArchive archive(file, Kes::CArchive::Storing);
    store(archive);
    archive.Close();
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.GetLength()));
  file.SeekToBegin();
  file.Read(bytes.data(), file.GetLength());
  return bytes;
}

inline std::vector<std::uint8_t> StoredBytes(Kes::IObject& object) {
  return Stored([&](Kes::CArchive& archive) { object.Serialize(archive); });
}

inline void LoadBytes(Kes::IObject& object, const std::vector<std::uint8_t>& bytes) {
  Kes::CMemoryFileEx file;
  file.Attach(bytes.data(), static_cast<std::int64_t>(bytes.size()), 1);
  try {
    Kes::CArchive archive(file, Kes::CArchive::Loading);
    object.Serialize(archive);
  } catch (...) {
    file.Detach();
    throw;
  }
  file.Detach();
}

}  // namespace KesTest

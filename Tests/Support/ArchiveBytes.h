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

// A loading archive over the bytes; the memory file lives as long as the archive.
struct CLoader {
  explicit CLoader(const std::vector<std::uint8_t>& bytes)
      : archive((file.Attach(bytes.data(), static_cast<std::int64_t>(bytes.size()), 1), file), Kes::CArchive::Loading) {}
  ~CLoader() { file.Detach(); }
  Kes::CMemoryFileEx file;
  Kes::CArchive archive;
};

inline void LoadBytes(Kes::IObject& object, const std::vector<std::uint8_t>& bytes) {
  CLoader loader(bytes);
  object.Serialize(loader.archive);
}

}  // namespace KesTest

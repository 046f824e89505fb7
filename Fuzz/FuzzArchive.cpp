// Save parameters and metadata entries loaded from fuzzed archives; what
// loads must store and load back to the same bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "BmpImageSaveParams.h"
#include "FuzzSupport.h"
#include "Kes/Archive.h"
#include "Kes/File.h"
#include "MetadataEntry.h"

namespace {

bool Load(Kes::IObject& object, const std::uint8_t* data, std::size_t size) {
  Kes::CMemoryFileEx file;
  file.Attach(data, static_cast<std::int64_t>(size), 1);
  bool loaded = false;
  FuzzSupport::Absorbing([&] {
    Kes::CArchive archive(file, Kes::CArchive::Loading);
    object.Serialize(archive);
    loaded = true;
  });
  file.Detach();
  return loaded;
}

std::vector<std::uint8_t> Store(Kes::IObject& object) {
  Kes::CMemoryFile file(1024);
  {
    Kes::CArchive archive(file, Kes::CArchive::Storing);
    object.Serialize(archive);
    archive.Close();
  }
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.GetLength()));
  file.SeekToBegin();
  file.Read(bytes.data(), file.GetLength());
  return bytes;
}

template <class T>
void RoundTrip(const std::uint8_t* data, std::size_t size) {
  auto object = Kes::MakeObject<T>();
  if (!Load(*object, data, size)) return;
  const std::vector<std::uint8_t> stored = Store(*object);
  auto again = Kes::MakeObject<T>();
  if (!Load(*again, stored.data(), stored.size()) || Store(*again) != stored) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzSupport::SetUpOnce();
  if (size == 0) return 0;
  if (data[0] % 2 == 0) {
    RoundTrip<Image::CBmpImageSaveParams>(data + 1, size - 1);
  } else {
    RoundTrip<Image::CMetadataEntry>(data + 1, size - 1);
  }
  return 0;
}

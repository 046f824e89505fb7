#include "CommonServices.h"

#include "Kes/ByteOrder.h"
#include "Kes/Factory.h"
#include "Kes/Memory.h"
#include "MetadataEntry.h"
#include "ModuleErrors.h"

namespace Image {
namespace {

constexpr std::uint8_t kSignature[2] = {0x42, 0x4D};  // "BM"

template <int Width>
void ReadField(Kes::CBaseFile& file, std::uint8_t (&bytes)[Width]) {
  const Kes::CUnicodeString name = file.GetFileName();
  if (file.Read(bytes, Width) != Width) RaiseInvalidImageFile(name);
}

}  // namespace

std::uint16_t ReadWord(Kes::CBaseFile& file) {
  std::uint8_t bytes[2];
  ReadField(file, bytes);
  return Kes::LoadLe16(bytes);
}

std::uint32_t ReadDword(Kes::CBaseFile& file) {
  std::uint8_t bytes[4];
  ReadField(file, bytes);
  return Kes::LoadLe32(bytes);
}

bool HasBmpSignature(Kes::CBaseFile& file) {
  file.SeekToBegin();
  std::uint8_t bytes[2] = {};
  return file.Read(bytes, 2) == 2 && bytes[0] == kSignature[0] && bytes[1] == kSignature[1];
}

Kes::CPtr<IMetadata> CreateSourceFormatMetadata() {
  const Kes::CMemoryManagerSwitcher defaultManager(nullptr);
  Kes::CPtr<IMetadata> root = Kes::CreateObject<IMetadata>(u"Image.RootMetadata");
  Kes::CPtr<CMetadataEntry> entry = Kes::MakeObject<CMetadataEntry>();
  entry->SetInteger(kSourceFormatBmp, MVT_SLong);
  root->SetEntry(kSourceFormatKey, entry);
  return root;
}

}  // namespace Image

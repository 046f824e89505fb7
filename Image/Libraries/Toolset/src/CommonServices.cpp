#include "CommonServices.h"

#include "Kes/ByteOrder.h"
#include "Kes/Factory.h"
#include "Kes/Memory.h"
#include "MetadataEntry.h"
#include "ModuleErrors.h"

namespace Image {
namespace {

// bfOffBits lies at byte 10 of the file header.
constexpr std::int64_t kPixelOffsetField = 10;

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

std::int64_t ReadPixelOffset(Kes::CBaseFile& file) {
  if (file.GetLength() <= kPixelOffsetField) RaiseInvalidImageFile(file.GetFileName());
  file.Seek(kPixelOffsetField, Kes::SeekBegin);
  return static_cast<std::int32_t>(ReadDword(file));
}

bool HasBmpSignature(Kes::CBaseFile& file) {
  file.SeekToBegin();
  std::uint8_t bytes[sizeof kBmpSignature] = {};
  return file.Read(bytes, sizeof bytes) == sizeof bytes && bytes[0] == kBmpSignature[0] && bytes[1] == kBmpSignature[1];
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

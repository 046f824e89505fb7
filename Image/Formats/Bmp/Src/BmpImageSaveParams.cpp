#include "BmpImageSaveParams.h"

#include "ErrorSites.h"

namespace Image {

void CBmpImageSaveParams::Serialize(Kes::CArchive& archive) {
  archive.SerializeVersion(kArchiveVersion);  // every version reads the same way
  if (archive.IsStoring()) {
    if (!IsBmpPixelFormatNumber(m_pixelFormat)) Kes::RaiseInternal(Sites::SaveParamsStoreFormat, m_pixelFormat);
    archive << m_attributes;
    archive.WriteSmallValue(m_pixelFormat);
    return;
  }
  // Read into locals and check before assigning: a refused load leaves the object as it was.
  std::uint32_t attributes = 0;
  archive >> attributes;
  const std::int32_t format = archive.ReadSmallValue();
  if (!IsBmpPixelFormatNumber(format)) archive.RaiseBadArchive();
  m_attributes = attributes;
  m_pixelFormat = static_cast<TBmpPixelFormat>(format);
}

}  // namespace Image

#pragma once
#include <map>

#include "ImageHost/Metadata.h"

namespace Image {

// The root of an image's metadata: entries by key.
class CRootMetadata : public IMetadata {
public:
  void SetEntry(const Kes::CUnicodeString& key, const Kes::CPtr<IMetadataEntry>& entry) override;
  Kes::CPtr<IMetadataEntry> GetEntry(const Kes::CUnicodeString& key) const override;
  Kes::CArray<Kes::CUnicodeString> GetKeys() const override;

private:
  std::map<Kes::CUnicodeString, Kes::CPtr<IMetadataEntry>> m_entries;
};

}  // namespace Image

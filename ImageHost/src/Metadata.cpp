#include "Metadata.h"

#include "HostSites.h"

namespace Image {

void CRootMetadata::SetEntry(const Kes::CUnicodeString& key, const Kes::CPtr<IMetadataEntry>& entry) {
  if (!entry) Kes::RaiseInternal(HostSites::MissingArgument);
  m_entries[key] = entry;
}

Kes::CPtr<IMetadataEntry> CRootMetadata::GetEntry(const Kes::CUnicodeString& key) const {
  const auto found = m_entries.find(key);
  return found == m_entries.end() ? Kes::CPtr<IMetadataEntry>() : found->second;
}

Kes::CArray<Kes::CUnicodeString> CRootMetadata::GetKeys() const {
  Kes::CArray<Kes::CUnicodeString> keys;
  for (const auto& [key, entry] : m_entries) keys.Add(key);
  return keys;
}

}  // namespace Image

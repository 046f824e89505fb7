#pragma once
#include "ImageHost/FileSource.h"

namespace Image {

// A stored file by name: each OpenFile opens it afresh for reading.
class CNamedFileSource : public IFileSource {
public:
  explicit CNamedFileSource(Kes::CUnicodeString name) : m_name(std::move(name)) {}
  Kes::CPtrOwnerFO<Kes::CBaseFile> OpenFile() override;
  Kes::CUnicodeString GetFileName() const override { return m_name; }

private:
  Kes::CUnicodeString m_name;
};

// The caller's bytes as a file; each OpenFile gives a memory file over them
// that never writes to them.
class CMemoryFileSource : public IFileSource {
public:
  CMemoryFileSource(const void* data, std::int64_t size, Kes::CUnicodeString name)
      : m_data(data), m_size(size), m_name(std::move(name)) {}
  Kes::CPtrOwnerFO<Kes::CBaseFile> OpenFile() override;
  Kes::CUnicodeString GetFileName() const override { return m_name; }

private:
  const void* m_data;
  std::int64_t m_size;
  Kes::CUnicodeString m_name;
};

}  // namespace Image

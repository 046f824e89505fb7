#include "FileSources.h"

#include "Kes/File.h"

namespace Image {
namespace {

// A memory file over the source's bytes that carries the source's name and
// gives the bytes back, unfreed, when it goes.
class CSourceMemoryFile : public Kes::CMemoryFileEx {
public:
  CSourceMemoryFile(const void* data, std::int64_t size, Kes::CUnicodeString name) : m_name(std::move(name)) {
    Attach(data, size, 1);
  }
  ~CSourceMemoryFile() override { Detach(); }
  Kes::CUnicodeString GetFileName() const override { return m_name; }

private:
  Kes::CUnicodeString m_name;
};

}  // namespace

Kes::CPtrOwnerFO<Kes::CBaseFile> CNamedFileSource::OpenFile() {
  return Kes::MakeOwned<Kes::CFile>(m_name, Kes::kFileOpenForReading);
}

Kes::CPtrOwnerFO<Kes::CBaseFile> CMemoryFileSource::OpenFile() {
  return Kes::MakeOwned<CSourceMemoryFile>(m_data, m_size, m_name);
}

}  // namespace Image

#pragma once
#include <cstdint>

#include "ImageHost/Export.h"
#include "ImageHost/FileSource.h"
#include "Kes/Object.h"
#include "Kes/String.h"

namespace Image {

// Registers "Image.ImageServices", "Image.RgbColorMap", "Image.RgbColorMask"
// and "Image.RootMetadata" with the framework. Hosts call it once before
// loading a format module; nothing registers itself.
IMAGEHOST_API void RegisterHostServices();
IMAGEHOST_API void UnregisterHostServices() noexcept;

// Registers the services for one scope.
class CHostServicesScope {
public:
  CHostServicesScope() { RegisterHostServices(); }
  ~CHostServicesScope() { UnregisterHostServices(); }
  CHostServicesScope(const CHostServicesScope&) = delete;
  CHostServicesScope& operator=(const CHostServicesScope&) = delete;
};

// A file source over the caller's bytes, which must outlive it and every file
// it opens; the files read from memory and never write to it.
IMAGEHOST_API Kes::CPtr<IFileSource> CreateMemoryFileSource(const void* data, std::int64_t size,
                                                           const Kes::CUnicodeString& name = {});

}  // namespace Image

#pragma once
#include "ImageHost/Export.h"
#include "Kes/File.h"
#include "Kes/FileOwner.h"
#include "Kes/Object.h"
#include "Kes/String.h"

namespace Image {

// A stored file that can be opened any number of times.
class IMAGEHOST_API IFileSource : public virtual Kes::IObject {
public:
  ~IFileSource() override;
  // A new file, positioned at its start, that the caller owns.
  virtual Kes::CPtrOwnerFO<Kes::CBaseFile> OpenFile() = 0;
  virtual Kes::CUnicodeString GetFileName() const = 0;
};

}  // namespace Image

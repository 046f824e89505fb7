#pragma once
#include <string>

#include "Bmp/BmpInterfaces.h"
#include "ImageHost/HostServices.h"
#include "ImageHost/ImageServices.h"
#include "Kes/Module.h"

namespace BmpTool {

// The host side of a run: services registered, the BMP module loaded from
// BMPTOOL_MODULE_DIR, beside the installed tool, or from the build tree.
class CModuleSession {
public:
  CModuleSession();
  ~CModuleSession();
  CModuleSession(const CModuleSession&) = delete;
  CModuleSession& operator=(const CModuleSession&) = delete;

  const Kes::CPtr<Image::IBmpImageFileFormat>& Format() const { return m_format; }
  const Kes::CPtr<Image::IImageServices>& Services() const { return m_services; }

private:
  Image::CHostServicesScope m_host;
  Kes::HMODULE m_module = nullptr;
  Kes::CPtr<Image::IBmpImageFileFormat> m_format;
  Kes::CPtr<Image::IImageServices> m_services;
};

// Where the module is looked for, in order.
std::string FindModulePath();

}  // namespace BmpTool

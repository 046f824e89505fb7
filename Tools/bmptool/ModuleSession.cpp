#include "ModuleSession.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "Kes/ExceptionOwner.h"
#include "Kes/Factory.h"

namespace BmpTool {
namespace {

namespace fs = std::filesystem;
constexpr const char* kModuleFile = "libBmpFormat.so";
constexpr const char* kModuleDirVariable = "BMPTOOL_MODULE_DIR";

fs::path ExecutableDir() {
  std::error_code error;
  const fs::path self = fs::read_symlink("/proc/self/exe", error);
  return error ? fs::path() : self.parent_path();
}

}  // namespace

std::string FindModulePath() {
  if (const char* dir = std::getenv(kModuleDirVariable); dir && *dir) return (fs::path(dir) / kModuleFile).string();
  const fs::path installed = ExecutableDir() / ".." / "lib" / "kestrel" / "modules" / kModuleFile;
  std::error_code error;
  if (fs::exists(installed, error)) return fs::weakly_canonical(installed, error).string();
  return (fs::path(BMPTOOL_BUILD_MODULE_DIR) / kModuleFile).string();
}

CModuleSession::CModuleSession() {
  m_module = Kes::LoadModule(Kes::CUnicodeString::FromUtf8(FindModulePath()));
  m_format = Kes::CreateObject<Image::IBmpImageFileFormat>(kBmpFormatObjectName);
  m_services = Kes::CreateObject<Image::IImageServices>(u"Image.ImageServices");
}

CModuleSession::~CModuleSession() {
  m_format.Reset();
  m_services.Reset();
  try {
    Kes::UnloadModule(m_module);
  } catch (Kes::CException* raised) {
    const Kes::CExceptionOwner leavingAnyway(raised);
  }
}

}  // namespace BmpTool

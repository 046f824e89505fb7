// The module's start-up and shut-down. Attaching registers the format's
// factory, builds the module-wide objects, offers the module as a resource
// module and checks the framework's version, each step recording how to undo
// itself; detaching undoes exactly what was done, last first.
#include <array>

#include "BmpImageFileImpl.h"
#include "BmpModuleObjects.h"
#include "ErrorSites.h"
#include "Kes/Factory.h"
#include "Kes/Module.h"
#include "ModuleErrors.h"

// Exported for the framework; the module's own code never reads it.
extern "C" {
__attribute__((visibility("default"))) int __KestrelUsed = 0;
}

namespace {

Kes::HMODULE g_moduleHandle = nullptr;
bool g_attached = false;  // from a successful attach to its detach

Kes::HMODULE ModuleHandle() {
  if (!g_moduleHandle) g_moduleHandle = Kes::GetMainModuleHandle();
  if (!g_moduleHandle) Kes::RaiseInternal(Image::Sites::ModuleHandleMissing);
  return g_moduleHandle;
}

using UndoAction = void (*)();
constexpr std::size_t kMaxUndoActions = 16;
std::array<UndoAction, kMaxUndoActions> g_undoActions{};
std::size_t g_undoCount = 0;

void PushUndo(UndoAction undo) { g_undoActions.at(g_undoCount++) = undo; }

void UndoAll() noexcept {
  while (g_undoCount > 0) g_undoActions[--g_undoCount]();
}

Kes::CPtr<Kes::IObject> CreateFormatObject() { return Kes::MakeObject<Image::CBmpImageFileFormat>(); }

void RegisterFactory() {
  Kes::RegisterCreateObjectFunction(CreateFormatObject, typeid(Image::CBmpImageFileFormat), kBmpFormatObjectName);
  PushUndo([] { Kes::UnregisterCreateObjectFunction(typeid(Image::CBmpImageFileFormat)); });
}

void BuildDescription() {
  Image::CreateFormatDescription();
  PushUndo(Image::DestroyFormatDescription);
}

template <Image::TBmpExtension Which>
void BuildExtension() {
  Image::CreateExtension(Which);
  PushUndo([] { Image::DestroyExtension(Which); });
}

void OfferResourceModule() {
  Kes::AddNotUnloadingResourceModule(ModuleHandle());
  PushUndo([] { Kes::RemoveResourceModule(ModuleHandle()); });
}

void CheckFrameworkVersion() {
  const int version = Kes::GetKestrelsVersion();
  if (version != Kes::kKestrelVersion) Kes::RaiseInternal(Image::Sites::FrameworkVersion, version);
}

template <Image::TModuleError Which>
void BuildError() {
  Image::CreateModuleError(Which);
  PushUndo([] { Image::DestroyModuleError(Which); });
}

void IgnoreModuleCallback() {}

void RegisterWithFramework() { Kes::RegisterModule(ModuleHandle(), IgnoreModuleCallback, IgnoreModuleCallback); }

constexpr std::array<Kes::StaticStep, 17> kAttachSteps = {
    RegisterFactory,
    BuildDescription,
    BuildExtension<Image::TBmpExtension::Bmp>,
    BuildExtension<Image::TBmpExtension::Dib>,
    BuildExtension<Image::TBmpExtension::Rle>,
    OfferResourceModule,
    CheckFrameworkVersion,
    BuildError<Image::TModuleError::UnsupportedImageFileFormat>,
    BuildError<Image::TModuleError::InvalidImageFile>,
    BuildError<Image::TModuleError::BadParamCall>,
    BuildError<Image::TModuleError::InvalidImageDocumentFile>,
    BuildError<Image::TModuleError::SizeOfImageTooBig>,
    BuildError<Image::TModuleError::ComponentNotAvailable>,
    BuildError<Image::TModuleError::ZipCodecError>,
    BuildError<Image::TModuleError::CcittCodecError>,
    BuildError<Image::TModuleError::JpegCodecError>,
    RegisterWithFramework,
};

void Detach() noexcept {
  try {
    Kes::BeginStaticPart();
  } catch (Kes::CException* nested) {
    nested->Delete();  // the framework's bookkeeping is broken; undo what is ours anyway
  }
  if (g_moduleHandle) Kes::UnregisterModule(g_moduleHandle);
  UndoAll();
  try {
    Kes::EndStaticPart();
  } catch (Kes::CException* nested) {
    nested->Delete();
  }
  g_moduleHandle = nullptr;
  g_attached = false;
}

}  // namespace

// Returns 1 when the module is ready, 0 when its start-up failed (its work
// then undone; the framework's static part holds the reason).
extern "C" __attribute__((visibility("default"))) int KesModuleAttach(void* handle) {
  try {
    // A second attach must not touch anything: the undo stack belongs to the first.
    if (g_attached || (g_moduleHandle && g_moduleHandle != handle)) Kes::RaiseInternal(Image::Sites::ModuleAttachRefused);
    g_moduleHandle = handle;
    Kes::BeginStaticPart();
  } catch (Kes::CException* refused) {
    refused->Delete();
    return 0;
  }
  for (const Kes::StaticStep step : kAttachSteps) Kes::RunInStaticPart(step);
  Kes::EndStaticPart();
  g_attached = !Kes::HasStaticPartError();
  if (g_attached) return 1;
  Detach();
  return 0;
}

extern "C" __attribute__((visibility("default"))) void KesModuleDetach() { Detach(); }

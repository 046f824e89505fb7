#pragma once
#include <cstdint>
#include <utility>

#include "Kes/Errors.h"
#include "Kes/Export.h"
#include "Kes/Memory.h"

namespace Kes {

// Light base for single-thread objects such as stream links: a virtual
// destructor and a plain, non-atomic count that is 0 after construction.
class KES_API CFastObject {
public:
  KES_DECLARE_ALLOCATION
  CFastObject() noexcept = default;
  CFastObject(const CFastObject&) = delete;
  CFastObject& operator=(const CFastObject&) = delete;
  virtual ~CFastObject();

  void AddRef() noexcept { ++m_refCount; }
  void Release() noexcept {
    if (m_refCount-- == 1) delete this;
  }
  std::int32_t RefCount() const noexcept { return m_refCount; }

private:
  std::int32_t m_refCount = 0;
};

// A counted reference to a fast object. Using an empty one is an internal error.
template <class T>
class CFastPtr {
public:
  CFastPtr() noexcept = default;
  CFastPtr(std::nullptr_t) noexcept {}
  explicit CFastPtr(T* object) noexcept : m_object(object) {
    if (m_object) m_object->AddRef();
  }
  CFastPtr(const CFastPtr& other) noexcept : CFastPtr(other.m_object) {}
  CFastPtr(CFastPtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
  template <class U>
  CFastPtr(const CFastPtr<U>& other) noexcept : CFastPtr(static_cast<T*>(other.Get())) {}
  ~CFastPtr() { Reset(); }
  CFastPtr& operator=(CFastPtr other) noexcept {
    std::swap(m_object, other.m_object);
    return *this;
  }

  T* Get() const noexcept { return m_object; }
  T* operator->() const {
    if (!m_object) RaiseInternal(Sites::EmptyReference);
    return m_object;
  }
  T& operator*() const { return *operator->(); }
  explicit operator bool() const noexcept { return m_object != nullptr; }
  void Reset() noexcept {
    if (m_object) std::exchange(m_object, nullptr)->Release();
  }

private:
  T* m_object = nullptr;
};

template <class T, class... A>
CFastPtr<T> MakeFastObject(A&&... args) {
  return CFastPtr<T>(new T(std::forward<A>(args)...));
}

}  // namespace Kes

#pragma once
#include <atomic>
#include <cstdint>
#include <utility>

#include "Kes/Errors.h"
#include "Kes/Export.h"
#include "Kes/Memory.h"

namespace Kes {

class CArchive;

// Virtual base of every interface. The count is 0 after construction; the
// object deletes itself when a release takes it from 1 to 0.
class KES_API IObject {
public:
  KES_DECLARE_ALLOCATION
  IObject() noexcept = default;
  IObject(const IObject&) noexcept {}
  IObject& operator=(const IObject&) noexcept { return *this; }

  // Objects that can be archived override this; the default is an internal error.
  virtual void Serialize(CArchive& archive);
  virtual ~IObject();

  void AddRef() const noexcept { m_refCount.fetch_add(1, std::memory_order_relaxed); }
  void Release() const noexcept {
    if (m_refCount.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }
  std::int32_t RefCount() const noexcept { return m_refCount.load(std::memory_order_relaxed); }

private:
  mutable std::atomic<std::int32_t> m_refCount{0};
};

// A counted reference. Using an empty one is an internal error.
template <class T>
class CPtr {
public:
  CPtr() noexcept = default;
  CPtr(std::nullptr_t) noexcept {}
  explicit CPtr(T* object) noexcept : m_object(object) { Take(); }
  CPtr(const CPtr& other) noexcept : m_object(other.m_object) { Take(); }
  CPtr(CPtr&& other) noexcept : m_object(std::exchange(other.m_object, nullptr)) {}
  template <class U>
  CPtr(const CPtr<U>& other) noexcept : m_object(other.Get()) { Take(); }
  ~CPtr() { Drop(); }

  CPtr& operator=(CPtr other) noexcept {
    std::swap(m_object, other.m_object);
    return *this;
  }

  T* Get() const noexcept { return m_object; }
  T* operator->() const { return &Checked(); }
  T& operator*() const { return Checked(); }
  explicit operator bool() const noexcept { return m_object != nullptr; }
  bool operator==(const CPtr& other) const noexcept { return m_object == other.m_object; }
  void Reset() noexcept { CPtr().swap(*this); }
  void swap(CPtr& other) noexcept { std::swap(m_object, other.m_object); }

private:
  T& Checked() const {
    if (!m_object) RaiseInternal(Sites::EmptyReference);
    return *m_object;
  }
  void Take() noexcept {
    if (m_object) static_cast<const IObject*>(m_object)->AddRef();
  }
  void Drop() noexcept {
    if (m_object) static_cast<const IObject*>(std::exchange(m_object, nullptr))->Release();
  }

  T* m_object = nullptr;
};

// Creates an object (memory from doAlloc) and hands back the only reference.
template <class T, class... A>
CPtr<T> MakeObject(A&&... args) {
  return CPtr<T>(new T(std::forward<A>(args)...));
}

// The reference as another interface, empty when the object is not one.
template <class T, class U>
CPtr<T> DynamicCast(const CPtr<U>& from) noexcept {
  return CPtr<T>(dynamic_cast<T*>(from.Get()));
}

// The reference as another interface; an object that is not one is an internal error.
template <class T, class U>
CPtr<T> CastOrRaise(const CPtr<U>& from) {
  CPtr<T> result = DynamicCast<T>(from);
  if (!result) RaiseInternal(Sites::FailedCast);
  return result;
}

}  // namespace Kes

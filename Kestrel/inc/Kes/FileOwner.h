#pragma once
#include <utility>

#include "Kes/Errors.h"

namespace Kes {

// Sole owner of a heap object that is destroyed through its virtual
// destructor (files, above all). Using an empty owner is an internal error.
template <class T>
class CPtrOwnerFO {
public:
  CPtrOwnerFO() noexcept = default;
  explicit CPtrOwnerFO(T* object) noexcept : m_object(object) {}
  CPtrOwnerFO(CPtrOwnerFO&& other) noexcept : m_object(other.Detach()) {}
  template <class U>
  CPtrOwnerFO(CPtrOwnerFO<U>&& other) noexcept : m_object(other.Detach()) {}
  CPtrOwnerFO& operator=(CPtrOwnerFO other) noexcept {
    std::swap(m_object, other.m_object);
    return *this;
  }
  ~CPtrOwnerFO() { delete m_object; }

  T* Get() const noexcept { return m_object; }
  T* operator->() const {
    if (!m_object) RaiseInternal(Sites::FileOwnerAccess);
    return m_object;
  }
  T& operator*() const {
    if (!m_object) RaiseInternal(Sites::FileOwnerDereference);
    return *m_object;
  }
  explicit operator bool() const noexcept { return m_object != nullptr; }
  T* Detach() noexcept { return std::exchange(m_object, nullptr); }
  void Reset() noexcept { CPtrOwnerFO().swap(*this); }
  void swap(CPtrOwnerFO& other) noexcept { std::swap(m_object, other.m_object); }

private:
  T* m_object = nullptr;
};

// Creates an object (memory from doAlloc) held by its sole owner.
template <class T, class... A>
CPtrOwnerFO<T> MakeOwned(A&&... args) {
  return CPtrOwnerFO<T>(new T(std::forward<A>(args)...));
}

}  // namespace Kes

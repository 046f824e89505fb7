#pragma once
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "Kes/Errors.h"
#include "Kes/Memory.h"

namespace Kes {

inline constexpr std::int32_t kArrayMaxCapacity = INT32_MAX;
inline constexpr std::int32_t kArrayMinGrowth = 8;

// The capacity an array of `capacity` elements grows to so that `needed`
// elements fit: by half its size, by at least 8, never past INT32_MAX
// elements. A need that cannot be met is an internal error.
inline std::int32_t GrownArrayCapacity(std::int32_t capacity, std::int64_t needed) {
  if (needed <= capacity) return capacity;
  const std::int64_t growth = std::min<std::int64_t>(
      std::max<std::int64_t>({capacity / 2, kArrayMinGrowth, needed - capacity}),
      std::int64_t{kArrayMaxCapacity} - capacity);
  const std::int64_t grown = capacity + growth;
  if (grown < needed) RaiseInternal(Sites::ArrayCapacity, needed);
  return static_cast<std::int32_t>(grown);
}

// The framework's growable array: a count, a capacity and element storage
// from doAlloc. Trivially copyable elements move bytewise when it grows.
template <class T>
class CArray {
public:
  CArray() noexcept = default;
  CArray(std::initializer_list<T> values) {
    for (const T& v : values) Add(v);
  }
  CArray(const CArray& other) { AppendAll(other); }
  CArray(CArray&& other) noexcept { Swap(other); }
  CArray& operator=(CArray other) noexcept {
    Swap(other);
    return *this;
  }
  ~CArray() {
    Clear();
    doFree(m_data);
  }

  std::int32_t GetCount() const noexcept { return m_count; }
  std::int32_t GetCapacity() const noexcept { return m_capacity; }
  bool IsEmpty() const noexcept { return m_count == 0; }
  T* Data() noexcept { return m_data; }
  const T* Data() const noexcept { return m_data; }
  T* begin() noexcept { return m_data; }
  T* end() noexcept { return m_data + m_count; }
  const T* begin() const noexcept { return m_data; }
  const T* end() const noexcept { return m_data + m_count; }

  T& operator[](std::int32_t i) { return m_data[CheckedIndex(i)]; }
  const T& operator[](std::int32_t i) const { return m_data[CheckedIndex(i)]; }

  void Add(const T& value) {
    if (m_count + std::int64_t{1} > m_capacity) {
      T copy(value);  // value may live inside the storage that growing frees
      Reserve(GrownArrayCapacity(m_capacity, std::int64_t{m_count} + 1));
      new (m_data + m_count) T(std::move(copy));
    } else {
      new (m_data + m_count) T(value);
    }
    ++m_count;
  }
  void AppendAll(const CArray& other) {
    Reserve(GrownArrayCapacity(m_capacity, std::int64_t{m_count} + other.m_count));
    for (const T& v : other) Add(v);
  }
  // Appends count elements copied bytewise from values, which must not lie
  // inside this array; for trivially copyable elements only.
  void AppendBytes(const T* values, std::int32_t count) {
    static_assert(std::is_trivially_copyable_v<T>);
    if (count < 0) RaiseInternal(Sites::ArrayIndex, count);
    const std::int64_t needed = std::int64_t{m_count} + count;
    if (needed > m_capacity) Reserve(GrownArrayCapacity(m_capacity, needed));
    if (count > 0) std::memcpy(m_data + m_count, values, static_cast<std::size_t>(count) * sizeof(T));
    m_count += count;
  }
  // New elements are value-initialised (0 for numbers).
  void SetCount(std::int32_t count) {
    if (count < 0) RaiseInternal(Sites::ArrayIndex, count);
    if (count > m_capacity) Reserve(GrownArrayCapacity(m_capacity, count));
    while (m_count > count) m_data[--m_count].~T();
    if constexpr (std::is_nothrow_default_constructible_v<T>) {
      // A local count: stores of bytes may alias m_count, which would be
      // written back for every element and keep the loop from becoming a fill.
      std::int32_t made = m_count;
      while (made < count) new (m_data + made++) T();
      m_count = made;
    } else {
      while (m_count < count) new (m_data + m_count++) T();
    }
  }
  void Clear() noexcept {
    while (m_count > 0) m_data[--m_count].~T();
  }
  void Swap(CArray& other) noexcept {
    std::swap(m_data, other.m_data);
    std::swap(m_count, other.m_count);
    std::swap(m_capacity, other.m_capacity);
  }

private:
  friend struct CArrayTestAccess;

  std::int32_t CheckedIndex(std::int32_t i) const {
    if (i < 0 || i >= m_count) RaiseInternal(Sites::ArrayIndex, i);
    return i;
  }
  void Reserve(std::int32_t capacity) {
    if (capacity <= m_capacity) return;
    if (static_cast<std::uint64_t>(capacity) > SIZE_MAX / sizeof(T)) RaiseInternal(Sites::ArrayCapacity, capacity);
    T* grown = static_cast<T*>(doAlloc(static_cast<std::size_t>(capacity) * sizeof(T)));
    if constexpr (std::is_trivially_copyable_v<T>) {
      if (m_count > 0) std::memcpy(static_cast<void*>(grown), m_data, static_cast<std::size_t>(m_count) * sizeof(T));
    } else {
      for (std::int32_t i = 0; i < m_count; ++i) {
        new (grown + i) T(std::move(m_data[i]));
        m_data[i].~T();
      }
    }
    doFree(m_data);
    m_data = grown;
    m_capacity = capacity;
  }

  T* m_data = nullptr;
  std::int32_t m_count = 0;
  std::int32_t m_capacity = 0;
};

}  // namespace Kes

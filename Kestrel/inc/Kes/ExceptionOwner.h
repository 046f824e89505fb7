#pragma once
#include <utility>

#include "Kes/Errors.h"

namespace Kes {

// Sole owner of a caught framework error: the error is deleted when the owner
// goes, on every way out of a handler.
//   catch (Kes::CException* raised) {
//     const Kes::CExceptionOwner error(raised);
//     report(error->ErrorId(), error->Message());
//   }
class CExceptionOwner {
public:
  explicit CExceptionOwner(CException* error) noexcept : m_error(error) {}
  CExceptionOwner(CExceptionOwner&& other) noexcept : m_error(std::exchange(other.m_error, nullptr)) {}
  CExceptionOwner& operator=(CExceptionOwner&& other) noexcept {
    std::swap(m_error, other.m_error);
    return *this;
  }
  CExceptionOwner(const CExceptionOwner&) = delete;
  CExceptionOwner& operator=(const CExceptionOwner&) = delete;
  ~CExceptionOwner() {
    if (m_error) m_error->Delete();
  }

  // The error itself; null once the owner has been moved from.
  const CException* Get() const noexcept { return m_error; }
  const CException* operator->() const noexcept { return m_error; }
  const CException& operator*() const noexcept { return *m_error; }

private:
  CException* m_error;
};

}  // namespace Kes

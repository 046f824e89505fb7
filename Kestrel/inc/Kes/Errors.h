#pragma once
#include <cstdint>

#include "Kes/Export.h"
#include "Kes/Memory.h"
#include "Kes/String.h"

namespace Kes {

// A message is an identifier; its text lives in the framework's catalogue.
class KES_API CMessage {
public:
  constexpr explicit CMessage(const char* id) noexcept : m_id(id) {}
  const char* Id() const noexcept { return m_id; }
  // The catalogue text; an identifier without one renders as the identifier.
  CUnicodeString UnicodeStr() const;

private:
  const char* m_id;
};

class KES_API CError : public CMessage {
public:
  constexpr explicit CError(const char* id) noexcept : CMessage(id) {}
};

// The framework's own errors.
inline constexpr CError ERR_BAD_ARCHIVE{"ERR_BAD_ARCHIVE"};
inline constexpr CError ERR_OUT_OF_MEMORY{"ERR_OUT_OF_MEMORY"};
inline constexpr CError ERR_UNKNOWN_OBJECT{"ERR_UNKNOWN_OBJECT"};
inline constexpr CError ERR_FILE_OPEN{"ERR_FILE_OPEN"};
inline constexpr CError ERR_FILE_READ{"ERR_FILE_READ"};
inline constexpr CError ERR_FILE_WRITE{"ERR_FILE_WRITE"};
inline constexpr CError ERR_FILE_SEEK{"ERR_FILE_SEEK"};
inline constexpr CError ERR_MODULE_LOAD{"ERR_MODULE_LOAD"};
inline constexpr CError ERR_NUMBER_OVERFLOW{"ERR_NUMBER_OVERFLOW"};
// The identifier that internal errors carry.
inline constexpr CError ERR_INTERNAL{"ERR_INTERNAL"};

// Fills the catalogue's %1..%3 placeholders of id with the three parameters.
KES_API CUnicodeString FormatMessage(const char* id, const CUnicodeString& p1, const CUnicodeString& p2,
                                     const CUnicodeString& p3);
// True when the catalogue has a text for id.
KES_API bool IsCataloguedMessage(const char* id) noexcept;

[[noreturn]] KES_API void GenerateCheck(const CError& error, const CUnicodeString& p1 = {},
                                        const CUnicodeString& p2 = {}, const CUnicodeString& p3 = {});
// code, text1 and text2 are kept for the framework's call form; sourceFile and
// line say where, value what.
[[noreturn]] KES_API void GenerateInternalError(int code, const char* text1, const char* text2,
                                                const char* sourceFile, int line, std::int64_t value);

// What is thrown, always as a pointer; whoever absorbs one calls Delete().
// It keeps copies of all it shows, so it outlives the module that raised it.
class KES_API CException {
public:
  KES_DECLARE_ALLOCATION
  enum class TKind { Check, Internal };

  TKind Kind() const noexcept { return m_kind; }
  bool IsInternal() const noexcept { return m_kind == TKind::Internal; }
  const char* ErrorId() const noexcept { return m_errorId.c_str(); }
  // Parameters 1 to 3; an absent parameter is the empty string.
  const CUnicodeString& Param(int index) const;
  // Internal errors: where the broken assumption was found.
  const char* SourceFile() const noexcept { return m_sourceFile.c_str(); }
  int Line() const noexcept { return m_line; }
  std::int64_t Value() const noexcept { return m_value; }
  // A sentence for people: the catalogue text with the parameters filled in.
  CUnicodeString Message() const { return m_message; }
  void Delete() noexcept;

private:
  friend void GenerateCheck(const CError&, const CUnicodeString&, const CUnicodeString&, const CUnicodeString&);
  friend void GenerateInternalError(int, const char*, const char*, const char*, int, std::int64_t);
  using CText = std::basic_string<char, std::char_traits<char>, CAllocator<char>>;
  CException(TKind kind, const char* errorId) : m_kind(kind), m_errorId(errorId ? errorId : "") {}
  ~CException() = default;

  TKind m_kind;
  CText m_errorId;
  CUnicodeString m_params[3];
  CUnicodeString m_message;
  CText m_sourceFile;
  int m_line = 0;
  std::int64_t m_value = 0;
};


// One place in the sources at which an internal error is raised.
struct CSourceLine {
  const char* file;
  int line;
};
[[noreturn]] inline void RaiseInternal(CSourceLine where, std::int64_t value = 0) {
  GenerateInternalError(0, "", "", where.file, where.line, value);
}

// The framework's own internal-error sites.
namespace Sites {
inline constexpr CSourceLine ArchiveDirection{"inc\\Archive", 58};  // loading op on a storing archive, or after Close
inline constexpr CSourceLine ArchiveArgument{"inc\\Archive", 64};   // a value that no archive can hold
inline constexpr CSourceLine ArrayCapacity{"inc\\Array", 882};
inline constexpr CSourceLine ArrayIndex{"inc\\Array", 120};
inline constexpr CSourceLine FileOwnerAccess{"inc\\PtrOwnerFO", 203};
inline constexpr CSourceLine FileOwnerDereference{"inc\\PtrOwnerFO", 219};
inline constexpr CSourceLine FailedCast{"inc\\Errors", 41};
inline constexpr CSourceLine EmptyReference{"inc\\Object", 77};
inline constexpr CSourceLine DefaultSerialize{"inc\\Object", 58};
inline constexpr CSourceLine DuplicateRegistration{"inc\\Object", 101};
inline constexpr CSourceLine FormatArgument{"inc\\String", 30};
inline constexpr CSourceLine RationalZeroDenominator{"inc\\Rational", 25};
inline constexpr CSourceLine RationalOverflow{"inc\\Rational", 31};
inline constexpr CSourceLine StaticPartNesting{"inc\\Module", 44};
}  // namespace Sites

}  // namespace Kes

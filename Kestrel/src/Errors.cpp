#include "Kes/Errors.h"

#include "Catalogue.h"
#include "MemoryInternal.h"

namespace Kes {
namespace {

CUnicodeString Placeholders(const char* id, const CUnicodeString (&params)[3]) {
  CUnicodeString out = CUnicodeString::FromUtf8(id);
  for (const CUnicodeString& p : params) {
    if (p.IsEmpty()) continue;
    out += u' ';
    out += p;
  }
  return out;
}

}  // namespace

CUnicodeString CMessage::UnicodeStr() const { return FormatMessage(m_id, {}, {}, {}); }

bool IsCataloguedMessage(const char* id) noexcept { return !CatalogueText(id ? id : "").empty(); }

CUnicodeString FormatMessage(const char* id, const CUnicodeString& p1, const CUnicodeString& p2,
                             const CUnicodeString& p3) {
  const CUnicodeString params[3] = {p1, p2, p3};
  const std::string_view text = CatalogueText(id ? id : "");
  if (text.empty()) return Placeholders(id ? id : "", params);
  const CUnicodeString pattern = CUnicodeString::FromUtf8(text);
  CUnicodeString out;
  for (std::size_t i = 0; i < pattern.Length(); ++i) {
    const bool placeholder = pattern[i] == u'%' && i + 1 < pattern.Length() && pattern[i + 1] >= u'1' && pattern[i + 1] <= u'3';
    if (!placeholder) {
      out += pattern[i];
      continue;
    }
    out += params[pattern[++i] - u'1'];
  }
  return out;
}

const CUnicodeString& CException::Param(int index) const {
  if (index < 1 || index > 3) RaiseInternal(Sites::FormatArgument, index);
  return m_params[index - 1];
}

void CException::Delete() noexcept { delete this; }

void GenerateCheck(const CError& error, const CUnicodeString& p1, const CUnicodeString& p2, const CUnicodeString& p3) {
  const CAllocationCapBypass bypass;
  auto* exception = new CException(CException::TKind::Check, error.Id());
  exception->m_params[0] = p1;
  exception->m_params[1] = p2;
  exception->m_params[2] = p3;
  exception->m_message = FormatMessage(error.Id(), p1, p2, p3);
  throw exception;
}

void GenerateInternalError(int /*code*/, const char* /*text1*/, const char* /*text2*/, const char* sourceFile, int line,
                           std::int64_t value) {
  const CAllocationCapBypass bypass;
  auto* exception = new CException(CException::TKind::Internal, ERR_INTERNAL.Id());
  exception->m_sourceFile = sourceFile ? sourceFile : "";
  exception->m_line = line;
  exception->m_value = value;
  exception->m_params[0] = CUnicodeString::FromUtf8(exception->m_sourceFile);
  exception->m_params[1] = UnicodeStr(line, 10);
  exception->m_params[2] = UnicodeStr(value, 10);
  exception->m_message = FormatMessage(ERR_INTERNAL.Id(), exception->m_params[0], exception->m_params[1],
                                       exception->m_params[2]);
  throw exception;
}

}  // namespace Kes

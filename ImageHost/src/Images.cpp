#include "Images.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "HostSites.h"

namespace Image {

// White is one byte value throughout for both kinds, so a row is one memset.
static_assert(std::is_trivially_copyable_v<CRGBColor> && std::is_trivially_copyable_v<CGrayColor>);
void CRgbKind::FillWhite(Pixel* row, std::int64_t units) {
  std::memset(static_cast<void*>(row), 0xFF, std::size_t(units) * sizeof(Pixel));
}
void CGrayKind::FillWhite(Pixel* row, std::int64_t units) {
  std::memset(static_cast<void*>(row), 0, std::size_t(units) * sizeof(Pixel));  // the host's gray is darkness
}
void CStrokeKind::FillWhite(Pixel* row, std::int64_t) { row[0] = kEndStroke; }

template <class Kind>
CHostImage<Kind>::CHostImage(Kes::CPtr<IImageInfo> info, Kes::CPtr<typename Kind::Fetcher> fetcher)
    : m_info(std::move(info)), m_fetcher(std::move(fetcher)), m_width(m_info->GetWidth()), m_height(m_info->GetHeight()),
      m_rowUnits(Kind::RowUnits(m_width)) {
  if (m_width < 1 || m_height < 1 || m_rowUnits > INT32_MAX) Kes::RaiseInternal(HostSites::ImageTooLarge, m_width);
  if (!m_fetcher) {
    m_white.SetCount(static_cast<std::int32_t>(m_rowUnits));
    Kind::FillWhite(m_white.Data(), m_rowUnits);
  }
}

template <class Kind>
Kes::CPtr<Kes::IObject> CHostImage<Kind>::GetReader() {
  return Kes::CPtr<Kes::IObject>(static_cast<typename Kind::Reader*>(this));
}

template <class Kind>
Kes::CPtr<Kes::IObject> CHostImage<Kind>::GetWriter() {
  if (m_fetcher) return {};  // a lazy image is written by its fetcher only
  return Kes::CPtr<Kes::IObject>(static_cast<typename Kind::Writer*>(this));
}

template <class Kind>
void CHostImage<Kind>::CheckRow(std::int32_t y) const {
  if (y < 0 || y >= m_height) Kes::RaiseInternal(HostSites::RowIndex, y);
}

template <class Kind>
void CHostImage<Kind>::Hold(CRow& row) {
  if (row.isReleased) m_releasedOrder.erase(row.released);
  row.isReleased = false;
  ++row.held;
}

template <class Kind>
void CHostImage<Kind>::MarkReleased(std::int32_t y, CRow& row) {
  m_releasedOrder.push_front(y);
  row.released = m_releasedOrder.begin();
  row.isReleased = true;
}

template <class Kind>
void CHostImage<Kind>::Trim() {
  if (!m_fetcher) return;  // a blank image holds everything it was given
  const std::int64_t budget = m_streaming ? kStreamingCacheBudget : kRowCacheBudget;
  const auto overBudget = [&] {
    return m_storedBytes > budget || (m_streaming && m_releasedOrder.size() > kStreamingCacheRows);
  };
  while (overBudget() && !m_releasedOrder.empty()) {
    const std::int32_t oldest = m_releasedOrder.back();
    if (oldest == m_fetching) return;
    m_releasedOrder.pop_back();
    const auto found = m_rows.find(oldest);
    m_storedBytes -= std::int64_t{found->second.pixels.GetCount()} * std::int64_t{sizeof(Pixel)};
    if (m_spareRows.size() < kSpareRows) m_spareRows.push_back(std::move(found->second.pixels));
    m_rows.erase(found);
  }
}

template <class Kind>
auto CHostImage<Kind>::GetRow(std::int32_t y) -> const Pixel* {
  CheckRow(y);
  m_streaming = y == m_lastRead + 1;
  m_lastRead = y;
  auto found = m_rows.find(y);
  if (found == m_rows.end() || !found->second.filled) {
    if (!m_fetcher) return m_white.Data();
    m_fetching = y;
    try {
      m_fetcher->FetchRow(y, this);
    } catch (...) {
      // The fetcher released the row it could not fill; it is asked again next time.
      m_fetching = -1;
      if (const auto failed = m_rows.find(y); failed != m_rows.end()) failed->second.filled = false;
      throw;
    }
    m_fetching = -1;
    found = m_rows.find(y);
    if (found == m_rows.end() || !found->second.filled) Kes::RaiseInternal(HostSites::RowNotFetched, y);
  }
  if (!m_fetcher) return found->second.pixels.Data();
  Hold(found->second);
  const Pixel* pixels = found->second.pixels.Data();
  Trim();
  return pixels;
}

template <class Kind>
void CHostImage<Kind>::ReleaseRow(std::int32_t y) {
  CheckRow(y);
  if (!m_fetcher) return;
  const auto found = m_rows.find(y);
  if (found == m_rows.end() || found->second.held == 0) Kes::RaiseInternal(HostSites::RowNotHeld, y);
  if (--found->second.held > 0) return;
  MarkReleased(y, found->second);
  Trim();
}

template <class Kind>
auto CHostImage<Kind>::GetRowBuffer(std::int32_t row) -> Pixel* {
  CheckRow(row);
  CRow& stored = m_rows[row];
  // A row a reader holds keeps its memory; the fetcher's copy of it is dropped.
  m_writingScratch = stored.held > 0;
  if (m_writingScratch) {
    m_scratch.SetCount(static_cast<std::int32_t>(m_rowUnits));
    return m_scratch.Data();
  }
  if (stored.isReleased) {
    m_releasedOrder.erase(stored.released);
    stored.isReleased = false;
  }
  const std::int32_t units = static_cast<std::int32_t>(m_rowUnits);
  if (stored.pixels.GetCount() != units) {
    m_storedBytes -= std::int64_t{stored.pixels.GetCount()} * std::int64_t{sizeof(Pixel)};
    // Rows streaming through the cache reuse the memory of the rows it dropped.
    Kes::CArray<Pixel> fresh;
    if (!m_spareRows.empty()) {
      fresh.Swap(m_spareRows.back());
      m_spareRows.pop_back();
    }
    fresh.SetCount(units);
    stored.pixels.Swap(fresh);
    m_storedBytes += std::int64_t{units} * std::int64_t{sizeof(Pixel)};
  }
  Kind::FillWhite(stored.pixels.Data(), m_rowUnits);
  stored.filled = false;
  stored.used = 0;
  return stored.pixels.Data();
}

template <class Kind>
void CHostImage<Kind>::SetRowEnd(std::int32_t row, const CRleStroke* end) {
  CheckRow(row);
  Pixel* start = m_writingScratch ? m_scratch.Data() : m_rows[row].pixels.Data();
  const std::int64_t used = reinterpret_cast<const Pixel*>(end) - start;
  const bool inside = used >= 1 && used <= m_rowUnits;
  if (inside && IsEndStroke(end[-1])) {
    if (!m_writingScratch) m_rows[row].used = used;
    return;
  }
  // Readers scan a row up to its end stroke: a refused row reads as white.
  Kind::FillWhite(start, m_rowUnits);
  Kes::RaiseInternal(inside ? HostSites::RowEndWithoutEndStroke : HostSites::RowEndOutsideBuffer, used);
}

template <class Kind>
void CHostImage<Kind>::ReleaseRowBuffer(std::int32_t row) {
  CheckRow(row);
  if (m_writingScratch) {
    m_writingScratch = false;
    return;
  }
  CRow& stored = m_rows[row];
  // A stroke list keeps only what it uses, where that frees enough to be
  // worth a new allocation; short rows keep their buffer for reuse.
  const std::int64_t unused = stored.pixels.GetCount() - stored.used;
  if (stored.used > 0 && unused * std::int64_t{sizeof(Pixel)} >= kCompactionMinSaving) {
    Kes::CArray<Pixel> compact;
    compact.SetCount(static_cast<std::int32_t>(stored.used));
    std::copy(stored.pixels.begin(), stored.pixels.begin() + stored.used, compact.begin());
    m_storedBytes -= std::int64_t{stored.pixels.GetCount() - compact.GetCount()} * std::int64_t{sizeof(Pixel)};
    stored.pixels.Swap(compact);
  }
  stored.filled = true;
  if (!m_fetcher || stored.held > 0) return;
  MarkReleased(row, stored);
  Trim();
}

template class CHostImage<CRgbKind>;
template class CHostImage<CGrayKind>;
template class CHostImage<CStrokeKind>;

}  // namespace Image

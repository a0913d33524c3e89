#include "platform/media/MemoryStream.h"

#include <algorithm>
#include <cstring>

namespace wmf {

MemoryStream::MemoryStream(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}

HRESULT MemoryStream::QueryInterface(REFIID, void **object) {
  if (object) *object = nullptr;
  return E_NOINTERFACE;
}

ULONG MemoryStream::AddRef() { return ++m_references; }

ULONG MemoryStream::Release() {
  const ULONG left = --m_references;
  if (left == 0) delete this;
  return left;
}

HRESULT MemoryStream::Read(void *buffer, ULONG bytes, ULONG *read) {
  const std::size_t got = std::min<std::size_t>(bytes, m_size - m_at);
  if (got > 0) std::memcpy(buffer, m_data + m_at, got);
  m_at += got;
  if (read) *read = ULONG(got);
  return got == bytes ? S_OK : S_FALSE;
}

HRESULT MemoryStream::Write(const void *, ULONG, ULONG *) { return E_NOTIMPL; }

HRESULT MemoryStream::Seek(std::int64_t move, DWORD origin, std::uint64_t *position) {
  const std::int64_t base =
      origin == STREAM_SEEK_CUR ? std::int64_t(m_at) : origin == STREAM_SEEK_END ? std::int64_t(m_size) : 0;
  if (move < -base || move > std::int64_t(m_size) - base) return E_FAIL;
  m_at = std::size_t(base + move);
  if (position) *position = m_at;
  return S_OK;
}

HRESULT MemoryStream::SetSize(std::uint64_t) { return E_NOTIMPL; }
HRESULT MemoryStream::CopyTo(IStream *, std::uint64_t, std::uint64_t *, std::uint64_t *) { return E_NOTIMPL; }
HRESULT MemoryStream::Commit(DWORD) { return S_OK; }
HRESULT MemoryStream::Revert() { return E_NOTIMPL; }
HRESULT MemoryStream::LockRegion(std::uint64_t, std::uint64_t, DWORD) { return E_NOTIMPL; }
HRESULT MemoryStream::UnlockRegion(std::uint64_t, std::uint64_t, DWORD) { return E_NOTIMPL; }

HRESULT MemoryStream::Stat(STATSTG *stat, DWORD) {
  if (!stat) return E_INVALIDARG;
  std::memset(stat, 0, sizeof(*stat));
  stat->cbSize = m_size;
  stat->type = STGTY_STREAM;
  return S_OK;
}

HRESULT MemoryStream::Clone(IStream **) { return E_NOTIMPL; }

}  // namespace wmf

// A read-only IStream over bytes in memory that the caller keeps alive, for
// handing a whole file in memory to the media readers.
#pragma once

#include "platform/media/WindowsMedia.h"

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace wmf {

class MemoryStream final : public IStream {
 public:
  // Made with one reference, which the caller releases.
  MemoryStream(const std::uint8_t *data, std::size_t size);
  HRESULT QueryInterface(REFIID iid, void **object) override;
  ULONG AddRef() override;
  ULONG Release() override;
  HRESULT Read(void *buffer, ULONG bytes, ULONG *read) override;
  HRESULT Write(const void *buffer, ULONG bytes, ULONG *written) override;
  HRESULT Seek(std::int64_t move, DWORD origin, std::uint64_t *position) override;
  HRESULT SetSize(std::uint64_t size) override;
  HRESULT CopyTo(IStream *to, std::uint64_t bytes, std::uint64_t *read, std::uint64_t *written) override;
  HRESULT Commit(DWORD flags) override;
  HRESULT Revert() override;
  HRESULT LockRegion(std::uint64_t offset, std::uint64_t bytes, DWORD type) override;
  HRESULT UnlockRegion(std::uint64_t offset, std::uint64_t bytes, DWORD type) override;
  HRESULT Stat(STATSTG *stat, DWORD flags) override;
  HRESULT Clone(IStream **copy) override;

 private:
  ~MemoryStream() override = default;
  const std::uint8_t *m_data;
  std::size_t m_size;
  std::size_t m_at = 0;
  std::atomic<ULONG> m_references{1};
};

}  // namespace wmf

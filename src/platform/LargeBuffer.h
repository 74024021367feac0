#pragma once
// Buffers of many megabytes that are filled once, at once (an item payload of 100 MB, the
// blocks of a large paste). With 4 KiB pages their first touch costs a page fault per page,
// which on some machines takes longer than copying the bytes. AdviseLargeBuffer asks for
// huge pages over the buffer's whole 2 MiB units before they are touched.

#include <cstddef>

namespace membuf {

// Buffers below this size are left alone.
constexpr std::size_t kLargeBuffer = std::size_t{4} << 20;

// A hint only: p..p+n must be memory of this process that is not yet touched (or whose
// contents may stay as they are); nothing changes where the system has no huge pages.
void AdviseLargeBuffer(void* p, std::size_t n) noexcept;

} // namespace membuf

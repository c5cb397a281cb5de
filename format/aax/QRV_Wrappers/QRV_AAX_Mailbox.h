// One message slot between one producer thread and one consumer thread, without a lock: a triple buffer
// whose middle index is exchanged atomically. A message not yet taken when the next one is posted is
// replaced by it.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstring>

namespace qrv::aax {

template <std::size_t N>
class Mailbox {
 public:
  // Producer. false when the message is empty or does not fit.
  bool Post(const void* bytes, std::size_t length) {
    if (bytes == nullptr || length == 0 || length > N) return false;
    Slot& s = slots_[back_];
    std::memset(s.bytes, 0, N);
    std::memcpy(s.bytes, bytes, length);
    s.length = length;
    back_ = middle_.exchange(back_ | kFresh, std::memory_order_acq_rel) & kIndex;
    return true;
  }

  // Consumer. Copies the latest message (N bytes, zero-filled beyond its length) and its length; false
  // when nothing new was posted.
  bool Take(unsigned char (&out)[N], uint64_t& length) {
    if ((middle_.load(std::memory_order_acquire) & kFresh) == 0) return false;
    front_ = middle_.exchange(front_, std::memory_order_acq_rel) & kIndex;
    std::memcpy(out, slots_[front_].bytes, N);
    length = slots_[front_].length;
    return true;
  }

 private:
  static constexpr uint32_t kFresh = 4;
  static constexpr uint32_t kIndex = 3;
  struct Slot {
    unsigned char bytes[N] = {};
    uint64_t length = 0;
  };
  Slot slots_[3];
  uint32_t back_ = 0;   // producer's
  uint32_t front_ = 2;  // consumer's
  std::atomic<uint32_t> middle_{1};
};

}  // namespace qrv::aax

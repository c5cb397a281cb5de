// FIFOs for tests of code that must never wait on one: a named pipe in a folder, and a watchdog that turns
// an open blocked on it into a failed expectation instead of a test that hangs.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>

namespace qrv::test {

// Makes a FIFO at path (mkfifo); false when it could not be made.
bool MakeFifo(const std::filesystem::path& path);

// Runs op on a thread of its own. When op has not returned within limit, the FIFO's other ends are opened
// again and again until it does, so that an open blocked on the FIFO returns, and the answer is false.
// True when op returned in time. A healthy op returns at once, so the limit is only ever waited out by
// the regression it catches.
bool ReturnsWithoutWaitingOn(const std::filesystem::path& fifo, const std::function<void()>& op,
                             std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace qrv::test

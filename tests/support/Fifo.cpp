#include "tests/support/Fifo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <future>
#include <thread>

namespace qrv::test {

bool MakeFifo(const std::filesystem::path& path) { return ::mkfifo(path.c_str(), 0644) == 0; }

bool ReturnsWithoutWaitingOn(const std::filesystem::path& fifo, const std::function<void()>& op,
                             std::chrono::milliseconds limit) {
  std::packaged_task<void()> task(op);
  std::future<void> done = task.get_future();
  std::thread runner(std::move(task));
  const bool inTime = done.wait_for(limit) == std::future_status::ready;
  // Opening the other end releases an open waiting for it: a reader sees end of file at once, a writer
  // finds a reader (that then goes away).
  while (done.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) {
    for (const int mode : {O_WRONLY, O_RDONLY}) {
      const int fd = ::open(fifo.c_str(), mode | O_NONBLOCK | O_CLOEXEC);
      if (fd >= 0) ::close(fd);
    }
  }
  runner.join();
  done.get();  // rethrows what op threw
  return inTime;
}

}  // namespace qrv::test

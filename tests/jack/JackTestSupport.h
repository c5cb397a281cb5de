// A private dummy JACK server per test and a JACK client of the tests' own that plays into and records
// from other clients' ports.
#pragma once

#include <jack/jack.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"

namespace qrv::jack::test {

using Channels = std::vector<std::vector<float>>;

// jackd -n NAME -r -S -d dummy -r 48000 -p 256 (or another rate), under a name no other running server has; JACK_DEFAULT_SERVER points this
// process (and what it starts) at it. Stopped, and whatever it left in /dev/shm removed, on destruction.
// Synchronous (-S): each cycle waits for every client, so a loaded machine (tests side by side) makes
// the server late rather than handing on a late client's buffers unfinished.
class JackServer {
 public:
  static constexpr unsigned kRate = 48000;
  static constexpr unsigned kPeriod = 256;

  // rate: the dummy driver's sample rate.
  explicit JackServer(unsigned rate = kRate);
  ~JackServer();
  JackServer(const JackServer&) = delete;
  JackServer& operator=(const JackServer&) = delete;

  bool ok() const { return ok_; }
  const std::string& reason() const { return reason_; }
  const std::string& name() const { return name_; }
  // Kills the server without warning (SIGKILL), as a crash would.
  void Kill();

 private:
  static constexpr int kNames = 6;
  bool Start();
  void Stop(int signal);
  void RemoveLeftovers() const;
  qrv::test::TempDir scratch_;
  unsigned rate_;
  pid_t pid_ = -1;
  std::string name_;
  std::string reason_;
  bool ok_ = false;
};

// A client with output ports play_1.. and input ports rec_1..: plays a signal and records what comes back.
class TestClient {
 public:
  TestClient(const std::string& name, unsigned channels);
  ~TestClient();
  TestClient(const TestClient&) = delete;
  TestClient& operator=(const TestClient&) = delete;

  bool ok() const { return client_ != nullptr; }
  jack_client_t* get() const { return client_; }
  std::string PlayPort(unsigned ch) const;
  std::string RecordPort(unsigned ch) const;
  // Whether each of our ports is connected to something (the client under test has connected them).
  bool Connected() const;
  // Plays signal from the next period on and records as many frames plus tail; empty on timeout.
  Channels PlayAndRecord(const Channels& signal, std::size_t tail,
                         std::chrono::milliseconds timeout = std::chrono::seconds(30));
  uint64_t cycles() const { return cycles_.load(); }
  // xruns the server reported; with a synchronous server they make it late, not the audio wrong.
  uint32_t xruns() const { return xruns_.load(); }

 private:
  static int OnProcess(jack_nframes_t frames, void* arg);
  static int OnXrun(void* arg);
  jack_client_t* client_ = nullptr;
  std::string name_;
  unsigned channels_;
  std::vector<jack_port_t*> play_, record_;
  // The test thread's while running_ is false; the process callback's while it is true.
  Channels signal_, recorded_;
  std::size_t total_ = 0, position_ = 0;
  std::atomic<bool> running_{false};
  std::atomic<uint64_t> cycles_{0};
  std::atomic<uint32_t> xruns_{0};
};

// Waits until pred() holds or timeout passes; the last answer.
bool WaitFor(const std::function<bool()>& pred, std::chrono::milliseconds timeout = std::chrono::seconds(20));

// The lag (0..maxLag) at which recorded best matches expected, and the largest difference there.
struct Alignment {
  std::size_t lag = 0;
  double maxDifference = 0.0;
  double expectedPeak = 0.0;
  std::size_t firstDifference = 0;  // the first frame that differs by more than 1e-5, or the length
};
Alignment Align(const Channels& recorded, const Channels& expected, std::size_t maxLag);

double Peak(const Channels& audio, std::size_t from = 0);

}  // namespace qrv::jack::test

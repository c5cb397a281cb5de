#include "tests/jack/JackTestSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <thread>

extern char** environ;

namespace qrv::jack::test {
namespace {

constexpr const char* kJackd = "/usr/bin/jackd";

void Silent(const char*) {}

}  // namespace

bool WaitFor(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    if (pred()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return pred();
}

JackServer::JackServer(unsigned rate) : rate_(rate) {
  jack_set_error_function(Silent);
  jack_set_info_function(Silent);
  if (access(kJackd, X_OK) != 0) {
    reason_ = "jackd is not installed (Debian package jackd2)";
    return;
  }
  // No device is reserved through D-Bus: the dummy driver needs none, and a test box has no session bus.
  setenv("JACK_NO_AUDIO_RESERVATION", "1", 1);
  // JACK's shared registry holds a handful of servers and frees an entry only for a server of the same
  // name, so the names come from a small pool: a name whose server still runs (another test's) makes
  // jackd stop at once and the next name is tried; a name left by a killed server is taken over.
  for (int slot = 0; slot < kNames && !ok_; ++slot) {
    name_ = "qrvlive-" + std::to_string(getuid()) + "-" + std::to_string(slot);
    if (Start()) ok_ = true;
  }
  if (!ok_) reason_ = "jackd did not come up: " + qrv::test::FileBytes(scratch_.path() / "jackd.txt");
}

bool JackServer::Start() {
  const std::string log = (scratch_.path() / "jackd.txt").string();
  const std::string rate = std::to_string(rate_), period = std::to_string(kPeriod);
  const char* argv[] = {kJackd, "-n", name_.c_str(), "-r", "-S", "-d", "dummy", "-r", rate.c_str(), "-p",
                        period.c_str(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const int rc = posix_spawn(&pid_, kJackd, &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) {
    pid_ = -1;
    return false;
  }
  setenv("JACK_DEFAULT_SERVER", name_.c_str(), 1);
  // Up when a client gets in and the server is ours (still running a moment later: a server of that name
  // that runs already would have let the client in while ours gave up).
  const bool up = WaitFor([this] {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return true;
    }
    jack_status_t open{};
    jack_client_t* probe = jack_client_open("qrvprobe", JackNoStartServer, &open);
    if (probe == nullptr) return false;
    jack_client_close(probe);
    return true;
  });
  if (up && pid_ > 0) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == 0) return true;
    pid_ = -1;
  }
  Stop(SIGKILL);
  return false;
}

void JackServer::Stop(int signal) {
  if (pid_ <= 0) return;
  kill(pid_, signal);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
}

void JackServer::Kill() {
  Stop(SIGKILL);
  RemoveLeftovers();
}

JackServer::~JackServer() {
  Stop(SIGTERM);
  RemoveLeftovers();
}

void JackServer::RemoveLeftovers() const {
  // A killed server leaves its semaphores and segments, named after it, behind.
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator("/dev/shm", ec)) {
    const std::string file = entry.path().filename().string();
    if (file.find("_" + name_ + "_") != std::string::npos || file.rfind("jack_" + name_ + "_", 0) == 0) {
      std::filesystem::remove(entry.path(), ec);
    }
  }
}

TestClient::TestClient(const std::string& name, unsigned channels) : name_(name), channels_(channels) {
  jack_status_t status{};
  client_ = jack_client_open(name.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackUseExactName), &status);
  if (client_ == nullptr) return;
  for (unsigned ch = 0; ch < channels; ++ch) {
    play_.push_back(jack_port_register(client_, ("play_" + std::to_string(ch + 1)).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                       JackPortIsOutput, 0));
    record_.push_back(jack_port_register(client_, ("rec_" + std::to_string(ch + 1)).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsInput, 0));
  }
  jack_set_process_callback(client_, OnProcess, this);
  jack_set_xrun_callback(client_, OnXrun, this);
  if (jack_activate(client_) != 0) {
    jack_client_close(client_);
    client_ = nullptr;
  }
}

TestClient::~TestClient() {
  if (client_ != nullptr) {
    jack_deactivate(client_);
    jack_client_close(client_);
  }
}

std::string TestClient::PlayPort(unsigned ch) const { return name_ + ":play_" + std::to_string(ch + 1); }
std::string TestClient::RecordPort(unsigned ch) const { return name_ + ":rec_" + std::to_string(ch + 1); }

bool TestClient::Connected() const {
  for (unsigned ch = 0; ch < channels_; ++ch) {
    if (jack_port_connected(play_[ch]) < 1 || jack_port_connected(record_[ch]) < 1) return false;
  }
  return true;
}

int TestClient::OnXrun(void* arg) {
  static_cast<TestClient*>(arg)->xruns_.fetch_add(1);
  return 0;
}

int TestClient::OnProcess(jack_nframes_t frames, void* arg) {
  auto& self = *static_cast<TestClient*>(arg);
  self.cycles_.fetch_add(1);
  // The buffers belong to the test thread until running_ hands them over.
  const bool running = self.running_.load(std::memory_order_acquire);
  for (unsigned ch = 0; ch < self.channels_; ++ch) {
    auto* out = static_cast<float*>(jack_port_get_buffer(self.play_[ch], frames));
    const auto* in = static_cast<const float*>(jack_port_get_buffer(self.record_[ch], frames));
    if (!running) {
      std::fill(out, out + frames, 0.0f);
      continue;
    }
    const std::vector<float>& source = self.signal_[std::min<std::size_t>(ch, self.signal_.size() - 1)];
    for (jack_nframes_t i = 0; i < frames; ++i) {
      const std::size_t at = self.position_ + i;
      out[i] = at < source.size() ? source[at] : 0.0f;
      if (at < self.total_) self.recorded_[ch][at] = in[i];
    }
  }
  if (running) {
    self.position_ += frames;
    if (self.position_ >= self.total_) self.running_.store(false, std::memory_order_release);
  }
  return 0;
}

Channels TestClient::PlayAndRecord(const Channels& signal, std::size_t tail, std::chrono::milliseconds timeout) {
  if (client_ == nullptr || signal.empty() || running_.load()) return {};
  signal_ = signal;
  total_ = signal[0].size() + tail;
  recorded_.assign(channels_, std::vector<float>(total_, 0.0f));
  position_ = 0;
  running_.store(true, std::memory_order_release);
  if (!WaitFor([this] { return !running_.load(std::memory_order_acquire); }, timeout)) {
    running_.store(false);
    return {};
  }
  return recorded_;
}

Alignment Align(const Channels& recorded, const Channels& expected, std::size_t maxLag) {
  // Nothing recorded (a timed-out take) or too little to compare never counts as a match.
  Alignment best;
  best.maxDifference = std::numeric_limits<double>::infinity();
  if (recorded.size() != expected.size() || expected.empty()) return best;
  const std::size_t length = expected[0].size();
  for (const auto& channel : recorded) {
    if (channel.size() < length || channel.size() != recorded[0].size()) return best;
  }
  // The lag is found on a window where the signal is under way, then the whole length is compared there.
  std::size_t start = 0;
  while (start < length && std::fabs(expected[0][start]) < 0.01f) ++start;
  if (start == length) start = 0;
  const std::size_t window = std::min<std::size_t>(length - start, 8192);
  double bestError = -1.0;
  for (std::size_t lag = 0; lag <= maxLag; ++lag) {
    if (lag + length > recorded[0].size()) break;
    double error = 0.0;
    for (std::size_t i = start; i < start + window; ++i) {
      const double d = static_cast<double>(recorded[0][lag + i]) - static_cast<double>(expected[0][i]);
      error += d * d;
    }
    if (bestError < 0.0 || error < bestError) {
      bestError = error;
      best.lag = lag;
    }
  }
  best.firstDifference = length;
  best.maxDifference = 0.0;
  for (std::size_t ch = 0; ch < expected.size(); ++ch) {
    for (std::size_t i = 0; i < length; ++i) {
      const double d = static_cast<double>(recorded[ch][best.lag + i]) - static_cast<double>(expected[ch][i]);
      if (std::fabs(d) > 1e-5 && i < best.firstDifference) best.firstDifference = i;
      best.maxDifference = std::max(best.maxDifference, std::fabs(d));
      best.expectedPeak = std::max(best.expectedPeak, std::fabs(static_cast<double>(expected[ch][i])));
    }
  }
  return best;
}

double Peak(const Channels& audio, std::size_t from) {
  double peak = 0.0;
  for (const auto& ch : audio) {
    for (std::size_t i = from; i < ch.size(); ++i) peak = std::max(peak, std::fabs(static_cast<double>(ch[i])));
  }
  return peak;
}

}  // namespace qrv::jack::test

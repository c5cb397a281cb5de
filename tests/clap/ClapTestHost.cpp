#include "tests/clap/ClapTestHost.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "tests/support/ScratchUser.h"
#include "tests/support/SharedLibrary.h"

namespace qrv::clap::test {
namespace {

// Before any test loads the module.
const auto* const g_environment = ::testing::AddGlobalTestEnvironment(new qrv::test::ScratchUserEnvironment(true));

}  // namespace

Module::Module(const std::string& path) {
  // Never unloaded, as most hosts keep a plug-in module (OpenLibrary says why).
  handle_ = qrv::test::OpenLibrary(path, &error_);
  if (handle_ == nullptr) return;
  entry_ = static_cast<const clap_plugin_entry_t*>(qrv::test::LibrarySymbol(handle_, "clap_entry"));
  if (entry_ == nullptr) {
    error_ = "no clap_entry";
    return;
  }
  if (!entry_->init(path.c_str())) {
    error_ = "clap_entry.init failed";
    entry_ = nullptr;
    return;
  }
  factory_ = static_cast<const clap_plugin_factory_t*>(entry_->get_factory(CLAP_PLUGIN_FACTORY_ID));
  if (factory_ == nullptr) error_ = "no plug-in factory";
}

Module::~Module() {
  if (entry_ != nullptr) entry_->deinit();
  if (handle_ != nullptr) qrv::test::CloseLibrary(handle_);
}

EventList::EventList() : in_{this, Size, Get} {}

void EventList::AddValue(uint32_t time, clap_id id, double value) {
  Event e{};
  e.value.header = {sizeof(clap_event_param_value_t), time, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_PARAM_VALUE, 0};
  e.value.param_id = id;
  e.value.note_id = -1;
  e.value.port_index = -1;
  e.value.channel = -1;
  e.value.key = -1;
  e.value.value = value;
  events_.push_back(e);
}

void EventList::AddHeader(const clap_event_header_t& header) {
  Event e{};
  e.header = header;
  events_.push_back(e);
}

uint32_t EventList::Size(const clap_input_events_t* list) {
  return static_cast<uint32_t>(static_cast<const EventList*>(list->ctx)->events_.size());
}

const clap_event_header_t* EventList::Get(const clap_input_events_t* list, uint32_t index) {
  const auto* self = static_cast<const EventList*>(list->ctx);
  return index < self->events_.size() ? &self->events_[index].header : nullptr;
}

namespace {

void Log(const clap_host_t* host, clap_log_severity severity, const char* message) {
  static_cast<Host*>(host->host_data)->logs.push_back(std::to_string(severity) + ": " + message);
}
const clap_host_log_t kLog = {Log};

bool IsMain(const clap_host_t* host) {
  return std::this_thread::get_id() == static_cast<Host*>(host->host_data)->mainThread;
}
bool IsAudio(const clap_host_t* host) { return !IsMain(host); }
const clap_host_thread_check_t kThreadCheck = {IsMain, IsAudio};

void CountThread(const clap_host_t* host) {
  if (!IsMain(host)) ++static_cast<Host*>(host->host_data)->offMainCalls;
}
void Rescan(const clap_host_t* host, uint32_t) {
  CountThread(host);
  ++static_cast<Host*>(host->host_data)->rescans;
}
void Clear(const clap_host_t*, clap_id, uint32_t) {}
void RequestFlush(const clap_host_t* host) { ++static_cast<Host*>(host->host_data)->flushRequests; }
const clap_host_params_t kParams = {Rescan, Clear, RequestFlush};
const clap_host_latency_t kLatency = {[](const clap_host_t* host) {
  CountThread(host);
  static_cast<Host*>(host->host_data)->latencyChanges++;
}};

void Nothing(const clap_host_t*) {}

Host* HostOf(const clap_host_t* host) { return static_cast<Host*>(host->host_data); }
bool RequestResize(const clap_host_t* host, uint32_t w, uint32_t h) {
  CountThread(host);
  HostOf(host)->resizes.emplace_back(w, h);
  return true;
}
bool Yes(const clap_host_t*) { return true; }
void Closed(const clap_host_t*, bool) {}
const clap_host_gui_t kGui = {Nothing, RequestResize, Yes, Yes, Closed};

bool RegisterTimer(const clap_host_t* host, uint32_t period, clap_id* id) {
  CountThread(host);
  *id = static_cast<clap_id>(100 + HostOf(host)->timers.size());
  HostOf(host)->timers.emplace_back(*id, period);
  return true;
}
bool UnregisterTimer(const clap_host_t* host, clap_id id) {
  CountThread(host);
  auto& t = HostOf(host)->timers;
  const auto before = t.size();
  std::erase_if(t, [id](const auto& p) { return p.first == id; });
  return t.size() != before;
}
const clap_host_timer_support_t kTimers = {RegisterTimer, UnregisterTimer};

bool RegisterFd(const clap_host_t* host, int fd, uint32_t) {
  CountThread(host);
  HostOf(host)->fds.push_back(fd);
  return true;
}
bool ModifyFd(const clap_host_t*, int, uint32_t) { return true; }
bool UnregisterFd(const clap_host_t* host, int fd) {
  CountThread(host);
  return std::erase(HostOf(host)->fds, fd) > 0;
}
const clap_host_posix_fd_support_t kFds = {RegisterFd, ModifyFd, UnregisterFd};

}  // namespace

Host::Host() {
  host_ = {};
  host_.clap_version = kClapVersion;
  host_.host_data = this;
  host_.name = "qrv clap test host";
  host_.vendor = "Quarry-tone";
  host_.url = "";
  host_.version = "1";
  host_.get_extension = GetExtension;
  host_.request_restart = [](const clap_host_t* host) { Self(host)->restarts.fetch_add(1); };
  host_.request_process = Nothing;
  host_.request_callback = Nothing;
}

const void* Host::GetExtension(const clap_host_t* host, const char* id) {
  Self(host)->asked.emplace_back(id);
  if (std::strcmp(id, CLAP_EXT_LOG) == 0) return &kLog;
  if (std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0) return &kThreadCheck;
  if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &kParams;
  if (std::strcmp(id, CLAP_EXT_LATENCY) == 0) return &kLatency;
  if (std::strcmp(id, CLAP_EXT_GUI) == 0) return &kGui;
  if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return Self(host)->offerTimers ? &kTimers : nullptr;
  if (std::strcmp(id, CLAP_EXT_POSIX_FD_SUPPORT) == 0) return &kFds;
  return nullptr;
}

Instance::Instance(const Module& module, Host& host, const char* id) {
  if (!module.ok()) {
    ADD_FAILURE() << "module not loaded: " << module.error();
    return;
  }
  plugin_ = module.factory()->create_plugin(module.factory(), host.clap(), id);
  if (plugin_ == nullptr) {
    ADD_FAILURE() << "create_plugin(" << id << ") failed";
    return;
  }
  EXPECT_TRUE(plugin_->init(plugin_));
  channels_ = std::strstr(id, "stereo") != nullptr ? 2 : 1;
}

Instance::~Instance() {
  if (plugin_ == nullptr) return;
  Deactivate();
  plugin_->destroy(plugin_);
}

bool Instance::Activate(double rate, uint32_t maxFrames) {
  active_ = plugin_->activate(plugin_, rate, 1, maxFrames);
  return active_;
}

void Instance::Deactivate() {
  if (processing_) plugin_->stop_processing(plugin_);
  processing_ = false;
  if (active_) plugin_->deactivate(plugin_);
  active_ = false;
}

clap_process_status Instance::Process(std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out,
                                      uint32_t offset, uint32_t frames, const EventList& events) {
  if (!processing_) processing_ = plugin_->start_processing(plugin_);
  float* inPointers[2] = {};
  float* outPointers[2] = {};
  for (uint32_t ch = 0; ch < channels_; ++ch) {
    inPointers[ch] = in[ch].data() + offset;
    outPointers[ch] = out[ch].data() + offset;
  }
  clap_audio_buffer_t input{inPointers, nullptr, channels_, 0, 0};
  clap_audio_buffer_t output{outPointers, nullptr, channels_, 0, 0};
  clap_output_events_t outEvents{nullptr, [](const clap_output_events_t*, const clap_event_header_t*) { return true; }};
  clap_process_t process{};
  process.steady_time = offset;
  process.frames_count = frames;
  process.audio_inputs = &input;
  process.audio_outputs = &output;
  process.audio_inputs_count = 1;
  process.audio_outputs_count = 1;
  process.in_events = events.in();
  process.out_events = &outEvents;
  return plugin_->process(plugin_, &process);
}

void Instance::Render(const std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out,
                      uint32_t blockSize) {
  std::vector<std::vector<float>> input = in;
  out.assign(in.size(), std::vector<float>(in[0].size()));
  const EventList none;
  const auto frames = static_cast<uint32_t>(in[0].size());
  for (uint32_t at = 0; at < frames; at += blockSize) {
    const uint32_t n = std::min(blockSize, frames - at);
    ASSERT_EQ(Process(input, out, at, n, none), CLAP_PROCESS_CONTINUE);
  }
}

namespace {

struct OutStream {
  std::vector<uint8_t>* bytes;
  std::size_t piece;
};
int64_t Write(const clap_ostream_t* stream, const void* buffer, uint64_t size) {
  auto* s = static_cast<OutStream*>(stream->ctx);
  const std::size_t n = std::min<std::size_t>(static_cast<std::size_t>(size), s->piece);
  const auto* b = static_cast<const uint8_t*>(buffer);
  s->bytes->insert(s->bytes->end(), b, b + n);
  return static_cast<int64_t>(n);
}

struct InStream {
  const std::vector<uint8_t>* bytes;
  std::size_t at, piece;
};
int64_t Read(const clap_istream_t* stream, void* buffer, uint64_t size) {
  auto* s = static_cast<InStream*>(stream->ctx);
  const std::size_t n = std::min({static_cast<std::size_t>(size), s->piece, s->bytes->size() - s->at});
  if (n > 0) std::memcpy(buffer, s->bytes->data() + s->at, n);
  s->at += n;
  return static_cast<int64_t>(n);
}

}  // namespace

bool Instance::Save(std::vector<uint8_t>& bytes, std::size_t piece) {
  const auto* state = Extension<clap_plugin_state_t>(CLAP_EXT_STATE);
  if (state == nullptr) return false;
  bytes.clear();
  OutStream s{&bytes, piece};
  const clap_ostream_t stream{&s, Write};
  return state->save(plugin_, &stream);
}

bool Instance::Load(const std::vector<uint8_t>& bytes, std::size_t piece) {
  const auto* state = Extension<clap_plugin_state_t>(CLAP_EXT_STATE);
  if (state == nullptr) return false;
  InStream s{&bytes, 0, piece};
  const clap_istream_t stream{&s, Read};
  return state->load(plugin_, &stream);
}

double Instance::Value(clap_id id) const {
  const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  double v = -1.0;
  EXPECT_TRUE(params != nullptr && params->get_value(plugin_, id, &v)) << "param " << id;
  return v;
}

void Instance::Flush(const EventList& events) {
  const auto* params = Extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
  clap_output_events_t outEvents{nullptr, [](const clap_output_events_t*, const clap_event_header_t*) { return true; }};
  params->flush(plugin_, events.in(), &outEvents);
}

}  // namespace qrv::clap::test

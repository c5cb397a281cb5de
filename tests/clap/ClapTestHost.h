// A CLAP host of the tests' own: loads the built module (dlopen, LoadLibraryW on Windows) and drives its plug-ins as a host
// does, on the calling thread (which it calls both main and audio thread unless told otherwise).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "format/clap/ClapAbi.h"

namespace qrv::clap::test {

// The module: loaded, clap_entry, init and the plug-in factory; deinit and unloaded at the end.
class Module {
 public:
  explicit Module(const std::string& path = QRV_CLAP_MODULE);
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  bool ok() const { return factory_ != nullptr; }
  const std::string& error() const { return error_; }
  void* handle() const { return handle_; }
  const clap_plugin_entry_t* entry() const { return entry_; }
  const clap_plugin_factory_t* factory() const { return factory_; }

 private:
  void* handle_ = nullptr;
  const clap_plugin_entry_t* entry_ = nullptr;
  const clap_plugin_factory_t* factory_ = nullptr;
  std::string error_;
};

// A list of events handed to process or flush.
class EventList {
 public:
  EventList();
  void AddValue(uint32_t time, clap_id id, double value);
  void AddHeader(const clap_event_header_t& header);  // a foreign event, copied as it is
  const clap_input_events_t* in() const { return &in_; }

 private:
  static uint32_t Size(const clap_input_events_t* list);
  static const clap_event_header_t* Get(const clap_input_events_t* list, uint32_t index);
  union Event {
    clap_event_header_t header;
    clap_event_param_value_t value;
  };
  std::vector<Event> events_;
  clap_input_events_t in_;
};

// The host object and the host extensions a plug-in may ask for, recording what it calls.
class Host {
 public:
  Host();
  const clap_host_t* clap() const { return &host_; }

  std::vector<std::string> logs;
  int rescans = 0;
  // Calls of main-thread host functions (rescan, timers, descriptors, resize) from another thread.
  int offMainCalls = 0;
  int flushRequests = 0;
  std::atomic<int> restarts{0};  // request_restart, callable from any thread
  int latencyChanges = 0;        // clap.latency's changed, while activating
  std::thread::id mainThread = std::this_thread::get_id();
  std::vector<std::string> asked;  // extension ids in the order asked
  // The GUI side: what the editor registered and asked for.
  bool offerTimers = true;
  std::vector<std::pair<clap_id, uint32_t>> timers;  // id, period
  std::vector<int> fds;
  std::vector<std::pair<uint32_t, uint32_t>> resizes;

 private:
  static const void* GetExtension(const clap_host_t* host, const char* id);
  static Host* Self(const clap_host_t* host) { return static_cast<Host*>(host->host_data); }
  clap_host_t host_;
};

// One plug-in instance created, initialised and destroyed with the object.
class Instance {
 public:
  Instance(const Module& module, Host& host, const char* id);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  const clap_plugin_t* plugin() const { return plugin_; }
  template <typename T>
  const T* Extension(const char* id) const {
    return static_cast<const T*>(plugin_->get_extension(plugin_, id));
  }

  bool Activate(double rate, uint32_t maxFrames = 4096);
  void Deactivate();
  // Planar in and out (in place when they are the same); returns the process status.
  clap_process_status Process(std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out,
                              uint32_t offset, uint32_t frames, const EventList& events);
  // Renders whole buffers in blocks of blockSize frames, events at block 0.
  void Render(const std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out, uint32_t blockSize);

  // Through the state extension, the stream moving at most `piece` bytes per call.
  bool Save(std::vector<uint8_t>& bytes, std::size_t piece = 7);
  bool Load(const std::vector<uint8_t>& bytes, std::size_t piece = 5);
  double Value(clap_id id) const;
  void Flush(const EventList& events);

 private:
  const clap_plugin_t* plugin_ = nullptr;
  bool active_ = false;
  bool processing_ = false;
  uint32_t channels_ = 0;
};

}  // namespace qrv::clap::test

// The CLAP 1.2.x C ABI, as far as this binding and its test host use it: the entry, the plug-in factory,
// the plug-in and host objects, events, process, and the extensions named below. Written from the public
// CLAP 1.2.2 documentation; layouts and identifiers are those of the published ABI, which is stable
// across 1.x. Only what is used is declared; the published headers stay the reference.
//
// Threads, as CLAP assigns them: [main] is the host's main thread, [audio] its audio thread(s),
// [thread-safe] any thread. A call marked [main] may come before init only where noted.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// --- Version -------------------------------------------------------------------------------------------

struct clap_version_t {
  uint32_t major;
  uint32_t minor;
  uint32_t revision;
};
inline constexpr clap_version_t kClapVersion = {1, 2, 2};
// A host or plug-in of any 1.x speaks this ABI.
constexpr bool clap_version_is_compatible(clap_version_t v) { return v.major >= 1; }

inline constexpr std::size_t CLAP_NAME_SIZE = 256;
inline constexpr std::size_t CLAP_PATH_SIZE = 1024;

using clap_id = uint32_t;
inline constexpr clap_id CLAP_INVALID_ID = UINT32_MAX;

// --- Host ----------------------------------------------------------------------------------------------

struct clap_host_t {
  clap_version_t clap_version;
  void* host_data;
  const char* name;  // mandatory
  const char* vendor;
  const char* url;
  const char* version;  // mandatory
  // [thread-safe]; null for an extension the host lacks.
  const void* (*get_extension)(const clap_host_t* host, const char* extension_id);
  void (*request_restart)(const clap_host_t* host);   // [thread-safe]
  void (*request_process)(const clap_host_t* host);   // [thread-safe]
  void (*request_callback)(const clap_host_t* host);  // [thread-safe]; on_main_thread follows on [main]
};

// --- Events --------------------------------------------------------------------------------------------

struct clap_event_header_t {
  uint32_t size;  // of the whole event, header included
  uint32_t time;  // sample offset within the block
  uint16_t space_id;
  uint16_t type;
  uint32_t flags;
};
inline constexpr uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;
enum : uint32_t {
  CLAP_EVENT_IS_LIVE = 1u << 0,
  CLAP_EVENT_DONT_RECORD = 1u << 1,
};
enum : uint16_t {
  CLAP_EVENT_NOTE_ON = 0,
  CLAP_EVENT_NOTE_OFF = 1,
  CLAP_EVENT_NOTE_CHOKE = 2,
  CLAP_EVENT_NOTE_END = 3,
  CLAP_EVENT_NOTE_EXPRESSION = 4,
  CLAP_EVENT_PARAM_VALUE = 5,
  CLAP_EVENT_PARAM_MOD = 6,
  CLAP_EVENT_PARAM_GESTURE_BEGIN = 7,
  CLAP_EVENT_PARAM_GESTURE_END = 8,
  CLAP_EVENT_TRANSPORT = 9,
  CLAP_EVENT_MIDI = 10,
  CLAP_EVENT_MIDI_SYSEX = 11,
  CLAP_EVENT_MIDI2 = 12,
};

struct clap_event_param_value_t {
  clap_event_header_t header;
  clap_id param_id;
  void* cookie;
  int32_t note_id;  // -1: all
  int16_t port_index;
  int16_t channel;
  int16_t key;
  double value;
};

struct clap_event_param_gesture_t {
  clap_event_header_t header;
  clap_id param_id;
};

struct clap_event_transport_t;  // read by nothing here

struct clap_input_events_t {
  void* ctx;
  uint32_t (*size)(const clap_input_events_t* list);
  // Events come sorted by time; the pointer lives until the call that handed the list returns.
  const clap_event_header_t* (*get)(const clap_input_events_t* list, uint32_t index);
};

struct clap_output_events_t {
  void* ctx;
  // False when the host could not take the event.
  bool (*try_push)(const clap_output_events_t* list, const clap_event_header_t* event);
};

// --- Process -------------------------------------------------------------------------------------------

struct clap_audio_buffer_t {
  float** data32;
  double** data64;
  uint32_t channel_count;
  uint32_t latency;
  uint64_t constant_mask;
};

struct clap_process_t {
  int64_t steady_time;  // -1 when unknown
  uint32_t frames_count;
  const clap_event_transport_t* transport;
  const clap_audio_buffer_t* audio_inputs;
  clap_audio_buffer_t* audio_outputs;
  uint32_t audio_inputs_count;
  uint32_t audio_outputs_count;
  const clap_input_events_t* in_events;
  const clap_output_events_t* out_events;
};

using clap_process_status = int32_t;
enum : clap_process_status {
  CLAP_PROCESS_ERROR = 0,
  CLAP_PROCESS_CONTINUE = 1,
  CLAP_PROCESS_CONTINUE_IF_NOT_QUIET = 2,
  CLAP_PROCESS_TAIL = 3,
  CLAP_PROCESS_SLEEP = 4,
};

// --- Plug-in -------------------------------------------------------------------------------------------

struct clap_plugin_descriptor_t {
  clap_version_t clap_version;
  const char* id;  // mandatory, stable
  const char* name;
  const char* vendor;
  const char* url;
  const char* manual_url;
  const char* support_url;
  const char* version;
  const char* description;
  const char* const* features;  // null-terminated
};

struct clap_plugin_t {
  const clap_plugin_descriptor_t* desc;
  void* plugin_data;
  bool (*init)(const clap_plugin_t* plugin);                  // [main]
  void (*destroy)(const clap_plugin_t* plugin);               // [main]
  bool (*activate)(const clap_plugin_t* plugin, double sample_rate, uint32_t min_frames_count,
                   uint32_t max_frames_count);                // [main]
  void (*deactivate)(const clap_plugin_t* plugin);            // [main]
  bool (*start_processing)(const clap_plugin_t* plugin);      // [audio]
  void (*stop_processing)(const clap_plugin_t* plugin);       // [audio]
  void (*reset)(const clap_plugin_t* plugin);                 // [audio]
  clap_process_status (*process)(const clap_plugin_t* plugin, const clap_process_t* process);  // [audio]
  // [thread-safe]; may be called before init.
  const void* (*get_extension)(const clap_plugin_t* plugin, const char* id);
  void (*on_main_thread)(const clap_plugin_t* plugin);        // [main]
};

// --- Entry and factory ---------------------------------------------------------------------------------

struct clap_plugin_entry_t {
  clap_version_t clap_version;
  bool (*init)(const char* plugin_path);  // [main], once before anything else
  void (*deinit)(void);                   // [main]
  const void* (*get_factory)(const char* factory_id);  // [thread-safe]
};

inline constexpr char CLAP_PLUGIN_FACTORY_ID[] = "clap.plugin-factory";
struct clap_plugin_factory_t {
  uint32_t (*get_plugin_count)(const clap_plugin_factory_t* factory);
  const clap_plugin_descriptor_t* (*get_plugin_descriptor)(const clap_plugin_factory_t* factory, uint32_t index);
  const clap_plugin_t* (*create_plugin)(const clap_plugin_factory_t* factory, const clap_host_t* host,
                                        const char* plugin_id);
};

// --- audio-ports ---------------------------------------------------------------------------------------

inline constexpr char CLAP_EXT_AUDIO_PORTS[] = "clap.audio-ports";
inline constexpr char CLAP_PORT_MONO[] = "mono";
inline constexpr char CLAP_PORT_STEREO[] = "stereo";
enum : uint32_t {
  CLAP_AUDIO_PORT_IS_MAIN = 1u << 0,
  CLAP_AUDIO_PORT_SUPPORTS_64BITS = 1u << 1,
  CLAP_AUDIO_PORT_PREFERS_64BITS = 1u << 2,
  CLAP_AUDIO_PORT_REQUIRES_COMMON_SAMPLE_SIZE = 1u << 3,
};
struct clap_audio_port_info_t {
  clap_id id;
  char name[CLAP_NAME_SIZE];
  uint32_t flags;
  uint32_t channel_count;
  const char* port_type;
  clap_id in_place_pair;
};
struct clap_plugin_audio_ports_t {
  uint32_t (*count)(const clap_plugin_t* plugin, bool is_input);  // [main]
  bool (*get)(const clap_plugin_t* plugin, uint32_t index, bool is_input, clap_audio_port_info_t* info);  // [main]
};

// --- params --------------------------------------------------------------------------------------------

inline constexpr char CLAP_EXT_PARAMS[] = "clap.params";
enum : uint32_t {
  CLAP_PARAM_IS_STEPPED = 1u << 0,
  CLAP_PARAM_IS_PERIODIC = 1u << 1,
  CLAP_PARAM_IS_HIDDEN = 1u << 2,
  CLAP_PARAM_IS_READONLY = 1u << 3,
  CLAP_PARAM_IS_BYPASS = 1u << 4,
  CLAP_PARAM_IS_AUTOMATABLE = 1u << 5,
  CLAP_PARAM_IS_MODULATABLE = 1u << 10,
  CLAP_PARAM_REQUIRES_PROCESS = 1u << 15,
  CLAP_PARAM_IS_ENUM = 1u << 16,  // 1.2: with IS_STEPPED, every value from min to max has a text
};
struct clap_param_info_t {
  clap_id id;
  uint32_t flags;
  void* cookie;
  char name[CLAP_NAME_SIZE];
  char module[CLAP_PATH_SIZE];
  double min_value;
  double max_value;
  double default_value;
};
struct clap_plugin_params_t {
  uint32_t (*count)(const clap_plugin_t* plugin);  // [main]
  bool (*get_info)(const clap_plugin_t* plugin, uint32_t param_index, clap_param_info_t* info);  // [main]
  bool (*get_value)(const clap_plugin_t* plugin, clap_id param_id, double* out_value);         // [main]
  bool (*value_to_text)(const clap_plugin_t* plugin, clap_id param_id, double value, char* out_buffer,
                        uint32_t out_buffer_capacity);  // [main]
  bool (*text_to_value)(const clap_plugin_t* plugin, clap_id param_id, const char* text,
                        double* out_value);  // [main]
  // Never beside process. [active ? audio : main]
  void (*flush)(const clap_plugin_t* plugin, const clap_input_events_t* in, const clap_output_events_t* out);
};
enum : uint32_t {
  CLAP_PARAM_RESCAN_VALUES = 1u << 0,
  CLAP_PARAM_RESCAN_TEXT = 1u << 1,
  CLAP_PARAM_RESCAN_INFO = 1u << 2,
  CLAP_PARAM_RESCAN_ALL = 1u << 3,
};
struct clap_host_params_t {
  void (*rescan)(const clap_host_t* host, uint32_t flags);                  // [main]
  void (*clear)(const clap_host_t* host, clap_id param_id, uint32_t flags);  // [main]
  void (*request_flush)(const clap_host_t* host);                          // [thread-safe, not audio]
};

// --- state ---------------------------------------------------------------------------------------------

inline constexpr char CLAP_EXT_STATE[] = "clap.state";
struct clap_istream_t {
  void* ctx;
  // Bytes read (possibly fewer than asked), 0 at the end, negative on error.
  int64_t (*read)(const clap_istream_t* stream, void* buffer, uint64_t size);
};
struct clap_ostream_t {
  void* ctx;
  // Bytes written (possibly fewer than asked), negative on error.
  int64_t (*write)(const clap_ostream_t* stream, const void* buffer, uint64_t size);
};
struct clap_plugin_state_t {
  bool (*save)(const clap_plugin_t* plugin, const clap_ostream_t* stream);  // [main]
  bool (*load)(const clap_plugin_t* plugin, const clap_istream_t* stream);  // [main]
};
struct clap_host_state_t {
  void (*mark_dirty)(const clap_host_t* host);  // [main]
};

// --- latency, tail, render -----------------------------------------------------------------------------

inline constexpr char CLAP_EXT_LATENCY[] = "clap.latency";
struct clap_plugin_latency_t {
  uint32_t (*get)(const clap_plugin_t* plugin);  // [main, active]
};
struct clap_host_latency_t {
  void (*changed)(const clap_host_t* host);  // [main, being activated]
};

inline constexpr char CLAP_EXT_TAIL[] = "clap.tail";
struct clap_plugin_tail_t {
  uint32_t (*get)(const clap_plugin_t* plugin);  // [main, audio]
};

inline constexpr char CLAP_EXT_RENDER[] = "clap.render";
using clap_plugin_render_mode = int32_t;
enum : clap_plugin_render_mode {
  CLAP_RENDER_REALTIME = 0,
  CLAP_RENDER_OFFLINE = 1,
};
struct clap_plugin_render_t {
  bool (*has_hard_realtime_requirement)(const clap_plugin_t* plugin);  // [main]
  bool (*set)(const clap_plugin_t* plugin, clap_plugin_render_mode mode);  // [main]
};

// --- log, thread-check ---------------------------------------------------------------------------------

inline constexpr char CLAP_EXT_LOG[] = "clap.log";
using clap_log_severity = int32_t;
enum : clap_log_severity {
  CLAP_LOG_DEBUG = 0,
  CLAP_LOG_INFO = 1,
  CLAP_LOG_WARNING = 2,
  CLAP_LOG_ERROR = 3,
  CLAP_LOG_FATAL = 4,
  CLAP_LOG_HOST_MISBEHAVING = 5,
  CLAP_LOG_PLUGIN_MISBEHAVING = 6,
};
struct clap_host_log_t {
  void (*log)(const clap_host_t* host, clap_log_severity severity, const char* msg);  // [thread-safe]
};

inline constexpr char CLAP_EXT_THREAD_CHECK[] = "clap.thread-check";
struct clap_host_thread_check_t {
  bool (*is_main_thread)(const clap_host_t* host);   // [thread-safe]
  bool (*is_audio_thread)(const clap_host_t* host);  // [thread-safe]
};

// --- gui, timer-support, posix-fd-support ------------------------------------------------------------

inline constexpr char CLAP_EXT_GUI[] = "clap.gui";
inline constexpr char CLAP_WINDOW_API_X11[] = "x11";
struct clap_window_t {
  const char* api;
  union {
    void* cocoa;
    unsigned long x11;
    void* win32;
    void* ptr;
  };
};
struct clap_gui_resize_hints_t {
  bool can_resize_horizontally;
  bool can_resize_vertically;
  bool preserve_aspect_ratio;
  uint32_t aspect_ratio_width;
  uint32_t aspect_ratio_height;
};
// Every call [main].
struct clap_plugin_gui_t {
  bool (*is_api_supported)(const clap_plugin_t* plugin, const char* api, bool is_floating);
  bool (*get_preferred_api)(const clap_plugin_t* plugin, const char** api, bool* is_floating);
  bool (*create)(const clap_plugin_t* plugin, const char* api, bool is_floating);
  void (*destroy)(const clap_plugin_t* plugin);
  bool (*set_scale)(const clap_plugin_t* plugin, double scale);
  bool (*get_size)(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
  bool (*can_resize)(const clap_plugin_t* plugin);
  bool (*get_resize_hints)(const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints);
  bool (*adjust_size)(const clap_plugin_t* plugin, uint32_t* width, uint32_t* height);
  bool (*set_size)(const clap_plugin_t* plugin, uint32_t width, uint32_t height);
  bool (*set_parent)(const clap_plugin_t* plugin, const clap_window_t* window);
  bool (*set_transient)(const clap_plugin_t* plugin, const clap_window_t* window);
  void (*suggest_title)(const clap_plugin_t* plugin, const char* title);
  bool (*show)(const clap_plugin_t* plugin);
  bool (*hide)(const clap_plugin_t* plugin);
};
struct clap_host_gui_t {
  void (*resize_hints_changed)(const clap_host_t* host);                         // [thread-safe]
  bool (*request_resize)(const clap_host_t* host, uint32_t width, uint32_t height);  // [thread-safe]
  bool (*request_show)(const clap_host_t* host);                                 // [thread-safe]
  bool (*request_hide)(const clap_host_t* host);                                 // [thread-safe]
  void (*closed)(const clap_host_t* host, bool was_destroyed);                   // [thread-safe]
};

inline constexpr char CLAP_EXT_TIMER_SUPPORT[] = "clap.timer-support";
struct clap_plugin_timer_support_t {
  void (*on_timer)(const clap_plugin_t* plugin, clap_id timer_id);  // [main]
};
struct clap_host_timer_support_t {
  bool (*register_timer)(const clap_host_t* host, uint32_t period_ms, clap_id* timer_id);  // [main]
  bool (*unregister_timer)(const clap_host_t* host, clap_id timer_id);                     // [main]
};

inline constexpr char CLAP_EXT_POSIX_FD_SUPPORT[] = "clap.posix-fd-support";
enum : uint32_t {
  CLAP_POSIX_FD_READ = 1u << 0,
  CLAP_POSIX_FD_WRITE = 1u << 1,
  CLAP_POSIX_FD_ERROR = 1u << 2,
};
struct clap_plugin_posix_fd_support_t {
  void (*on_fd)(const clap_plugin_t* plugin, int fd, uint32_t flags);  // [main]
};
struct clap_host_posix_fd_support_t {
  bool (*register_fd)(const clap_host_t* host, int fd, uint32_t flags);  // [main]
  bool (*modify_fd)(const clap_host_t* host, int fd, uint32_t flags);    // [main]
  bool (*unregister_fd)(const clap_host_t* host, int fd);                // [main]
};

// --- preset-discovery factory and preset-load (stable in 1.2; the drafts' layouts are the same) -------

inline constexpr char CLAP_PRESET_DISCOVERY_FACTORY_ID[] = "clap.preset-discovery-factory/2";
inline constexpr char CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT[] = "clap.preset-discovery-factory/draft-2";
enum : uint32_t {
  CLAP_PRESET_DISCOVERY_LOCATION_FILE = 0,
  CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN = 1,  // presets inside the module; location null
};
enum : uint32_t {
  CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT = 1u << 0,
  CLAP_PRESET_DISCOVERY_IS_USER_CONTENT = 1u << 1,
  CLAP_PRESET_DISCOVERY_IS_DEMO_CONTENT = 1u << 2,
  CLAP_PRESET_DISCOVERY_IS_FAVORITE = 1u << 3,
};
using clap_timestamp = uint64_t;
struct clap_universal_plugin_id_t {
  const char* abi;  // "clap"
  const char* id;
};
struct clap_preset_discovery_metadata_receiver_t {
  void* receiver_data;
  void (*on_error)(const clap_preset_discovery_metadata_receiver_t* r, int32_t os_error, const char* message);
  // False: the provider stops calling the receiver.
  bool (*begin_preset)(const clap_preset_discovery_metadata_receiver_t* r, const char* name, const char* load_key);
  void (*add_plugin_id)(const clap_preset_discovery_metadata_receiver_t* r, const clap_universal_plugin_id_t* id);
  void (*set_soundpack_id)(const clap_preset_discovery_metadata_receiver_t* r, const char* soundpack_id);
  void (*set_flags)(const clap_preset_discovery_metadata_receiver_t* r, uint32_t flags);
  void (*add_creator)(const clap_preset_discovery_metadata_receiver_t* r, const char* creator);
  void (*set_description)(const clap_preset_discovery_metadata_receiver_t* r, const char* description);
  void (*set_timestamps)(const clap_preset_discovery_metadata_receiver_t* r, clap_timestamp created,
                         clap_timestamp modified);
  void (*add_feature)(const clap_preset_discovery_metadata_receiver_t* r, const char* feature);
  void (*add_extra_info)(const clap_preset_discovery_metadata_receiver_t* r, const char* key, const char* value);
};
struct clap_preset_discovery_filetype_t {
  const char* name;
  const char* description;
  const char* file_extension;  // without the dot
};
struct clap_preset_discovery_location_t {
  uint32_t flags;
  const char* name;
  uint32_t kind;
  const char* location;  // a file or folder for FILE, null for PLUGIN
};
struct clap_preset_discovery_soundpack_t;  // declared by no one here
struct clap_preset_discovery_provider_descriptor_t {
  clap_version_t clap_version;
  const char* id;
  const char* name;
  const char* vendor;
};
// Not thread-safe: one indexer thread at a time per provider.
struct clap_preset_discovery_provider_t {
  const clap_preset_discovery_provider_descriptor_t* desc;
  void* provider_data;
  bool (*init)(const clap_preset_discovery_provider_t* provider);
  void (*destroy)(const clap_preset_discovery_provider_t* provider);
  bool (*get_metadata)(const clap_preset_discovery_provider_t* provider, uint32_t location_kind, const char* location,
                       const clap_preset_discovery_metadata_receiver_t* receiver);
  const void* (*get_extension)(const clap_preset_discovery_provider_t* provider, const char* id);
};
struct clap_preset_discovery_indexer_t {
  clap_version_t clap_version;
  const char* name;
  const char* vendor;
  const char* url;
  const char* version;
  void* indexer_data;
  bool (*declare_filetype)(const clap_preset_discovery_indexer_t* indexer, const clap_preset_discovery_filetype_t* t);
  bool (*declare_location)(const clap_preset_discovery_indexer_t* indexer, const clap_preset_discovery_location_t* l);
  bool (*declare_soundpack)(const clap_preset_discovery_indexer_t* indexer,
                            const clap_preset_discovery_soundpack_t* soundpack);
  const void* (*get_extension)(const clap_preset_discovery_indexer_t* indexer, const char* id);
};
// [thread-safe]
struct clap_preset_discovery_factory_t {
  uint32_t (*count)(const clap_preset_discovery_factory_t* factory);
  const clap_preset_discovery_provider_descriptor_t* (*get_descriptor)(const clap_preset_discovery_factory_t* factory,
                                                                        uint32_t index);
  const clap_preset_discovery_provider_t* (*create)(const clap_preset_discovery_factory_t* factory,
                                                    const clap_preset_discovery_indexer_t* indexer,
                                                    const char* provider_id);
};

inline constexpr char CLAP_EXT_PRESET_LOAD[] = "clap.preset-load/2";
inline constexpr char CLAP_EXT_PRESET_LOAD_COMPAT[] = "clap.preset-load.draft/2";
struct clap_plugin_preset_load_t {
  // [main]
  bool (*from_location)(const clap_plugin_t* plugin, uint32_t location_kind, const char* location,
                        const char* load_key);
};
struct clap_host_preset_load_t {
  // [main]
  void (*on_error)(const clap_host_t* host, uint32_t location_kind, const char* location, const char* load_key,
                   int32_t os_error, const char* message);
  void (*loaded)(const clap_host_t* host, uint32_t location_kind, const char* location, const char* load_key);
};

}  // extern "C"

// The published layout on LP64 (x86-64 Linux), which hosts and plug-ins share.
static_assert(sizeof(void*) == 8, "the layouts below are those of LP64");
static_assert(sizeof(clap_version_t) == 12);
static_assert(sizeof(clap_host_t) == 88);
static_assert(sizeof(clap_plugin_descriptor_t) == 88);
static_assert(sizeof(clap_plugin_t) == 96 && offsetof(clap_plugin_t, get_extension) == 80);
static_assert(sizeof(clap_plugin_entry_t) == 40);
static_assert(sizeof(clap_event_header_t) == 16);
static_assert(sizeof(clap_event_param_value_t) == 56 && offsetof(clap_event_param_value_t, cookie) == 24 &&
              offsetof(clap_event_param_value_t, value) == 48);
static_assert(sizeof(clap_event_param_gesture_t) == 20);
static_assert(sizeof(clap_audio_buffer_t) == 32);
static_assert(sizeof(clap_process_t) == 64 && offsetof(clap_process_t, in_events) == 48);
static_assert(sizeof(clap_audio_port_info_t) == 288 && offsetof(clap_audio_port_info_t, port_type) == 272 &&
              offsetof(clap_audio_port_info_t, in_place_pair) == 280);
static_assert(sizeof(clap_param_info_t) == 1320 && offsetof(clap_param_info_t, name) == 16 &&
              offsetof(clap_param_info_t, module) == 272 && offsetof(clap_param_info_t, min_value) == 1296);
static_assert(sizeof(clap_window_t) == 16 && sizeof(clap_gui_resize_hints_t) == 12);
static_assert(sizeof(clap_plugin_gui_t) == 15 * sizeof(void*));
static_assert(sizeof(clap_preset_discovery_location_t) == 32 && sizeof(clap_preset_discovery_indexer_t) == 88);
static_assert(sizeof(clap_preset_discovery_metadata_receiver_t) == 11 * sizeof(void*));
static_assert(sizeof(clap_preset_discovery_provider_descriptor_t) == 40);

// A GTK 2 plug-in host in miniature that embeds an LV2 UI as Ardour does: the UI is found through lilv,
// wrapped by suil for a GtkUI container (an X11 UI goes through suil's X11-in-GTK2 wrapper) and put into a
// window the user cannot resize, whose size GTK then takes from the widget's size request. The plug-in is
// instantiated (not run) so that the UI gets the instance through instance-access; port writes come back
// to the UI as port events from the main loop, as a host echoes a control's change.
//
// Prints "window 0x<id>" (the top-level X window) once the window is shown, then "size WxH" whenever its
// size changes. Runs until the window is closed or the process is terminated.
//
// Usage: qrv_suil_gtk2_host PLUGIN_URI   (the plug-in is looked up on LV2_PATH)
#include <gdk/gdkx.h>
#include <glib-unix.h>
#include <gtk/gtk.h>
#include <lilv/lilv.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>
#include <signal.h>
#include <suil/suil.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr const char* kGtk2Ui = "http://lv2plug.in/ns/extensions/ui#GtkUI";

struct Host {
  const LilvPlugin* plugin = nullptr;
  SuilInstance* ui = nullptr;
  std::map<std::string, LV2_URID> ids;
  std::vector<std::string> uris;
  int width = 0, height = 0;
  std::vector<std::pair<uint32_t, float>> echoes;  // port writes not yet sent back to the UI
};

Host gHost;

LV2_URID Map(LV2_URID_Map_Handle, const char* uri) {
  auto [it, added] = gHost.ids.try_emplace(uri, static_cast<LV2_URID>(gHost.ids.size() + 1));
  if (added) gHost.uris.emplace_back(uri);
  return it->second;
}

const char* Unmap(LV2_URID_Unmap_Handle, LV2_URID id) {
  return id >= 1 && id <= gHost.uris.size() ? gHost.uris[id - 1].c_str() : nullptr;
}

gboolean Echo(gpointer) {
  std::vector<std::pair<uint32_t, float>> echoes;
  echoes.swap(gHost.echoes);
  for (auto [port, value] : echoes)
    if (gHost.ui != nullptr) suil_instance_port_event(gHost.ui, port, sizeof value, 0, &value);
  return G_SOURCE_REMOVE;
}

// The echo comes later from the main loop, as a host's control change does, never from inside the UI's call.
void Write(SuilController, uint32_t port, uint32_t size, uint32_t protocol, const void* buffer) {
  if (protocol != 0 || size != sizeof(float)) return;
  float value;
  std::memcpy(&value, buffer, sizeof value);
  if (gHost.echoes.empty()) g_idle_add(Echo, nullptr);
  gHost.echoes.emplace_back(port, value);
}

uint32_t PortIndex(SuilController, const char* symbol) {
  const LilvPort* port = nullptr;
  const uint32_t n = lilv_plugin_get_num_ports(gHost.plugin);
  for (uint32_t i = 0; i < n && port == nullptr; ++i) {
    const LilvPort* p = lilv_plugin_get_port_by_index(gHost.plugin, i);
    if (std::strcmp(lilv_node_as_string(lilv_port_get_symbol(gHost.plugin, p)), symbol) == 0) port = p;
  }
  return port != nullptr ? lilv_port_get_index(gHost.plugin, port) : LV2UI_INVALID_PORT_INDEX;
}

gboolean Configured(GtkWidget*, GdkEventConfigure* e, gpointer) {
  if (e->width != gHost.width || e->height != gHost.height) {
    gHost.width = e->width;
    gHost.height = e->height;
    std::printf("size %dx%d\n", e->width, e->height);
    std::fflush(stdout);
  }
  return FALSE;
}

gboolean Terminate(gpointer) {
  gtk_main_quit();
  return G_SOURCE_REMOVE;
}

gboolean Shown(gpointer window) {
  GdkWindow* w = gtk_widget_get_window(GTK_WIDGET(window));
  std::printf("window 0x%lx\n", static_cast<unsigned long>(GDK_WINDOW_XID(w)));
  gHost.width = gdk_window_get_width(w);
  gHost.height = gdk_window_get_height(w);
  std::printf("size %dx%d\n", gHost.width, gHost.height);
  std::fflush(stdout);
  return G_SOURCE_REMOVE;
}

}  // namespace

int main(int argc, char** argv) {
  gtk_init(&argc, &argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PLUGIN_URI\n", argv[0]);
    return 2;
  }
  LilvWorld* world = lilv_world_new();
  lilv_world_load_all(world);
  LilvNode* uri = lilv_new_uri(world, argv[1]);
  gHost.plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
  lilv_node_free(uri);
  if (gHost.plugin == nullptr) {
    std::fprintf(stderr, "error: no plug-in %s on LV2_PATH\n", argv[1]);
    return 1;
  }

  LilvNode* hostType = lilv_new_uri(world, kGtk2Ui);
  const LilvNode* uiType = nullptr;
  const LilvUI* chosen = nullptr;
  LilvUIs* uis = lilv_plugin_get_uis(gHost.plugin);
  LILV_FOREACH(uis, i, uis) {
    const LilvUI* ui = lilv_uis_get(uis, i);
    if (lilv_ui_is_supported(ui, suil_ui_supported, hostType, &uiType)) {
      chosen = ui;
      break;
    }
  }
  if (chosen == nullptr) {
    std::fprintf(stderr, "error: suil cannot embed any UI of %s in GTK 2\n", argv[1]);
    return 1;
  }

  LV2_URID_Map map{nullptr, Map};
  LV2_URID_Unmap unmap{nullptr, Unmap};
  LV2_Feature mapFeature{LV2_URID__map, &map};
  LV2_Feature unmapFeature{LV2_URID__unmap, &unmap};
  const LV2_Feature* pluginFeatures[] = {&mapFeature, &unmapFeature, nullptr};
  LilvInstance* instance = lilv_plugin_instantiate(gHost.plugin, 48000.0, pluginFeatures);
  if (instance == nullptr) {
    std::fprintf(stderr, "error: the plug-in did not instantiate\n");
    return 1;
  }
  LV2_Feature instanceFeature{LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(instance)};
  const LV2_Feature* uiFeatures[] = {&mapFeature, &unmapFeature, &instanceFeature, nullptr};

  SuilHost* host = suil_host_new(Write, PortIndex, nullptr, nullptr);
  char* bundle = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_bundle_uri(chosen)), nullptr);
  char* binary = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(chosen)), nullptr);
  gHost.ui = suil_instance_new(host, &gHost, kGtk2Ui, argv[1], lilv_node_as_uri(lilv_ui_get_uri(chosen)),
                               lilv_node_as_uri(uiType), bundle, binary, uiFeatures);
  lilv_free(bundle);
  lilv_free(binary);
  if (gHost.ui == nullptr) {
    std::fprintf(stderr, "error: suil did not instantiate the UI\n");
    return 1;
  }

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "qrv suil gtk2 host");
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_container_add(GTK_CONTAINER(window), static_cast<GtkWidget*>(suil_instance_get_widget(gHost.ui)));
  g_signal_connect(window, "configure-event", G_CALLBACK(Configured), nullptr);
  g_signal_connect(window, "destroy", G_CALLBACK(gtk_main_quit), nullptr);
  gtk_widget_show_all(window);
  g_idle_add(Shown, window);
  g_unix_signal_add(SIGTERM, Terminate, nullptr);
  g_unix_signal_add(SIGINT, Terminate, nullptr);
  gtk_main();

  suil_instance_free(gHost.ui);
  gHost.ui = nullptr;
  suil_host_free(host);
  lilv_instance_free(instance);
  lilv_uis_free(uis);
  lilv_node_free(hostType);
  lilv_world_free(world);
  return 0;
}

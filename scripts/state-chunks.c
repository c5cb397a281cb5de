/* Writes the LV2 state that each plug-in of a bundle saves, one file per plug-in, preset and state key,
 * for scripts/compare-outputs.sh. For every plug-in on LV2_PATH whose URI starts with PREFIX: a fresh
 * instance, then one instance per factory preset (its port values applied and one block run), each
 * saved through the plug-in's own state interface. Knows nothing of the plug-in beyond LV2.
 *
 * Usage: state-chunks PREFIX OUT_DIR */
#include <lilv/lilv.h>
#include <lv2/core/lv2.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define MAX_URIS 256
#define MAX_PORTS 32
#define BLOCK 64

static char* uris[MAX_URIS];
static unsigned uriCount;

static LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri) {
  (void)handle;
  for (unsigned i = 0; i < uriCount; ++i) {
    if (strcmp(uris[i], uri) == 0) return i + 1;
  }
  if (uriCount == MAX_URIS) return 0;
  uris[uriCount] = strdup(uri);
  return ++uriCount;
}

static const char* Unmap(LV2_URID_Unmap_Handle handle, LV2_URID urid) {
  (void)handle;
  return urid >= 1 && urid <= uriCount ? uris[urid - 1] : NULL;
}

struct Run {
  float controls[MAX_PORTS];
  float audio[4][BLOCK];
  const LilvPlugin* plugin;
  const char* dir;
  const char* name;
  int failed;
};

static void SetPortValue(const char* symbol, void* data, const void* value, uint32_t size, uint32_t type) {
  struct Run* run = data;
  (void)size;
  (void)type;
  for (uint32_t i = 0; i < lilv_plugin_get_num_ports(run->plugin) && i < MAX_PORTS; ++i) {
    const LilvPort* port = lilv_plugin_get_port_by_index(run->plugin, i);
    if (strcmp(lilv_node_as_string(lilv_port_get_symbol(run->plugin, port)), symbol) == 0) {
      run->controls[i] = *(const float*)value;
    }
  }
}

static LV2_State_Status Store(LV2_State_Handle handle, uint32_t key, const void* value, size_t size, uint32_t type,
                              uint32_t flags) {
  struct Run* run = handle;
  (void)type;
  (void)flags;
  const char* uri = Unmap(NULL, key);
  const char* tail = uri ? strrchr(uri, ':') : NULL;
  char path[4096];
  snprintf(path, sizeof path, "%s/%s.%s.bin", run->dir, run->name, tail ? tail + 1 : "unknown");
  FILE* f = fopen(path, "wb");
  if (f == NULL || fwrite(value, 1, size, f) != size) run->failed = 1;
  if (f != NULL) fclose(f);
  return LV2_STATE_SUCCESS;
}

/* One instance: defaults, then the preset's port values (if any), one block, then a save. */
static int SaveOne(LilvWorld* world, const LilvPlugin* plugin, const LilvNode* preset, const char* dir,
                   const char* name, const LV2_Feature* const* features) {
  struct Run run;
  memset(&run, 0, sizeof run);
  run.plugin = plugin;
  run.dir = dir;
  run.name = name;
  LilvInstance* instance = lilv_plugin_instantiate(plugin, 48000.0, features);
  if (instance == NULL) return 1;
  const uint32_t ports = lilv_plugin_get_num_ports(plugin);
  LilvNode* audioClass = lilv_new_uri(world, LV2_CORE__AudioPort);
  unsigned audio = 0;
  for (uint32_t i = 0; i < ports && i < MAX_PORTS; ++i) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
    if (lilv_port_is_a(plugin, port, audioClass) && audio < 4) {
      lilv_instance_connect_port(instance, i, run.audio[audio++]);
    } else {
      LilvNode* def = NULL;
      lilv_port_get_range(plugin, port, &def, NULL, NULL);
      run.controls[i] = def ? lilv_node_as_float(def) : 0.0f;
      lilv_node_free(def);
      lilv_instance_connect_port(instance, i, &run.controls[i]);
    }
  }
  lilv_node_free(audioClass);
  if (preset != NULL) {
    LV2_URID_Map* map = NULL;
    for (const LV2_Feature* const* f = features; *f; ++f) {
      if (strcmp((*f)->URI, LV2_URID__map) == 0) map = (*f)->data;
    }
    LilvState* state = lilv_state_new_from_world(world, map, preset);
    if (state == NULL) return 1;
    lilv_state_restore(state, NULL, SetPortValue, &run, 0, NULL);
    lilv_state_free(state);
  }
  lilv_instance_activate(instance);
  lilv_instance_run(instance, BLOCK);
  const LV2_State_Interface* iface = lilv_instance_get_extension_data(instance, LV2_STATE__interface);
  int failed = iface == NULL ||
               iface->save(lilv_instance_get_handle(instance), Store, &run,
                           LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features) != LV2_STATE_SUCCESS;
  lilv_instance_deactivate(instance);
  lilv_instance_free(instance);
  return failed || run.failed;
}

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: state-chunks PREFIX OUT_DIR\n");
    return 2;
  }
  LV2_URID_Map map = {NULL, Map};
  LV2_URID_Unmap unmap = {NULL, Unmap};
  LV2_Feature mapFeature = {LV2_URID__map, &map};
  LV2_Feature unmapFeature = {LV2_URID__unmap, &unmap};
  const LV2_Feature* features[] = {&mapFeature, &unmapFeature, NULL};

  LilvWorld* world = lilv_world_new();
  lilv_world_load_all(world);
  LilvNode* presetClass = lilv_new_uri(world, LV2_PRESETS__Preset);
  int failed = 0, plugins = 0;
  LILV_FOREACH(plugins, it, lilv_world_get_all_plugins(world)) {
    const LilvPlugin* plugin = lilv_plugins_get(lilv_world_get_all_plugins(world), it);
    const char* uri = lilv_node_as_uri(lilv_plugin_get_uri(plugin));
    if (strncmp(uri, argv[1], strlen(argv[1])) != 0) continue;
    ++plugins;
    const char* kind = strrchr(uri, ':') + 1;
    char name[512];
    snprintf(name, sizeof name, "%s-fresh", kind);
    failed |= SaveOne(world, plugin, NULL, argv[2], name, features);
    LilvNodes* presets = lilv_plugin_get_related(plugin, presetClass);
    LILV_FOREACH(nodes, p, presets) {
      const LilvNode* preset = lilv_nodes_get(presets, p);
      lilv_world_load_resource(world, preset);
      snprintf(name, sizeof name, "%s-preset-%s", kind, strrchr(lilv_node_as_uri(preset), ':') + 1);
      failed |= SaveOne(world, plugin, preset, argv[2], name, features);
    }
    lilv_nodes_free(presets);
  }
  lilv_node_free(presetClass);
  lilv_world_free(world);
  if (plugins == 0) fprintf(stderr, "state-chunks: no plug-in under %s\n", argv[1]);
  return failed || plugins == 0;
}

#include "apps/warmglow/Snapshot.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <ostream>

#include "apps/warmglow/AudioFile.h"
#include "apps/warmglow/Commands.h"
#include "apps/warmglow/Settings.h"
#include "gui/backend/Resources.h"
#include "gui/engine/EditorLayout.h"
#include "gui/editor/EditorWrapperV4.h"
#include "gui/presetbar/QRVPresetBarEditor.h"
#include "gui/toolkit/HeadlessFrame.h"
#include "platform/ProductFacts.h"
#include "platform/Registry.h"
#include "platform/Services.h"
#include "presets/PresetManager.h"
#include "product/warmGlowEditor.h"

namespace qrv::cli {
namespace {

constexpr int kMinZoomPercent = static_cast<int>(qrv::product::kMinZoom * 100 + 0.5);
constexpr int kMaxZoomPercent = static_cast<int>(qrv::product::kMaxZoom * 100 + 0.5);

constexpr OptionSpec kSnapshotOptions[] = {
    {"--zoom", "PERCENT", "window zoom in percent, 70..400 (default 100, whatever the settings hold)"},
    {"--preset", "NAME|NUMBER|FILE.qrv", "the settings the panel shows, as for 'render' (default: 0, \"Default\")"},
    {"--set", "NAME=VALUE", "set a control to a normalised value 0..1, after the preset; repeatable", true},
    {"--meter", "VALUE", "gain reduction the needle shows, 0..1 (default 0)"},
    {"--show", "about|zoom-menu|save|browser|config",
     "draw the about box, the open zoom list, the save dialog, the preset browser (420 x 493 at 100 %) or the "
     "configuration menu"},
    {"--area", "window|bar|panel",
     "draw the whole window (default), only the preset bar across its top or only the panel below it"},
};

// The settings store as the snapshot sees it: read, never written (the preset manager stores the
// zoom and the hints when it goes).
class ReadOnlyRegistry final : public platform::Registry {
 public:
  explicit ReadOnlyRegistry(platform::Registry& store) : store_(store) {}
  std::optional<platform::RegistryValue> Read(std::string_view key, std::string_view name) override {
    return store_.Read(key, name);
  }
  bool Write(std::string_view, std::string_view, const platform::RegistryValue&) override { return true; }
  bool Remove(std::string_view, std::string_view) override { return true; }

 private:
  platform::Registry& store_;
};

// The part of the window's pixels an --area names: the bar's strip across the top, the panel below it.
cairo_surface_t* Crop(cairo_surface_t* window, const std::string& area, double zoom) {
  const int width = cairo_image_surface_get_width(window), height = cairo_image_surface_get_height(window);
  const int bar = std::min(height, static_cast<int>(std::lround(Quarrytone::layout::kBarHeight * zoom)));
  const int top = area == "panel" ? bar : 0;
  const int rows = area == "bar" ? bar : area == "panel" ? height - bar : height;
  cairo_surface_t* part = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, rows);
  cairo_t* cr = cairo_create(part);
  cairo_set_source_surface(cr, window, 0, -top);
  cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
  cairo_paint(cr);
  cairo_destroy(cr);
  return part;
}

// A click at a window layout point, as the user would make it.
void ClickAt(tk::HeadlessPlatformFrame& headless, double zoom, QRVPoint p) {
  const tk::Point d{p.x * zoom, p.y * zoom};
  headless.mouseMove(d, 0);
  headless.mouseDown(d, kQRVLButton);
  headless.mouseUp(d, kQRVLButton);
}

}  // namespace

std::span<const OptionSpec> SnapshotOptions() { return kSnapshotOptions; }

std::string SnapshotDetails() {
  return "\nDraws the editor window as a host shows it, the preset bar with the preset's number and name\n"
         "included, without a display, at the window's pixel size for the zoom: 400 x 353 at 100 %, 800 x\n"
         "706 at 200 %. --area bar draws the preset bar's strip alone (78 pixels high at 100 %), --area panel the\n"
         "panel below it. The settings store is read, never written.\n\n"
         "Examples:\n"
         "  warmglow snapshot editor.png\n"
         "  warmglow snapshot big.png --zoom 200 --preset Vox --meter 0.5\n"
         "  warmglow snapshot about.png --show about\n"
         "  warmglow snapshot zoom.png --show zoom-menu\n"
         "  warmglow snapshot save.png --show save\n"
         "  warmglow snapshot browser.png --show browser --preset Vox\n"
         "  warmglow snapshot config.png --show config\n"
         "  warmglow snapshot bar.png --area bar --zoom 150\n";
}

int RunSnapshot(const ParsedArgs& args, Io& io) {
  const std::string& out = args.positionals[0];
  int percent = 100;
  if (const std::string* z = args.Value("--zoom"))
    percent = static_cast<int>(ParseInteger(*z, kMinZoomPercent, kMaxZoomPercent, "zoom"));
  Settings settings = PresetSettings(0);
  if (const std::string* p = args.Value("--preset")) settings = ResolvePreset(*p);
  for (const std::string& a : args.Values("--set")) ApplyAssignment(settings, a);
  double meter = 0.0;
  if (const std::string* m = args.Value("--meter")) meter = ParseNormalised(*m, "meter");
  const std::string* show = args.Value("--show");
  const std::string area = args.Value("--area") ? *args.Value("--area") : "window";
  if (area != "window" && area != "bar" && area != "panel")
    throw CliError("--area takes 'window', 'bar' or 'panel', not '" + area + "'");
  if (show && *show != "about" && *show != "zoom-menu" && *show != "save" && *show != "browser" && *show != "config")
    throw CliError("--show takes 'about', 'zoom-menu', 'save', 'browser' or 'config', not '" + *show + "'");

  TempOutput png(out);
  int width = 0, height = 0;
  {
    Quarrytone::InitializeResources();
    ReadOnlyRegistry store(platform::GetRegistry());
    platform::Services services;
    services.registry = &store;
    platform::ScopedServices scoped(services);
    // The bar shows the preset as an instance would.
    PresetManager manager(nullptr);
    manager.SetZoom(percent / 100.0, false);
    LoadIntoManager(manager, settings);
    Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar window(&CreateProductEditor, Quarrytone::PresetBarEditorFactory());
    window.attachPresetBar(nullptr, &manager, nullptr);
    if (!window.open(tk::PlatformType::Headless)) throw CliError("cannot make a headless window");
    // What a host sends after opening the window: every control value, then meter readings. The
    // needle shows the reading before the latest one, so the value goes out twice before the tick.
    for (unsigned slot : kControlSlots) window.valueChangedByController(static_cast<int>(slot), settings.values[slot]);
    window.valueChangedByController(kSlotGainReduction, meter);
    window.valueChangedByController(kSlotGainReduction, meter);
    window.idle();
    tk::HeadlessPlatformFrame* headless = tk::Headless(window.frame());
    if (show && *show == "about") window.valueChangedByController(kMessageShowAbout, 1.0);
    // The zoom button and the Save button, clicked where they lie in the bar.
    if (show && *show == "zoom-menu") ClickAt(*headless, window.effectiveZoom(), QRVPoint{30, 13});
    if (show && *show == "save") ClickAt(*headless, window.effectiveZoom(), QRVPoint{30, 39});
    // The preset name (the window grows to the browser's size) and the configuration button.
    if (show && *show == "browser") ClickAt(*headless, window.effectiveZoom(), QRVPoint{200, 13});
    if (show && *show == "config") ClickAt(*headless, window.effectiveZoom(), QRVPoint{385, 13});
    headless->render();
    cairo_surface_t* picture = Crop(headless->surface(), area, window.effectiveZoom());
    width = cairo_image_surface_get_width(picture);
    height = cairo_image_surface_get_height(picture);
    const bool written = cairo_surface_write_to_png(picture, png.path().c_str()) == CAIRO_STATUS_SUCCESS;
    cairo_surface_destroy(picture);
    if (!written) throw CliError("cannot write '" + out + "'");
  }
  Quarrytone::ShutdownResources();
  png.Commit();
  io.out << "editor snapshot written to " << Printable(out) << " (" << width << " x " << height << " pixels, zoom " << percent
         << " %)\n";
  return kExitOk;
}

}  // namespace qrv::cli

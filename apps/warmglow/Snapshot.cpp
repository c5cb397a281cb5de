#include "apps/warmglow/Snapshot.h"

#include <ostream>

#include "apps/warmglow/AudioFile.h"
#include "apps/warmglow/Commands.h"
#include "apps/warmglow/Settings.h"
#include "gui/backend/Resources.h"
#include "gui/editor/EditorWrapperV4.h"
#include "gui/toolkit/HeadlessFrame.h"
#include "product/warmGlowEditor.h"

namespace qrv::cli {
namespace {

constexpr int kMinZoomPercent = 70;
constexpr int kMaxZoomPercent = 400;

constexpr OptionSpec kSnapshotOptions[] = {
    {"--zoom", "PERCENT", "window zoom in percent, 70..400 (default 100, whatever the settings hold)"},
    {"--preset", "NAME|NUMBER|FILE.qrv", "the settings the panel shows, as for 'render' (default: 0, \"Default\")"},
    {"--set", "NAME=VALUE", "set a control to a normalised value 0..1, after the preset; repeatable", true},
    {"--meter", "VALUE", "gain reduction the needle shows, 0..1 (default 0)"},
    {"--show", "about", "draw the about box over the panel"},
};

}  // namespace

std::span<const OptionSpec> SnapshotOptions() { return kSnapshotOptions; }

std::string SnapshotDetails() {
  return "\nDraws the editor window as a host shows it (the preset bar's area in its background colour)\n"
         "without a display, at the window's pixel size for the zoom: 400 x 353 at 100 %, 800 x 706 at\n"
         "200 %. The settings store is read, never written.\n\n"
         "Examples:\n"
         "  warmglow snapshot editor.png\n"
         "  warmglow snapshot big.png --zoom 200 --preset Vox --meter 0.5\n"
         "  warmglow snapshot about.png --show about\n";
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
  if (show && *show != "about") throw CliError("--show takes 'about', not '" + *show + "'");

  TempOutput png(out);
  int width = 0, height = 0;
  {
    Quarrytone::InitializeResources();
    Quarrytone::QRVVSTGUIEditorWrapperV4_PresetBar window(&CreateProductEditor);
    if (!window.open(tk::PlatformType::Headless)) throw CliError("cannot make a headless window");
    window.setZoom(percent / 100.0);
    // What a host sends after opening the window: every control value, then meter readings. The
    // needle shows the reading before the latest one, so the value goes out twice before the tick.
    for (unsigned slot : kControlSlots) window.valueChangedByController(static_cast<int>(slot), settings.values[slot]);
    window.valueChangedByController(kSlotGainReduction, meter);
    window.valueChangedByController(kSlotGainReduction, meter);
    window.idle();
    if (show) window.valueChangedByController(kMessageShowAbout, 1.0);
    tk::HeadlessPlatformFrame* headless = tk::Headless(window.frame());
    headless->render();
    width = cairo_image_surface_get_width(headless->surface());
    height = cairo_image_surface_get_height(headless->surface());
    if (!headless->writePng(png.path())) throw CliError("cannot write '" + out + "'");
  }
  Quarrytone::ShutdownResources();
  png.Commit();
  io.out << "editor snapshot written to " << out << " (" << width << " x " << height << " pixels, zoom " << percent
         << " %)\n";
  return kExitOk;
}

}  // namespace qrv::cli

#include "apps/aaxhost/AaxHostCli.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <iomanip>
#include <optional>

#ifdef _WIN32
#include <windows.h>
#else
#include "apps/aaxhost/EditCommand.h"
#include "apps/warmglow/AudioFile.h"
#include "apps/warmglow/Cli.h"
#endif
#include "format/aax/host/AAXHost.h"
#include "platform/ProductVersion.h"

namespace qrv::aaxhost {
namespace {

constexpr const char* kUsage =
    "usage: aaxhost describe [BUNDLE]\n"
    "       aaxhost render IN OUT [--bundle BUNDLE] [--set ID=VALUE]... [--hq] [--block N]\n"
    "       aaxhost edit [IN] [--bundle BUNDLE] [--zoom PERCENT] [--log]\n"
    "See 'aaxhost --help'.\n";

// The whole help; the man page aaxhost(1) is made from it at build time.
const std::string kHelp = std::string(
    "aaxhost " QRV_VERSION " - host simulator for the QRV warmGlow AAX-style module\n"
    "\n"
    "Usage: aaxhost describe [BUNDLE]\n"
    "       aaxhost render IN OUT [--bundle BUNDLE] [--set ID=VALUE]... [--hq] [--block N]\n"
    "       aaxhost edit [IN] [--bundle BUNDLE] [--zoom PERCENT] [--log]\n"
    "       aaxhost --help | --version\n"
    "\n"
    "Loads the module bundle with dlopen and drives it as a host does: registration, instances through\n"
    "the factory procedures, an audio thread, a timer thread for direct data, chunks, meters and an X11\n"
    "view.\n"
    "\n"
    "Commands:\n"
    "  describe  print what registration describes: components, fields, meters, parameters and the\n"
    "            page table\n"
    "  render    render the audio file IN (mono or stereo) through one instance into OUT, in blocks,\n"
    "            with OUT's container chosen by its extension as 'warmglow render' chooses it; the\n"
    "            latency the module reports is compensated as a host does: its first frames are\n"
    "            dropped and as many frames of silence follow IN, so that OUT lines up with IN\n"
    "  edit      open the plug-in's editor in a host window while IN (silence without it) loops\n"
    "            through the instance in real time; it ends when the window is closed or on SIGINT\n"
    "            or SIGTERM\n"
    "\n"
    "Options:\n"
    "  --bundle BUNDLE  the module bundle to load (default: see Environment)\n"
    "  --set ID=VALUE   render: set a host parameter before rendering; repeatable. ID is a host\n"
    "                   parameter ID (\"5: Compression\"), its name (Compression) or its index (5);\n"
    "                   VALUE is normalised, 0 to 1; MasterBypassID (or bypass) takes 0 or 1\n"
    "  --hq             render: High quality on (the host parameter HighQualityID, which automation\n"
    "                   cannot move): the valve stage oversampled, 61 frames of latency, compensated\n"
    "  --block N        render: frames per block, 1 to ") + std::to_string(Instance::kDefaultMaxBlock) + " (default 512)\n" +
    "  --zoom PERCENT   edit: the editor's zoom after opening, limited to 70 to 400 and stored as the\n"
    "                   user's choice\n"
    "  --log            edit: print every parameter value the host receives, one line ID=VALUE each\n"
    "  -h, --help       show this help\n"
    "  --version        print the version\n"
    "\n"
    "Environment:\n"
    "  QRV_AAX_BUNDLE   the bundle to load when none is given; without it, the bundle installed\n"
    "                   beside this command (PREFIX/lib/qrv-warmglow), else the one of the build\n"
    "                   that made it\n"
    "\n"
    "Exit status:\n"
    "  0  success\n"
    "  1  the module fails to load, register or make an instance\n"
    "  2  bad arguments, or a file it cannot read, render or write\n"
    "\n"
    "Examples:\n"
    "  aaxhost describe\n"
    "  aaxhost render in.wav out.wav --set Compression=0.7 --set Output=0.3 --block 256\n"
    "  aaxhost render in.wav out.wav --hq\n"
    "  aaxhost edit in.wav --zoom 150\n";

// $QRV_AAX_BUNDLE, else the bundle installed beside this command (PREFIX/bin/aaxhost and
// PREFIX/lib/qrv-warmglow/), else the one of the build that made it.
std::string DefaultBundle() {
  if (const char* env = std::getenv("QRV_AAX_BUNDLE"); env != nullptr && *env != '\0') return env;
  std::error_code ec;
#ifdef _WIN32
  std::wstring self16(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, self16.data(), static_cast<DWORD>(self16.size()));
  if (length == 0 || length >= self16.size()) ec = std::make_error_code(std::errc::filename_too_long);
  self16.resize(length);
  const std::filesystem::path self(self16);
#else
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
#endif
  if (!ec) {
    const std::filesystem::path installed = self.parent_path().parent_path() / "lib" / "qrv-warmglow" /
                                            std::filesystem::path(QRV_AAX_DEFAULT_BUNDLE).filename();
    if (std::filesystem::is_directory(installed, ec)) return installed.string();
  }
  return QRV_AAX_DEFAULT_BUNDLE;
}

std::unique_ptr<Host> OpenHost(const std::string& bundle, std::ostream& err) {
  std::string error;
  auto module = Module::Load(bundle, &error);
  if (module == nullptr) {
    err << "aaxhost: " << error << "\n";
    return nullptr;
  }
  auto host = std::make_unique<Host>(std::move(module));
  host->Startup();
  const AAX_Result r = host->Register();
  if (r != AAX_SUCCESS) {
    err << "aaxhost: registration failed: " << AAX_ResultName(r) << " (" << r << ")\n";
    host->Shutdown();
    return nullptr;
  }
  return host;
}

void PrintProperties(const PropertyRecord& p, std::ostream& out) {
  for (const auto& [id, v] : p.properties) {
    out << " " << id << "=";
    if (id == 11 || id == 12 || id == 13 || id == 14) {
      out << "'" << FourCCText(static_cast<uint32_t>(v)) << "'";
    } else if (id == 51 || id == 52) {
      out << "0x" << std::hex << v << std::dec;
    } else {
      out << v;
    }
  }
}

int Describe(const std::string& bundle, std::ostream& out, std::ostream& err) {
  auto host = OpenHost(bundle, err);
  if (host == nullptr) return 1;
  out << "bundle: " << bundle << "\n";
  const Description& d = host->description();
  out << "manufacturer: " << d.manufacturer << "\n";
  for (std::size_t k = 0; k < d.packageNames.size(); ++k) out << "package name " << k << ": " << d.packageNames[k] << "\n";
  out << "package version: " << d.packageVersion << "\n";
  for (const EffectRecord& e : d.effects) {
    out << "effect " << e.effectID << "\n";
    for (const auto& n : e.names) out << "  name: " << n << "\n";
    for (uint32_t c : e.categories) out << "  category: " << c << "\n";
    for (const auto& [id, p] : e.procs) out << "  factory procedure: " << id << "\n";
    for (const auto& [type, file] : e.resources) out << "  resource " << type << ": " << file << "\n";
    for (std::size_t k = 0; k < e.components.size(); ++k) {
      const ComponentRecord& c = e.components[k];
      out << "  component " << k << ":";
      PrintProperties(c.properties, out);
      out << "\n";
      for (const FieldRecord& f : c.fields) {
        out << "    field " << std::setw(2) << f.index << ": " << FieldKindName(f.kind);
        if (f.kind == FieldKind::DataInPort || f.kind == FieldKind::PrivateData) out << ", " << f.size << " bytes";
        if (f.kind == FieldKind::MIDINode) out << " \"" << f.name << "\" type " << f.type << " mask 0x" << std::hex
                                               << f.channelMask << std::dec;
        if (f.kind == FieldKind::Meters) out << ", " << f.meterIDs.size() << " meters";
        out << "\n";
      }
    }
    out << "  meters:";
    for (const MeterRecord& m : e.meters) out << " '" << FourCCText(m.id) << "'";
    out << "\n";
    auto instance = host->CreateInstance(0, 48000.0f);
    if (instance != nullptr) {
      out << "  parameters:\n";
      for (const std::string& id : instance->ParameterIDs()) {
        std::string text;
        const double v = instance->ParameterValue(id);
        instance->ValueString(id, v, &text);
        out << "    \"" << id << "\" = " << v;
        if (!text.empty()) out << " (" << text << ")";
        out << "\n";
      }
    }
  }
  if (!d.pageTableFile.empty()) {
    out << "page table " << d.pageTableFile << ":";
    for (const std::string& p : d.pageTableParameters) out << " \"" << p << "\"";
    out << (d.pageTable.empty() ? " (file missing)" : "") << "\n";
  }
  for (const auto& a : host->diagnostics().assertions()) out << "assertion: " << a.text << "\n";
  host->Shutdown();
  return 0;
}

#ifdef _WIN32
// Audio files go through libsndfile, which the Windows build does not have yet.
int Render(const std::vector<std::string>&, std::ostream&, std::ostream& err) {
  err << "aaxhost: render is not part of the Windows build (it reads and writes audio files with libsndfile)\n";
  return 2;
}
#else
// "5", "Compression", "5: Compression", "bypass" -> the host parameter ID; "" for none.
std::string ResolveID(const std::string& key, const std::vector<std::string>& ids) {
  if (key == "bypass" || key == "Bypass") return "MasterBypassID";
  for (const std::string& id : ids) {
    if (id == key) return id;
    const auto colon = id.find(": ");
    if (colon == std::string::npos) continue;
    if (id.substr(0, colon) == key || id.substr(colon + 2) == key) return id;
  }
  return "";
}

int Render(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() < 3) {
    err << kUsage;
    return 2;
  }
  const std::string inPath = args[1], outPath = args[2];
  std::string bundle = DefaultBundle();
  std::vector<std::pair<std::string, std::string>> sets;
  int32_t block = 512;
  bool highQuality = false;
  for (std::size_t k = 3; k < args.size(); ++k) {
    const std::string& a = args[k];
    if ((a == "--bundle" || a == "--set" || a == "--block") && k + 1 >= args.size()) {
      err << "aaxhost: " << a << " needs a value\n";
      return 2;
    }
    if (a == "--bundle") {
      bundle = args[++k];
    } else if (a == "--set") {
      const std::string& kv = args[++k];
      const auto eq = kv.rfind('=');
      if (eq == std::string::npos || eq == 0) {
        err << "aaxhost: --set takes ID=VALUE, not \"" << kv << "\"\n";
        return 2;
      }
      sets.emplace_back(kv.substr(0, eq), kv.substr(eq + 1));
    } else if (a == "--hq") {
      highQuality = true;
    } else if (a == "--block") {
      const std::string& v = args[++k];
      const auto [p, ec] = std::from_chars(v.data(), v.data() + v.size(), block);
      if (ec != std::errc() || p != v.data() + v.size() || block < 1 || block > Instance::kDefaultMaxBlock) {
        err << "aaxhost: block size must be 1 to " << Instance::kDefaultMaxBlock << "\n";
        return 2;
      }
    } else {
      err << "aaxhost: unknown option " << a << "\n" << kUsage;
      return 2;
    }
  }

  // The file is read, rendered and written in blocks, so that a header claiming more audio than the
  // file holds costs nothing; the output appears only when complete.
  std::optional<cli::AudioReader> reader;
  try {
    reader.emplace(inPath);
  } catch (const cli::CliError& e) {
    err << "aaxhost: " << e.what() << "\n";
    return 2;
  }
  const cli::AudioFormat format = reader->format();
  const int channels = format.channels;
  if (channels > 2) {
    err << "aaxhost: " << inPath << ": only mono and stereo files can be rendered\n";
    return 2;
  }

  auto host = OpenHost(bundle, err);
  if (host == nullptr) return 1;
  int status = 0;
  {
    auto instance = host->CreateInstance(static_cast<std::size_t>(channels - 1), static_cast<float>(format.sampleRate));
    if (instance == nullptr) {
      err << "aaxhost: the module made no " << (channels == 1 ? "mono" : "stereo") << " instance\n";
      host->Shutdown();
      return 1;
    }
    const std::vector<std::string> ids = instance->ParameterIDs();
    if (highQuality) sets.insert(sets.begin(), {"HighQualityID", "1"});
    for (const auto& [key, text] : sets) {
      const std::string id = ResolveID(key, ids);
      char* end = nullptr;
      const double v = std::strtod(text.c_str(), &end);
      if (id.empty() || end == text.c_str() || *end != '\0' || !(v >= 0.0 && v <= 1.0)) {
        err << "aaxhost: cannot set \"" << key << "\" to \"" << text << "\"\n";
        host->Shutdown();
        return 2;
      }
      // As a user at the host's own control: touch, set, release.
      instance->Touch(id);
      instance->SetParameter(id, v);
      instance->Release(id);
      std::string shown;
      instance->ValueString(id, instance->ParameterValue(id), &shown);
      out << "\"" << id << "\" = " << instance->ParameterValue(id) << (shown.empty() ? "" : " (" + shown + ")") << "\n";
    }
    // What the settings gave the data model reaches the audio side before the first block, as a host's
    // timer would have delivered it by the time a session plays. This thread is the audio thread while
    // it renders; the direct-data timer runs beside it.
    instance->TimerWakeup();
    instance->StartTimer(std::chrono::milliseconds(5));
    int64_t frames = 0;
    int64_t latency = 0;
    try {
      cli::AudioWriter writer(outPath, {format.sampleRate, channels, cli::OutputFormat(outPath, format)});
      const auto n = static_cast<std::size_t>(block);
      std::vector<float> interleaved(n * static_cast<std::size_t>(channels));
      std::vector<std::vector<float>> in(static_cast<std::size_t>(channels), std::vector<float>(n));
      std::vector<std::vector<float>> outBuffers = in;
      const float* ip[2] = {in[0].data(), in.back().data()};
      float* op[2] = {outBuffers[0].data(), outBuffers.back().data()};
      // The module reports its latency once its first block has run; the output is read that many frames
      // ahead, as a host compensating the delay reads it, and as many frames of silence follow the input.
      bool first = true;
      int64_t skip = 0;
      auto run = [&](int64_t got) {
        const auto m = static_cast<std::size_t>(got);
        instance->RenderBlock(ip, op, static_cast<int32_t>(got));
        if (first) {
          first = false;
          instance->TimerWakeup();
          latency = std::max<int64_t>(instance->HostLatency(), 0);
          skip = latency;
        }
        const std::size_t from = static_cast<std::size_t>(std::min<int64_t>(skip, got));
        skip -= static_cast<int64_t>(from);
        for (std::size_t i = from; i < m; ++i) {
          for (std::size_t c = 0; c < in.size(); ++c) interleaved[(i - from) * in.size() + c] = outBuffers[c][i];
        }
        if (m > from) writer.Write(interleaved.data(), static_cast<int64_t>(m - from));
      };
      for (int64_t got; (got = reader->Read(interleaved.data(), block)) > 0; frames += got) {
        const auto m = static_cast<std::size_t>(got);
        for (std::size_t i = 0; i < m; ++i) {
          for (std::size_t c = 0; c < in.size(); ++c) in[c][i] = interleaved[i * in.size() + c];
        }
        run(got);
      }
      for (auto& channel : in) std::fill(channel.begin(), channel.end(), 0.0f);
      for (int64_t tail = frames > 0 ? latency : 0; tail > 0;) {
        const int64_t got = std::min<int64_t>(tail, block);
        run(got);
        tail -= got;
      }
      if (frames == 0 && reader->claimedFrames() > 0) {
        throw cli::CliError(inPath + " holds no audio, though its header claims " +
                            std::to_string(reader->claimedFrames()) + " frames (the file is damaged or cut)");
      }
      writer.Commit();
    } catch (const cli::CliError& e) {
      err << "aaxhost: " << e.what() << "\n";
      status = 2;
    }
    instance->StopTimer();
    instance->TimerWakeup();
    if (status == 0) {
      if (reader->claimedFrames() > frames) {
        err << "aaxhost: warning: " << inPath << " claims " << reader->claimedFrames() << " frames, " << frames
            << " could be read\n";
      }
      out << "rendered " << frames << " frames, " << channels << " channel(s) at " << format.sampleRate
          << " Hz in blocks of " << block << "\n";
      out << "latency: " << instance->HostLatency() << " samples"
          << (instance->LatencyReported() ? "" : " (not reported)")
          << (latency > 0 ? ", compensated" : "") << "\n";
      out << "last block meters: input " << instance->MeterValueAt(0) << ", output " << instance->MeterValueAt(1)
          << ", gain reduction " << instance->MeterValueAt(2) << "\n";
    }
  }
  host->Shutdown();
  return status;
}

#endif

}  // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.empty()) {
    err << kUsage;
    return 2;
  }
  if (args[0] == "--help" || args[0] == "-h") {
    out << kHelp;
    return 0;
  }
  if (args[0] == "--version") {
    out << "aaxhost " QRV_VERSION "\n";
    return 0;
  }
  if (args[0] == "describe") {
    if (args.size() > 2) {
      err << kUsage;
      return 2;
    }
    return Describe(args.size() == 2 ? args[1] : DefaultBundle(), out, err);
  }
  if (args[0] == "render") return Render(args, out, err);
#ifdef _WIN32
  if (args[0] == "edit") {
    err << "aaxhost: edit is not part of the Windows build (the module has no editor there)\n";
    return 2;
  }
#else
  if (args[0] == "edit") return RunEdit(args, DefaultBundle(), err);
#endif
  err << "aaxhost: unknown command " << args[0] << "\n" << kUsage;
  return 2;
}

}  // namespace qrv::aaxhost

#include "tests/aax/AaxTestSupport.h"

#include <cstddef>
#include <cstdlib>

#include "format/aax/QRV_Wrappers/QRV_AAX_RenderContext.h"

#include "tests/support/ScratchUser.h"

namespace qrv::aaxtest {
namespace {

// Settings, user presets and the preset library live in a scratch folder for the whole run.
const auto* const gScratchUser = ::testing::AddGlobalTestEnvironment(new test::ScratchUserEnvironment(true));

}  // namespace

std::string WritesOutsideOwnedFields(const std::vector<aaxhost::Instance::PrivateWrite>& writes) {
  struct Field {
    AAX_CFieldIndex field;
    std::size_t offset, size;
  };
  using aax::HiddenBlock;
  using aax::MessageBus;
  std::vector<Field> owned = {
      {aax::kFieldMessageBus, offsetof(MessageBus, toEngine), sizeof MessageBus::toEngine},
      {aax::kFieldMessageBus, offsetof(MessageBus, toEngineLength), sizeof MessageBus::toEngineLength},
      {aax::kFieldMessageBus, offsetof(MessageBus, toController), sizeof MessageBus::toController},
      {aax::kFieldMessageBus, offsetof(MessageBus, toControllerLength), sizeof MessageBus::toControllerLength}};
  for (int k = 0; k < aax::kHiddenCount; ++k)
    owned.push_back({aax::kFieldHidden, offsetof(HiddenBlock, pending) + sizeof(float) * k, sizeof(float)});
  owned.push_back({aax::kFieldHidden, offsetof(HiddenBlock, highQuality), sizeof HiddenBlock::highQuality});
  std::string out;
  for (const auto& w : writes) {
    bool inside = false;
    for (const Field& f : owned)
      inside |= w.field == f.field && w.offset >= f.offset && w.offset + w.size <= f.offset + f.size;
    if (!inside)
      out += "field " + std::to_string(w.field) + " offset " + std::to_string(w.offset) + " size " +
             std::to_string(w.size) + "\n";
  }
  return out;
}

std::unique_ptr<aaxhost::Host> LoadBundleHost() {
  std::string error;
  auto module = aaxhost::Module::Load(QRV_AAX_BUNDLE, &error);
  if (module == nullptr) {
    ADD_FAILURE() << "cannot load " << QRV_AAX_BUNDLE << ": " << error;
    return nullptr;
  }
  return std::make_unique<aaxhost::Host>(std::move(module));
}

RegisteredHost::RegisteredHost(std::unique_ptr<aaxhost::Host> host) : host_(std::move(host)) {
  EXPECT_EQ(host_->Startup(), AAX_SUCCESS);
  EXPECT_EQ(host_->Register(), AAX_SUCCESS);
}

RegisteredHost::~RegisteredHost() {
  if (host_ != nullptr) host_->Shutdown();
}

std::vector<std::vector<float>> TestSignal(int channels, std::size_t frames, float rate) {
  constexpr double kPi = 3.14159265358979323846;  // M_PI is POSIX, not C++
  std::vector<std::vector<float>> s(static_cast<std::size_t>(channels), std::vector<float>(frames));
  for (int c = 0; c < channels; ++c) {
    for (std::size_t i = 0; i < frames; ++i) {
      const double t = static_cast<double>(i) / rate;
      const double burst = (i / 4096) % 2 == 0 ? 0.9 : 0.05;
      s[static_cast<std::size_t>(c)][i] = static_cast<float>(
          burst * (0.7 * std::sin(2.0 * kPi * (110.0 + 55.0 * c) * t) + 0.3 * std::sin(2.0 * kPi * 1234.5 * t)));
    }
  }
  return s;
}

}  // namespace qrv::aaxtest

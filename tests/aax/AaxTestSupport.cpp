#include "tests/aax/AaxTestSupport.h"

#include <cstdlib>

#include "tests/support/TempDir.h"

namespace qrv::aaxtest {
namespace {

// Settings, user presets and the preset library live in a scratch folder for the whole run.
class ScratchUser final : public ::testing::Environment {
 public:
  void SetUp() override {
    dir_ = std::make_unique<test::TempDir>();
    setenv("QRV_CONFIG_DIR", (dir_->path() / "config").c_str(), 1);
    setenv("USERPROFILE", dir_->path().c_str(), 1);
    setenv("HOME", dir_->path().c_str(), 1);
  }
  void TearDown() override { dir_.reset(); }

 private:
  std::unique_ptr<test::TempDir> dir_;
};
const auto* const gScratchUser = ::testing::AddGlobalTestEnvironment(new ScratchUser);

}  // namespace

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
  std::vector<std::vector<float>> s(static_cast<std::size_t>(channels), std::vector<float>(frames));
  for (int c = 0; c < channels; ++c) {
    for (std::size_t i = 0; i < frames; ++i) {
      const double t = static_cast<double>(i) / rate;
      const double burst = (i / 4096) % 2 == 0 ? 0.9 : 0.05;
      s[static_cast<std::size_t>(c)][i] = static_cast<float>(
          burst * (0.7 * std::sin(2.0 * M_PI * (110.0 + 55.0 * c) * t) + 0.3 * std::sin(2.0 * M_PI * 1234.5 * t)));
    }
  }
  return s;
}

}  // namespace qrv::aaxtest

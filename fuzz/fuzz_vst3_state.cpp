// The VST3 component's state over arbitrary streams, through its interface as a host calls it: setState on
// the component and setComponentState on the controller, the host's stream moving as few bytes per call as
// the first input byte says.
//
// A refused state changes nothing; an accepted one saves again as a stream that loads into a fresh
// instance and saves as the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "format/vst3/Vst3Plugin.h"
#include "fuzz/ScratchUser.h"

namespace qrv::vst3 {
// The editor is not part of this target.
abi::IPlugView* Vst3Plugin::createView(abi::FIDString) { return nullptr; }
}  // namespace qrv::vst3

namespace {

using namespace qrv::vst3::abi;

class Stream final : public IBStream {
 public:
  Stream(std::vector<uint8_t> bytes, std::size_t piece) : bytes_(std::move(bytes)), piece_(piece) {}
  tresult queryInterface(const TUID, void** obj) override {
    *obj = nullptr;
    return kNoInterface;
  }
  uint32_t addRef() override { return 1; }
  uint32_t release() override { return 1; }
  tresult read(void* buffer, int32_t n, int32_t* got) override {
    const std::size_t count = std::min({static_cast<std::size_t>(std::max(n, 0)), piece_, bytes_.size() - at_});
    if (count > 0) std::memcpy(buffer, bytes_.data() + at_, count);
    at_ += count;
    if (got != nullptr) *got = static_cast<int32_t>(count);
    return kResultOk;
  }
  tresult write(void* buffer, int32_t n, int32_t* written) override {
    const std::size_t count = std::min(static_cast<std::size_t>(std::max(n, 0)), piece_);
    bytes_.insert(bytes_.end(), static_cast<const uint8_t*>(buffer), static_cast<const uint8_t*>(buffer) + count);
    if (written != nullptr) *written = static_cast<int32_t>(count);
    return kResultOk;
  }
  tresult seek(int64_t, int32_t, int64_t*) override { return kNotImplemented; }
  tresult tell(int64_t* pos) override {
    *pos = static_cast<int64_t>(at_);
    return kResultOk;
  }
  const std::vector<uint8_t>& bytes() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
  std::size_t at_ = 0;
  std::size_t piece_;
};

// One instance, as the factory hands it over (one reference), released at the end.
struct Instance {
  qrv::vst3::Vst3Plugin* plugin = new qrv::vst3::Vst3Plugin(qrv::hostcontrols::Layout::kStereo);
  ~Instance() { plugin->release(); }
  std::vector<uint8_t> Save(std::size_t piece) {
    Stream out({}, piece);
    if (static_cast<IComponent*>(plugin)->getState(&out) != kResultOk) std::abort();
    return out.bytes();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Keeps the process-wide preset library alive between inputs, as a host's other instances do.
  static Instance keeper;
  if (size == 0) return 0;
  const std::size_t piece = 1 + data[0] % 64;
  const std::vector<uint8_t> input(data + 1, data + size);

  Instance instance;
  static_cast<IEditController*>(instance.plugin)->setParamNormalized(5, 0.3);
  const std::vector<uint8_t> before = instance.Save(4096);
  Stream stream(input, piece);
  if (static_cast<IComponent*>(instance.plugin)->setState(&stream) != kResultOk) {
    Stream controller(input, piece);
    if (static_cast<IEditController*>(instance.plugin)->setComponentState(&controller) == kResultOk) std::abort();
    if (instance.Save(piece) != before) std::abort();  // a refused state changed the instance
    return 0;
  }
  const std::vector<uint8_t> after = instance.Save(piece);
  Instance reloaded;
  Stream again(after, 4096);
  if (static_cast<IComponent*>(reloaded.plugin)->setState(&again) != kResultOk) std::abort();
  if (reloaded.Save(4096) != after) std::abort();  // what was saved does not reload as itself
  return 0;
}

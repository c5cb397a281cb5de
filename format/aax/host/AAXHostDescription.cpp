#include "format/aax/host/AAXHostDescription.h"

namespace qrv::aaxhost {

bool PropertyRecord::Has(int32_t id) const {
  for (const auto& [k, v] : properties) {
    if (k == id) return true;
  }
  return false;
}

AAX_CPropertyValue PropertyRecord::Get(int32_t id, AAX_CPropertyValue fallback) const {
  for (const auto& [k, v] : properties) {
    if (k == id) return v;
  }
  return fallback;
}

const char* FieldKindName(FieldKind kind) {
  switch (kind) {
    case FieldKind::AudioIn: return "audio in";
    case FieldKind::AudioOut: return "audio out";
    case FieldKind::BufferLength: return "buffer length";
    case FieldKind::SampleRate: return "sample rate";
    case FieldKind::Meters: return "meters";
    case FieldKind::MIDINode: return "MIDI node";
    case FieldKind::DataInPort: return "data-in port";
    case FieldKind::PrivateData: return "private data";
  }
  return "?";
}

const FieldRecord* ComponentRecord::Field(AAX_CFieldIndex index) const {
  for (const FieldRecord& f : fields) {
    if (f.index == index) return &f;
  }
  return nullptr;
}

int ComponentRecord::Channels() const {
  const AAX_CPropertyValue stem = properties.Get(AAX_eProperty_InputStemFormat, AAX_eStemFormat_Mono);
  const int n = stem & 0xFFFF;
  return n < 1 ? 1 : n;
}

AAX_ProcPtr EffectRecord::Proc(AAX_CProcPtrID id) const {
  for (const auto& [k, p] : procs) {
    if (k == id) return p;
  }
  return nullptr;
}

std::string FourCCText(uint32_t id) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const char c = static_cast<char>((id >> shift) & 0xFF);
    s += (c >= 32 && c < 127) ? c : '?';
  }
  return s;
}

AAX_Result Diagnostics::HandleAssertFailure(const char* file, int32_t line, const char* text) {
  std::lock_guard<std::mutex> g(lock_);
  assertions_.push_back({file != nullptr ? file : "", line, text != nullptr ? text : ""});
  return AAX_SUCCESS;
}

AAX_Result Diagnostics::Trace(int32_t priority, const char* text) {
  std::lock_guard<std::mutex> g(lock_);
  traces_.emplace_back(priority, text != nullptr ? text : "");
  return AAX_SUCCESS;
}

std::vector<Diagnostics::Assertion> Diagnostics::assertions() const {
  std::lock_guard<std::mutex> g(lock_);
  return assertions_;
}

std::vector<std::pair<int32_t, std::string>> Diagnostics::traces() const {
  std::lock_guard<std::mutex> g(lock_);
  return traces_;
}

void Diagnostics::Clear() {
  std::lock_guard<std::mutex> g(lock_);
  assertions_.clear();
  traces_.clear();
}

}  // namespace qrv::aaxhost

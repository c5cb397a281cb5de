#include "format/aax/host/AAXHostInstance.h"

#include <algorithm>
#include <cstring>

namespace qrv::aaxhost {

// ---------------------------------------------------------------------------------------------------
// Host-side objects the instance hands to the plug-in.

class Instance::Controller final : public AAX_IController {
 public:
  explicit Controller(Instance& i) : i_(i) {}
  AAX_Result PostPacket(AAX_CFieldIndex port, const void* data, uint32_t size) override {
    if (std::find(i_.ports_.begin(), i_.ports_.end(), port) == i_.ports_.end()) return AAX_ERROR_PORT_ID_OUT_OF_RANGE;
    const FieldRecord* f = i_.component_.Field(port);
    if (data == nullptr || f == nullptr || size != f->size || size != 4) return AAX_ERROR_INVALID_ARGUMENT;
    uint32_t bits = 0;
    std::memcpy(&bits, data, 4);
    i_.posted_[static_cast<std::size_t>(port)].store(bits, std::memory_order_release);
    i_.packets_.push_back({port, bits});
    return AAX_SUCCESS;
  }
  AAX_Result GetSignalLatency(int32_t* samples) const override {
    if (samples == nullptr) return AAX_ERROR_NULL_OBJECT;
    *samples = i_.latency_.load();
    return AAX_SUCCESS;
  }
  AAX_Result SetSignalLatency(int32_t samples) override {
    i_.latency_.store(samples);
    i_.latencyReported_.store(true);
    return AAX_SUCCESS;
  }
  AAX_Result GetCurrentMeterValue(AAX_CTypeID id, float* value) const override {
    if (value == nullptr) return AAX_ERROR_NULL_OBJECT;
    const FieldRecord* f = nullptr;
    for (const FieldRecord& r : i_.component_.fields) {
      if (r.kind == FieldKind::Meters) f = &r;
    }
    if (f == nullptr) return AAX_ERROR_INVALID_METER_INDEX;
    for (std::size_t k = 0; k < f->meterIDs.size(); ++k) {
      if (f->meterIDs[k] == id) {
        *value = i_.meterValues_[k].load();
        return AAX_SUCCESS;
      }
    }
    return AAX_ERROR_INVALID_METER_INDEX;
  }
  AAX_Result GetSampleRate(float* rate) const override {
    if (rate == nullptr) return AAX_ERROR_NULL_OBJECT;
    *rate = i_.sampleRate_.load();
    return AAX_SUCCESS;
  }

 private:
  Instance& i_;
};

class Instance::Automation final : public AAX_IAutomationDelegate {
 public:
  explicit Automation(Instance& i) : i_(i) {}
  AAX_Result TouchParameter(AAX_CParamID id) override {
    if (id == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
    ++i_.touches_[id];
    return AAX_SUCCESS;
  }
  AAX_Result ReleaseParameter(AAX_CParamID id) override {
    if (id == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
    int& n = i_.touches_[id];
    if (n > 0) --n;
    return AAX_SUCCESS;
  }
  AAX_Result PostSetValueRequest(AAX_CParamID id, double value) override {
    if (id == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
    const bool touched = i_.touches_[id] > 0;
    i_.requests_.push_back({id, value, touched});
    // The same value set again while its update is being delivered acknowledges that update.
    if (i_.delivering_ && i_.delivering_->id == id && i_.delivering_->value == value) return AAX_SUCCESS;
    i_.queue_.push_back({id, value, touched});
    return AAX_SUCCESS;
  }
  AAX_Result GetTouchState(AAX_CParamID id, bool* touched) override {
    if (id == nullptr || touched == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
    const auto it = i_.touches_.find(id);
    // An update carries the touch state its request was made under.
    *touched = (it != i_.touches_.end() && it->second > 0) ||
               (i_.delivering_ && i_.delivering_->id == id && i_.delivering_->touched);
    return AAX_SUCCESS;
  }

 private:
  Instance& i_;
};

class Instance::PrivateAccess final : public AAX_IPrivateDataAccess {
 public:
  explicit PrivateAccess(Instance& i) : i_(i) {}
  AAX_Result ReadPortDirect(AAX_CFieldIndex field, uint32_t offset, uint32_t size, void* buffer) override {
    return Access(field, offset, size, buffer, false);
  }
  AAX_Result WritePortDirect(AAX_CFieldIndex field, uint32_t offset, uint32_t size, const void* buffer) override {
    return Access(field, offset, size, const_cast<void*>(buffer), true);
  }

 private:
  AAX_Result Access(AAX_CFieldIndex field, uint32_t offset, uint32_t size, void* buffer, bool write) {
    const auto fault = i_.privateFaults_.find(field);
    if (fault != i_.privateFaults_.end()) return fault->second;
    PrivateField* f = i_.FindPrivate(field);
    if (f == nullptr) return AAX_ERROR_FIELD_TYPE_DOES_NOT_SUPPORT_DIRECT_ACCESS;
    if (buffer == nullptr || offset > f->size || size > f->size - offset) return AAX_ERROR_DIRECT_ACCESS_OUT_OF_BOUNDS;
    unsigned char* p = static_cast<unsigned char*>(f->data()) + offset;
    if (write) {
      if (i_.recordWrites_) i_.privateWrites_.push_back({field, offset, size});
      std::memcpy(p, buffer, size);
    } else {
      std::memcpy(buffer, p, size);
    }
    return AAX_SUCCESS;
  }
  Instance& i_;
};

class Instance::MIDINode final : public AAX_IMIDINode, public AAX_ITransport {
 public:
  explicit MIDINode(bool transport) : isTransport_(transport) {}
  AAX_ITransport* GetTransport() override { return isTransport_ ? this : nullptr; }
  AAX_Result GetCurrentTempo(double* bpm) const override { return Out(bpm, tempo.load()); }
  AAX_Result IsTransportPlaying(bool* p) const override { return Out(p, playing.load()); }
  AAX_Result GetCurrentTickPosition(int64_t* t) const override { return Out(t, ticks.load()); }
  AAX_Result GetCurrentNativeSampleLocation(int64_t* s) const override { return Out(s, sample.load()); }

  std::atomic<double> tempo{120.0};
  std::atomic<bool> playing{false};
  std::atomic<int64_t> ticks{0};
  std::atomic<int64_t> sample{0};

 private:
  template <typename T>
  static AAX_Result Out(T* p, T v) {
    if (p == nullptr) return AAX_ERROR_NULL_OBJECT;
    *p = v;
    return AAX_SUCCESS;
  }
  bool isTransport_;
};

class Instance::ViewContainer final : public AAX_IViewContainer {
 public:
  ViewContainer(Instance& i, int32_t type, void* window) : i_(i), type_(type), window_(window) {}
  int32_t GetType() override { return type_; }
  void* GetPtr() override { return window_; }
  AAX_Result SetViewSize(double w, double h) override {
    if (!(w > 0.0 && h > 0.0)) return AAX_ERROR_INVALID_ARGUMENT;
    i_.viewSize_ = {w, h};
    if (i_.viewSizeHandler_) i_.viewSizeHandler_(w, h);
    return AAX_SUCCESS;
  }
  // The simulator offers no host-side actions; it records the offer and takes it.
  AAX_Result HandleParameterMouseDown(AAX_CParamID id, uint32_t modifiers) override {
    if (id == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
    i_.mouseDowns_.push_back({id, modifiers});
    return AAX_SUCCESS;
  }

 private:
  Instance& i_;
  int32_t type_;
  void* window_;
};

// What the instance's objects get from Initialize.
class Instance::HostObject final : public AAX_IACFUnknown {
 public:
  explicit HostObject(Instance& i) : i_(i) {}
  AAX_Result QueryInterface(AAX_CTypeID iid, void** out) override {
    if (out == nullptr) return AAX_ERROR_NULL_OBJECT;
    *out = nullptr;
    if (iid == AAX_IID_Controller) *out = static_cast<AAX_IController*>(i_.controller_.get());
    if (iid == AAX_IID_AutomationDelegate) *out = static_cast<AAX_IAutomationDelegate*>(i_.automation_.get());
    if (iid == AAX_IID_EffectParameters) *out = i_.dataModel_;
    return *out != nullptr ? AAX_SUCCESS : AAX_ERROR_UNIMPLEMENTED;
  }

 private:
  Instance& i_;
};

// ---------------------------------------------------------------------------------------------------

Instance::Instance(const EffectRecord& effect, const ComponentRecord& component, float sampleRate, int32_t maxBlock)
    : effect_(effect),
      component_(component),
      channels_(std::clamp(component.Channels(), 1, kMaxChannels)),
      maxBlock_(std::max(1, maxBlock)),
      sampleRate_(sampleRate) {
  hostObject_ = std::make_unique<HostObject>(*this);
  controller_ = std::make_unique<Controller>(*this);
  automation_ = std::make_unique<Automation>(*this);
  privateAccess_ = std::make_unique<PrivateAccess>(*this);
  midiInput_ = std::make_unique<MIDINode>(false);
  transport_ = std::make_unique<MIDINode>(true);

  AAX_CFieldIndex last = 0;
  for (const FieldRecord& f : component_.fields) last = std::max(last, f.index);
  const std::size_t n = static_cast<std::size_t>(last) + 1;
  context_.assign(n, nullptr);
  portMemory_ = std::make_unique<uint32_t[]>(n);
  posted_ = std::make_unique<std::atomic<uint32_t>[]>(n);
  for (std::size_t k = 0; k < n; ++k) posted_[k].store(0);

  for (int c = 0; c < kMaxChannels; ++c) {
    if (c < channels_) {
      inBuffers_[static_cast<std::size_t>(c)].assign(static_cast<std::size_t>(maxBlock_), 0.0f);
      outBuffers_[static_cast<std::size_t>(c)].assign(static_cast<std::size_t>(maxBlock_), 0.0f);
      inPointers_[static_cast<std::size_t>(c)] = inBuffers_[static_cast<std::size_t>(c)].data();
      outPointers_[static_cast<std::size_t>(c)] = outBuffers_[static_cast<std::size_t>(c)].data();
    }
  }
  for (const FieldRecord& f : component_.fields) {
    void*& slot = context_[static_cast<std::size_t>(f.index)];
    switch (f.kind) {
      case FieldKind::AudioIn: slot = inPointers_.data(); break;
      case FieldKind::AudioOut: slot = outPointers_.data(); break;
      case FieldKind::BufferLength: slot = &bufferLength_; break;
      case FieldKind::SampleRate: slot = &contextRate_; break;
      case FieldKind::Meters:
        meters_.assign(f.meterIDs.size(), 0.0f);
        meterValues_ = std::make_unique<std::atomic<float>[]>(f.meterIDs.size());
        for (std::size_t k = 0; k < f.meterIDs.size(); ++k) meterValues_[k].store(0.0f);
        slot = meters_.data();
        break;
      case FieldKind::MIDINode:
        slot = static_cast<AAX_IMIDINode*>(f.type == AAX_eMIDINodeType_Transport ? transport_.get() : midiInput_.get());
        break;
      case FieldKind::DataInPort:
        ports_.push_back(f.index);
        slot = &portMemory_[static_cast<std::size_t>(f.index)];
        break;
      case FieldKind::PrivateData: {
        PrivateField p{f.index, f.size,
                       std::make_unique<std::max_align_t[]>((f.size + sizeof(std::max_align_t) - 1) /
                                                                sizeof(std::max_align_t) + 1)};
        slot = p.data();
        private_.push_back(std::move(p));
        break;
      }
    }
  }
}

bool Instance::Create() {
  auto createParameters = reinterpret_cast<AAX_CreateEffectParametersProc>(
      effect_.Proc(AAX_eProcPtrID_Create_EffectParameters));
  auto createDirectData = reinterpret_cast<AAX_CreateEffectDirectDataProc>(
      effect_.Proc(AAX_eProcPtrID_Create_EffectDirectData));
  auto createGUI = reinterpret_cast<AAX_CreateEffectGUIProc>(effect_.Proc(AAX_eProcPtrID_Create_EffectGUI));
  if (createParameters == nullptr || component_.render == nullptr) return false;
  dataModel_ = createParameters();
  if (dataModel_ == nullptr || dataModel_->Initialize(hostObject_.get()) != AAX_SUCCESS) return false;
  for (PrivateField& p : private_) {
    if (dataModel_->ResetFieldData(p.index, p.data(), p.size) != AAX_SUCCESS) return false;
  }
  if (createDirectData != nullptr) {
    directData_ = createDirectData();
    if (directData_ == nullptr || directData_->Initialize(hostObject_.get()) != AAX_SUCCESS) return false;
  }
  if (createGUI != nullptr && !CreateGUI()) return false;
  dataModel_->GenerateCoefficients();
  return true;
}

bool Instance::CreateGUI() {
  if (gui_ != nullptr) return true;
  auto createGUI = reinterpret_cast<AAX_CreateEffectGUIProc>(effect_.Proc(AAX_eProcPtrID_Create_EffectGUI));
  if (createGUI == nullptr) return false;
  gui_ = createGUI();
  return gui_ != nullptr && gui_->Initialize(hostObject_.get()) == AAX_SUCCESS;
}

void Instance::DestroyGUI() {
  if (gui_ == nullptr) return;
  DetachView();
  gui_->Uninitialize();
  delete gui_;
  gui_ = nullptr;
}

Instance::~Instance() {
  StopTimer();
  WaitRender();
  DestroyGUI();
  if (directData_ != nullptr) {
    directData_->Uninitialize();
    delete directData_;
  }
  // The private data outlives the data model, which may own what it built there.
  if (dataModel_ != nullptr) {
    dataModel_->Uninitialize();
    delete dataModel_;
  }
}

Instance::PrivateField* Instance::FindPrivate(AAX_CFieldIndex field) {
  for (PrivateField& p : private_) {
    if (p.index == field) return &p;
  }
  return nullptr;
}

// ---- parameters ----

std::vector<std::string> Instance::ParameterIDs() const {
  std::vector<std::string> ids;
  int32_t n = 0;
  dataModel_->GetNumberOfParameters(&n);
  for (int32_t k = 0; k < n; ++k) {
    char id[AAX_kMaxParameterIDLength + 1] = {};
    if (dataModel_->GetParameterIDFromIndex(k, id, sizeof id) == AAX_SUCCESS) ids.emplace_back(id);
  }
  return ids;
}

double Instance::ParameterValue(const std::string& id) const {
  double v = -1.0;
  dataModel_->GetParameterNormalizedValue(id.c_str(), &v);
  return v;
}

AAX_Result Instance::ValueString(const std::string& id, double value, std::string* text, uint32_t maxLength) const {
  std::vector<char> buffer(maxLength + 1, '\0');
  const AAX_Result r = dataModel_->GetParameterValueString(id.c_str(), value, buffer.data(), maxLength);
  if (text != nullptr) *text = r == AAX_SUCCESS ? std::string(buffer.data()) : std::string();
  return r;
}

AAX_Result Instance::DeliverUpdate(const std::string& id, double value, int32_t source) {
  if (updateListener_) updateListener_(id, value);
  const AAX_Result r = dataModel_->UpdateParameterNormalizedValue(id.c_str(), value, source);
  if (r == AAX_SUCCESS && gui_ != nullptr) gui_->ParameterUpdated(id.c_str());
  return r;
}

AAX_Result Instance::SetParameter(const std::string& id, double value, int32_t source) {
  const AAX_Result r = DeliverUpdate(id, value, source);
  PumpUpdates();
  return r;
}

void Instance::Touch(const std::string& id) { automation_->TouchParameter(id.c_str()); }
void Instance::Release(const std::string& id) { automation_->ReleaseParameter(id.c_str()); }

int Instance::PumpUpdates() {
  int delivered = 0;
  // A plug-in that answers each update with a new request would keep the host busy forever.
  constexpr int kMaxDeliveries = 10000;
  while (!queue_.empty() && delivered < kMaxDeliveries) {
    delivering_ = queue_.front();
    queue_.pop_front();
    const SetRequest request = *delivering_;
    DeliverUpdate(request.id, request.value, AAX_eUpdateSource_Unspecified);
    delivering_.reset();
    ++delivered;
  }
  dataModel_->GenerateCoefficients();
  return delivered;
}

void Instance::ClearLogs() {
  requests_.clear();
  packets_.clear();
}

float Instance::PortFloat(AAX_CFieldIndex port) const {
  if (port < 0 || static_cast<std::size_t>(port) >= context_.size()) return 0.0f;
  const uint32_t bits = posted_[static_cast<std::size_t>(port)].load();
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

int32_t Instance::PortInt(AAX_CFieldIndex port) const {
  if (port < 0 || static_cast<std::size_t>(port) >= context_.size()) return 0;
  return static_cast<int32_t>(posted_[static_cast<std::size_t>(port)].load());
}

// ---- chunks ----

AAX_Result Instance::ChunkIDs(std::vector<AAX_CTypeID>* ids) const {
  int32_t n = 0;
  const AAX_Result r = dataModel_->GetNumberOfChunks(&n);
  if (r != AAX_SUCCESS) return r;
  ids->clear();
  for (int32_t k = 0; k < n; ++k) {
    AAX_CTypeID id = 0;
    const AAX_Result rk = dataModel_->GetChunkIDFromIndex(k, &id);
    if (rk != AAX_SUCCESS) return rk;
    ids->push_back(id);
  }
  return AAX_SUCCESS;
}

AAX_Result Instance::SaveChunk(AAX_CTypeID id, Chunk* chunk) {
  uint32_t size = 0;
  AAX_Result r = dataModel_->GetChunkSize(id, &size);
  if (r != AAX_SUCCESS) return r;
  std::vector<unsigned char> block(sizeof(AAX_SPlugInChunk) + size, 0);
  auto* c = reinterpret_cast<AAX_SPlugInChunk*>(block.data());
  c->fChunkID = id;
  c->fSize = static_cast<int32_t>(size);
  r = dataModel_->GetChunk(id, c);
  if (r != AAX_SUCCESS) return r;
  if (c->fSize < 0 || static_cast<uint32_t>(c->fSize) > size) return AAX_ERROR_INCORRECT_CHUNK_SIZE;
  chunk->id = id;
  chunk->version = c->fVersion;
  chunk->name.assign(c->fName, strnlen(c->fName, sizeof c->fName));
  chunk->data.assign(AAX_ChunkData(c), AAX_ChunkData(c) + c->fSize);
  return AAX_SUCCESS;
}

namespace {
std::vector<unsigned char> ChunkBlock(const Instance::Chunk& chunk) {
  std::vector<unsigned char> block(sizeof(AAX_SPlugInChunk) + chunk.data.size(), 0);
  auto* c = reinterpret_cast<AAX_SPlugInChunk*>(block.data());
  c->fChunkID = chunk.id;
  c->fVersion = chunk.version;
  c->fSize = static_cast<int32_t>(chunk.data.size());
  std::memcpy(c->fName, chunk.name.data(), std::min(chunk.name.size(), sizeof c->fName - 1));
  if (!chunk.data.empty()) std::memcpy(AAX_ChunkData(c), chunk.data.data(), chunk.data.size());
  return block;
}
}  // namespace

AAX_Result Instance::RestoreChunk(const Chunk& chunk) {
  std::vector<unsigned char> block = ChunkBlock(chunk);
  const AAX_Result r = dataModel_->SetChunk(chunk.id, reinterpret_cast<AAX_SPlugInChunk*>(block.data()));
  PumpUpdates();
  return r;
}

AAX_Result Instance::CompareChunk(const Chunk& chunk, bool* equal) {
  std::vector<unsigned char> block = ChunkBlock(chunk);
  return dataModel_->CompareActiveChunk(reinterpret_cast<AAX_SPlugInChunk*>(block.data()), equal);
}

AAX_Result Instance::Notify(AAX_CTypeID type, const void* data, uint32_t size) {
  return dataModel_->NotificationReceived(type, data, size);
}

// ---- audio ----

void Instance::SetTransport(double tempo, bool playing, int64_t ticks, int64_t samplePosition) {
  transport_->tempo.store(tempo);
  transport_->playing.store(playing);
  transport_->ticks.store(ticks);
  transport_->sample.store(samplePosition);
}

void Instance::RenderBlock(const float* const* in, float* const* out, int32_t frames) {
  std::lock_guard<std::mutex> g(privateLock_);
  RenderLocked(in, out, frames);
}

void Instance::RenderLocked(const float* const* in, float* const* out, int32_t frames) {
  frames = std::clamp(frames, 0, maxBlock_);
  for (const AAX_CFieldIndex port : ports_) {
    portMemory_[static_cast<std::size_t>(port)] = posted_[static_cast<std::size_t>(port)].load(std::memory_order_acquire);
  }
  bufferLength_ = frames;
  contextRate_ = sampleRate_.load();
  for (int c = 0; c < channels_; ++c) {
    std::copy(in[c], in[c] + frames, inBuffers_[static_cast<std::size_t>(c)].data());
  }
  void* record = context_.data();
  component_.render(&record, &record + 1);
  for (int c = 0; c < channels_; ++c) {
    std::copy(outBuffers_[static_cast<std::size_t>(c)].data(), outBuffers_[static_cast<std::size_t>(c)].data() + frames,
              out[c]);
  }
  for (std::size_t k = 0; k < meters_.size(); ++k) {
    meterValues_[k].store(meters_[k]);
    meters_[k] = 0.0f;
  }
  if (transport_->playing.load()) transport_->sample.fetch_add(frames);
  blocks_.fetch_add(1);
}

void Instance::Render(const std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out,
                      const std::vector<int32_t>& blockSizes) {
  BeginRender(in, out, blockSizes);
  WaitRender();
}

void Instance::BeginRender(const std::vector<std::vector<float>>& in, std::vector<std::vector<float>>& out,
                           const std::vector<int32_t>& blockSizes) {
  WaitRender();
  out.assign(static_cast<std::size_t>(channels_), std::vector<float>(in.empty() ? 0 : in[0].size(), 0.0f));
  audioThread_ = std::thread([this, &in, &out, blockSizes] {
    const std::size_t total = in.empty() ? 0 : in[0].size();
    std::array<const float*, kMaxChannels> ip{};
    std::array<float*, kMaxChannels> op{};
    std::size_t at = 0, k = 0;
    while (at < total) {
      const int32_t want = blockSizes.empty() ? 512 : blockSizes[k++ % blockSizes.size()];
      const int32_t n = static_cast<int32_t>(std::min<std::size_t>(total - at, static_cast<std::size_t>(
                                                                                   std::clamp(want, 1, maxBlock_))));
      for (int c = 0; c < channels_; ++c) {
        const std::size_t src = std::min<std::size_t>(static_cast<std::size_t>(c), in.size() - 1);
        ip[static_cast<std::size_t>(c)] = in[src].data() + at;
        op[static_cast<std::size_t>(c)] = out[static_cast<std::size_t>(c)].data() + at;
      }
      RenderBlock(ip.data(), op.data(), n);
      at += static_cast<std::size_t>(n);
    }
  });
}

void Instance::WaitRender() {
  if (audioThread_.joinable()) audioThread_.join();
}

// ---- direct data ----

AAX_Result Instance::TimerWakeup() {
  if (directData_ == nullptr) return AAX_ERROR_NULL_OBJECT;
  std::lock_guard<std::mutex> g(privateLock_);
  return directData_->TimerWakeup(privateAccess_.get());
}

void Instance::StartTimer(std::chrono::microseconds period) {
  StopTimer();
  timerRunning_.store(true);
  timerThread_ = std::thread([this, period] {
    while (timerRunning_.load()) {
      TimerWakeup();
      std::this_thread::sleep_for(period);
    }
  });
}

void Instance::StopTimer() {
  timerRunning_.store(false);
  if (timerThread_.joinable()) timerThread_.join();
}

void Instance::FailPrivateDataAccess(AAX_CFieldIndex field, AAX_Result result) {
  std::lock_guard<std::mutex> g(privateLock_);
  if (result == AAX_SUCCESS) {
    privateFaults_.erase(field);
  } else {
    privateFaults_[field] = result;
  }
}

void* Instance::PrivateDataPointer(AAX_CFieldIndex field) {
  PrivateField* f = FindPrivate(field);
  return f != nullptr ? f->data() : nullptr;
}

bool Instance::ReadPrivateData(AAX_CFieldIndex field, uint32_t offset, uint32_t size, void* out) {
  std::lock_guard<std::mutex> g(privateLock_);
  PrivateField* f = FindPrivate(field);
  if (f == nullptr || out == nullptr || offset > f->size || size > f->size - offset) return false;
  std::memcpy(out, static_cast<unsigned char*>(f->data()) + offset, size);
  return true;
}

void Instance::RecordPrivateWrites(bool on) {
  std::lock_guard<std::mutex> g(privateLock_);
  recordWrites_ = on;
  privateWrites_.clear();
}

std::vector<Instance::PrivateWrite> Instance::PrivateWrites() {
  std::lock_guard<std::mutex> g(privateLock_);
  return privateWrites_;
}

float Instance::MeterValue(AAX_CTypeID id) const {
  float v = 0.0f;
  controller_->GetCurrentMeterValue(id, &v);
  return v;
}

bool Instance::PresentMeterValue(AAX_CTypeID id, float value) {
  for (const FieldRecord& f : component_.fields) {
    if (f.kind != FieldKind::Meters) continue;
    for (std::size_t k = 0; k < f.meterIDs.size(); ++k) {
      if (f.meterIDs[k] != id) continue;
      meterValues_[k].store(value);
      return true;
    }
  }
  return false;
}

float Instance::MeterValueAt(std::size_t position) const {
  return position < meters_.size() ? meterValues_[position].load() : 0.0f;
}

// ---- view ----

AAX_Result Instance::AttachView(int32_t type, void* window) {
  if (gui_ == nullptr) return AAX_ERROR_NULL_OBJECT;
  if (view_ != nullptr) DetachView();
  view_ = std::make_unique<ViewContainer>(*this, type, window);
  return gui_->SetViewContainer(view_.get());
}

AAX_Result Instance::GuiTimerWakeup() { return gui_ != nullptr ? gui_->TimerWakeup() : AAX_ERROR_NULL_OBJECT; }

AAX_Result Instance::NotifyView(AAX_CTypeID type, const void* data, uint32_t size) {
  return gui_ != nullptr ? gui_->NotificationReceived(type, data, size) : AAX_ERROR_NULL_OBJECT;
}

AAX_Result Instance::DetachView() {
  if (gui_ == nullptr || view_ == nullptr) return AAX_SUCCESS;
  const AAX_Result r = gui_->SetViewContainer(nullptr);
  view_.reset();
  return r;
}

}  // namespace qrv::aaxhost

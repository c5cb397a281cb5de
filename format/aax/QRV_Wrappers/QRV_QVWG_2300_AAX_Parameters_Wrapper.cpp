#include "format/aax/QRV_Wrappers/QRV_QVWG_2300_AAX_Parameters_Wrapper.h"

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>
#include <span>

#include "dsp/FactoryPresets.h"
#include "dsp/ParameterSet.h"
#include "dsp/LittleEndian.h"
#include "presets/IndexTable.h"
#include "presets/PresetBlob.h"
#include "presets/StateChunk.h"

namespace qrv::aax {
namespace {

// The chunks a host saves: the controls chunk (index 0) and the 'All ' state chunk (index 1).
constexpr int32_t kChunkCount = 2;
constexpr int32_t kStateMinimumSessionOpening = 12;
constexpr int32_t kStateMinimum = 53;
constexpr std::size_t kHiddenUnsetWords = 37;
static_assert(kHiddenUnsetWords * 4 <= offsetof(HiddenBlock, master));


std::unique_ptr<AAX_CParameter> FloatParameter(const char* id, double defaultValue, int32_t steps,
                                               AAX_EParameterType type, bool automatable) {
  return std::make_unique<AAX_CParameter>(
      AAX_CParameter::Setup{id, id, AAX_eParameterValueType_Float, defaultValue, steps, type, automatable},
      std::make_unique<AAX_CLinearTaperDelegate>(0.0, 1.0), std::make_unique<AAX_CNumberDisplayDelegate>(2));
}

// Controls without a step hint (the stepped ones) are given the host's usual fine resolution.
constexpr int32_t kDefaultHostSteps = 128;
constexpr int32_t HostSteps(unsigned slot) {
  const int steps = ControlShapeOf(slot).hostSteps;
  return steps > 0 ? steps : kDefaultHostSteps;
}
static_assert(HostSteps(kSlotProcess) == 128 && HostSteps(kSlotTime) == 100 && HostSteps(kSlotOutput) == 300);

}  // namespace

int IndexOfID(AAX_CParamID id) {
  if (id == nullptr) return -1;
  if (std::strcmp(id, kPresetStartID) == 0) return kMessagePresetStart;
  if (std::strcmp(id, kPresetStopID) == 0) return kMessagePresetStop;
  return FindParameterId(id);
}

const char* IDOfIndex(int index) {
  if (index == kMessagePresetStart) return kPresetStartID;
  if (index == kMessagePresetStop) return kPresetStopID;
  if (index >= 0 && index < static_cast<int>(kParameterCount)) return GetParameterId(static_cast<unsigned>(index));
  return nullptr;
}

QRV_QVWG_2300_AAX_Parameters_Wrapper::QRV_QVWG_2300_AAX_Parameters_Wrapper() : controller_(this) {}

QRV_QVWG_2300_AAX_Parameters_Wrapper::~QRV_QVWG_2300_AAX_Parameters_Wrapper() {
  // The host keeps the private data alive until the data model goes; the engine's own allocations go
  // with it.
  if (engine_ != nullptr) engine_->~warmGlowEffect();
}

AAX_Result QRV_QVWG_2300_AAX_Parameters_Wrapper::EffectInit() {
  mParameterManager.AddParameter(std::make_unique<AAX_CParameter>(
      AAX_CParameter::Setup{kMasterBypassID, "Master Bypass", AAX_eParameterValueType_Bool, 0.0, 2,
                            AAX_eParameterType_Discrete, true},
      std::make_unique<AAX_CBinaryTaperDelegate>(),
      std::make_unique<AAX_CBinaryDisplayDelegate>("bypass", "on")));

  double defaults[kPresetValueCount];
  for (unsigned i = 0; i < kPresetValueCount; ++i) defaults[i] = GetParameterDefault(i);
  GetFactoryPreset(0, defaults, nullptr, nullptr);
  for (const unsigned index : kControlSlots) {
    const char* id = GetParameterId(index);
    if (mParameterManager.GetParameterByID(id) != nullptr) continue;
    mParameterManager.AddParameter(
        FloatParameter(id, defaults[index], HostSteps(index), AAX_eParameterType_Continuous, true));
  }
  mParameterManager.AddParameter(FloatParameter(kPresetStartID, 0.0, 2, AAX_eParameterType_Discrete, false));
  mParameterManager.AddParameter(FloatParameter(kPresetStopID, 0.0, 2, AAX_eParameterType_Discrete, false));
  // Last, so that every other parameter keeps its place in the host's list. No packet port: the
  // direct-data object carries it to the engine.
  mParameterManager.AddParameter(std::make_unique<AAX_CParameter>(
      AAX_CParameter::Setup{kHighQualityID, "High quality", AAX_eParameterValueType_Bool, 0.0, 2,
                            AAX_eParameterType_Discrete, false},
      std::make_unique<AAX_CBinaryTaperDelegate>(), std::make_unique<AAX_CBinaryDisplayDelegate>("Off", "On")));

  mPacketDispatcher.RegisterPacket(kMasterBypassID, kFieldBypass);
  for (unsigned i = 0; i < kPresetValueCount; ++i) {
    mPacketDispatcher.RegisterPacket(GetParameterId(i), kFieldFirstParameterPort + static_cast<int>(i));
  }
  mPacketDispatcher.RegisterPacket(kPresetStartID, kFieldPresetStart);
  mPacketDispatcher.RegisterPacket(kPresetStopID, kFieldPresetStop);

  if (QRVBaseParametersController* product = controller_.GetParametersController()) product->Initialize();
  return AAX_SUCCESS;
}

AAX_Result QRV_QVWG_2300_AAX_Parameters_Wrapper::NotificationReceived(AAX_CTypeID type, const void* data,
                                                                       uint32_t size) {
  if (type == AAX_eNotificationEvent_SessionBeingOpened) {
    chunkState_ = kChunkSessionOpening;
  } else if (type == AAX_eNotificationEvent_PresetOpened) {
    chunkState_ = kChunkPresetOpened;
  } else if (type == AAX_eNotificationEvent_PreviewState) {
    if (mParameterManager.GetParameterByID("PreviewID") != nullptr && data != nullptr && size >= 1) {
      bool on = false;
      std::memcpy(&on, data, 1);
      SetParameterNormalizedValue("PreviewID", on ? 1.0 : 0.0);
    }
  }
  return AAX_SUCCESS;
}

AAX_Result QRV_QVWG_2300_AAX_Parameters_Wrapper::UpdateParameterNormalizedValue(AAX_CParamID id, double value,
                                                                                 int32_t source) {
  AAX_CParameter* p = mParameterManager.GetParameterByID(id);
  if (p == nullptr) return AAX_ERROR_INVALID_PARAMETER_ID;
  const AAX_Result result = AAX_CEffectParameters::UpdateParameterNormalizedValue(id, value, source);
  if (std::strcmp(id, kHighQualityID) == 0) {
    highQuality_.store(p->GetNormalizedValue() >= 0.5, std::memory_order_relaxed);
    return result;
  }
  const int index = FindParameterId(id);
  if (index < 0 || index >= static_cast<int>(kPresetValueCount)) return result;
  if (source == AAX_eUpdateSource_Parameter || source == AAX_eUpdateSource_Chunk || source == AAX_eUpdateSource_Delay) {
    return result;
  }
  AAX_VAutomationDelegate* automation = AutomationDelegate();
  bool touched = false;
  if (automation == nullptr || !automation->IsValid() || automation->GetTouchState(id, &touched) != AAX_SUCCESS ||
      !touched) {
    return result;
  }
  controller_.ForwardHostUpdate(index, p->GetNormalizedValue());
  return result;
}

AAX_Result QRV_QVWG_2300_AAX_Parameters_Wrapper::GetParameterValueString(AAX_CParamID id, double value, char* text,
                                                                          uint32_t maxLength) const {
  if (id != nullptr && std::strcmp(id, kHighQualityID) == 0)
    return AAX_CEffectParameters::GetParameterValueString(id, value, text, maxLength);
  const int index = IndexOfID(id);
  if (index < 0) return AAX_ERROR_INVALID_PARAMETER_ID;
  char buffer[32] = {};
  if (index < static_cast<int>(kParameterCount)) {
    GetParameterDisplay(static_cast<unsigned>(index), value, buffer, 16);
    if (index == kSlotGainReduction) std::strcat(buffer, " dB ");
  }
  if (text != nullptr) {
    const std::size_t n = std::min<std::size_t>(std::strlen(buffer), maxLength);
    std::memcpy(text, buffer, n);
    text[n] = '\0';
  }
  return AAX_SUCCESS;
}

AAX_Result QRV_QVWG_2300_AAX_Parameters_Wrapper::ResetFieldData(AAX_CFieldIndex field, void* data, uint32_t size) {
  switch (field) {
    case kFieldHidden: {
      if (data == nullptr || size != kHiddenBlockSize) return AAX_ERROR_PORT_ID_OUT_OF_RANGE;
      auto* block = static_cast<HiddenBlock*>(data);
      std::memset(block, 0, sizeof(HiddenBlock));
      new (block->master) QRV_AAX_MasterAudioEffectWrapper();
      // Every float word up to offset 148 (ports, pending values, markers and the spare words behind
      // them) starts as "never seen".
      auto* bytes = static_cast<unsigned char*>(data);
      for (std::size_t k = 0; k < kHiddenUnsetWords; ++k) std::memcpy(bytes + 4 * k, &kUnsetValue, 4);
      return AAX_SUCCESS;
    }
    case kFieldLatency: {
      if (data == nullptr || size != 4) return AAX_ERROR_PORT_ID_OUT_OF_RANGE;
      const int32_t none = -1;
      std::memcpy(data, &none, 4);
      return AAX_SUCCESS;
    }
    case kFieldLastRate: {
      if (data == nullptr || size != 4) return AAX_ERROR_PORT_ID_OUT_OF_RANGE;
      std::memcpy(data, &kUnsetValue, 4);
      return AAX_SUCCESS;
    }
    case kFieldEngine: {
      if (data == nullptr || size != kEngineSize) return AAX_ERROR_PORT_ID_OUT_OF_RANGE;
      if (engine_ == data) {
        engine_->~warmGlowEffect();
        engine_ = nullptr;
      }
      try {
        engine_ = new (data) warmGlowEffect();
      } catch (...) {
        return AAX_ERROR_PORT_ID_OUT_OF_RANGE;
      }
      return AAX_SUCCESS;
    }
    case kFieldMessageBus: {
      if (data == nullptr || size != kMessageBusSize) return AAX_ERROR_PORT_ID_OUT_OF_RANGE;
      std::memset(data, 0, size);
      return AAX_SUCCESS;
    }
    default:
      if (data != nullptr) std::memset(data, 0, size);
      return AAX_SUCCESS;
  }
}

AAX_Result QRV_QVWG_2300_AAX_Parameters_Wrapper::GetNumberOfChunks(int32_t* count) const {
  if (count == nullptr) return AAX_ERROR_NULL_OBJECT;
  *count = kChunkCount;
  return AAX_SUCCESS;
}

AAX_Result QRV_QVWG_2300_AAX_Parameters_Wrapper::GetChunkIDFromIndex(int32_t index, AAX_CTypeID* id) const {
  if (id == nullptr) return AAX_ERROR_NULL_OBJECT;
  if (index == 0) {
    *id = AAX_kControlsChunkID;
  } else if (index == 1) {
    *id = kStateChunkID;
  } else {
    *id = 0;
    return AAX_ERROR_INVALID_CHUNK_INDEX;
  }
  return AAX_SUCCESS;
}

int32_t QRV_QVWG_2300_AAX_Parameters_Wrapper::StateData(const uint8_t** data) {
  *data = nullptr;
  QRVBaseParametersController* product = controller_.GetParametersController();
  if (product == nullptr) return 0;
  const int32_t n = product->GetStateChunk(data);
  if (n <= 0 || *data == nullptr) {
    *data = nullptr;
    return 0;
  }
  return n;
}

AAX_Result QRV_QVWG_2300_AAX_Parameters_Wrapper::GetChunkSize(AAX_CTypeID id, uint32_t* size) {
  if (id == AAX_kControlsChunkID) return AAX_CEffectParameters::GetChunkSize(id, size);
  if (size == nullptr) return AAX_ERROR_NULL_OBJECT;
  if (id != kStateChunkID) return AAX_ERROR_INVALID_CHUNK_ID;
  const uint8_t* data = nullptr;
  stateChunkSize_ = StateData(&data) + static_cast<int32_t>(kStateTrailerSize);
  *size = static_cast<uint32_t>(stateChunkSize_);
  return AAX_SUCCESS;
}

AAX_Result QRV_QVWG_2300_AAX_Parameters_Wrapper::GetChunk(AAX_CTypeID id, AAX_SPlugInChunk* chunk) {
  if (id == AAX_kControlsChunkID) return AAX_CEffectParameters::GetChunk(id, chunk);
  if (chunk == nullptr) return AAX_ERROR_NULL_OBJECT;
  if (id != kStateChunkID) return AAX_ERROR_INVALID_CHUNK_ID;
  const uint8_t* data = nullptr;
  const int32_t n = StateData(&data);
  const int32_t total = n + static_cast<int32_t>(kStateTrailerSize);
  // The host sized its buffer from the last size request; never write more than that.
  if (total != stateChunkSize_) return AAX_ERROR_INCORRECT_CHUNK_SIZE;
  unsigned char* out = AAX_ChunkData(chunk);
  if (n > 0) std::memcpy(out, data, static_cast<std::size_t>(n));
  le::Store32(out + n, kStateTrailerWord);
  le::Store32(out + n + 4, kStateTrailerWord | (highQuality() ? kStateTrailerHighQuality : 0u));
  chunk->fSize = total;
  return AAX_SUCCESS;
}

bool QRV_QVWG_2300_AAX_Parameters_Wrapper::BlobIsWhole(const unsigned char* data, int32_t size) {
  // Restored into a scratch copy: a blob header must be followed by everything it promises before the
  // instance is touched. Data too short to hold a blob header says nothing and is left to the readers,
  // which take nothing from it.
  if (size < static_cast<int32_t>(kStateChunkPrefixSize + kBlobHeaderSize) || controller_.GetPresetManager() == nullptr)
    return true;
  return StateChunkBlobIsWhole(std::span<const uint8_t>(data, static_cast<std::size_t>(size)));
}

void QRV_QVWG_2300_AAX_Parameters_Wrapper::SetHighQuality(bool on) {
  highQuality_.store(on, std::memory_order_relaxed);
  TouchParameter(kHighQualityID);
  SetParameterNormalizedValue(kHighQualityID, on ? 1.0 : 0.0);
  ReleaseParameter(kHighQualityID);
}

void QRV_QVWG_2300_AAX_Parameters_Wrapper::RestoreHighQuality(const unsigned char* data, int32_t s) {
  // A trailer of ours: the first word as always, the second with the flag bits in its low half. Any
  // other trailer (an older writer's is exactly two plain words) means off.
  bool on = false;
  if (s >= static_cast<int32_t>(kStateTrailerSize)) {
    const unsigned char* trailer = data + s - kStateTrailerSize;
    const uint32_t second = le::Load32(trailer + 4);
    on = le::Load32(trailer) == kStateTrailerWord && (second & 0xFFFF0000u) == kStateTrailerWord &&
         (second & kStateTrailerHighQuality) != 0;
  }
  if (on != highQuality()) SetHighQuality(on);
}

AAX_Result QRV_QVWG_2300_AAX_Parameters_Wrapper::SetStateChunk(const unsigned char* data, int32_t size) {
  if (!BlobIsWhole(data, size)) return AAX_ERROR_INCORRECT_CHUNK_SIZE;
  if (QRVBaseParametersController* product = controller_.GetParametersController()) {
    product->SetStateChunk(data, static_cast<std::size_t>(size));
  }
  return AAX_SUCCESS;
}

AAX_Result QRV_QVWG_2300_AAX_Parameters_Wrapper::SetChunk(AAX_CTypeID id, const AAX_SPlugInChunk* chunk) {
  if (id == AAX_kControlsChunkID) return AAX_CEffectParameters::SetChunk(id, chunk);
  if (chunk == nullptr) return AAX_ERROR_NULL_OBJECT;
  if (id != kStateChunkID) return AAX_ERROR_INVALID_CHUNK_ID;
  const int32_t s = chunk->fSize;
  const unsigned char* data = AAX_ChunkData(chunk);

  if (chunkState_ == kChunkPresetOpened) {
    chunkState_ = kChunkNormal;
    return AAX_SUCCESS;
  }
  if (chunkState_ == kChunkSessionOpening) {
    if (s < kStateMinimumSessionOpening) {
      chunkState_ = kChunkNormal;
      return AAX_ERROR_NOT_INITIALIZED;
    }
    const AAX_Result r = SetStateChunk(data, s - static_cast<int32_t>(kStateTrailerSize));
    if (r != AAX_SUCCESS) {
      chunkState_ = kChunkNormal;
    } else {
      RestoreHighQuality(data, s);
    }
    return r;
  }
  if (s < kStateMinimum) return AAX_ERROR_NOT_INITIALIZED;
  const int32_t n = s - static_cast<int32_t>(kStateTrailerSize);
  // Data without the product code, or whose record 0 holds every default, means a fresh insert: the
  // user's default preset takes over.
  const std::span<const uint8_t> state(data, static_cast<std::size_t>(n));
  const bool known = HasStateChunkPrefix(state);
  // Our own data cut short is refused, not taken for a fresh insert.
  if (known && !BlobIsWhole(data, n)) return AAX_ERROR_INCORRECT_CHUNK_SIZE;
  const bool defaults = !known || HostStateEqualsDefaults(StateChunkBlob(state));
  // The instance's setting, not a preset's: taken from a state of ours whichever way its values go.
  if (known) RestoreHighQuality(data, s);
  if (defaults) {
    if (PresetManager* pm = controller_.GetPresetManager()) pm->RecallUserDefault();
    return AAX_SUCCESS;
  }
  return SetStateChunk(data, n);
}

}  // namespace qrv::aax

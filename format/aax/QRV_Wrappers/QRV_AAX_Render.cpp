// The native render procedures: ports and transport in, engine block, meters out. Audio thread; nothing
// here allocates, locks or calls the system.
#include <cmath>
#include <cstring>

#include "dsp/ParameterSet.h"
#include "dsp/ScopedFlushToZero.h"
#include "format/aax/QRV_Wrappers/QRV_AAX_RenderContext.h"
#include "presets/IndexTable.h"

namespace qrv::aax {

const std::array<AAX_CTypeID, kMeterCount> kMeterIDs = {
    AAX_FourCC("mtrI"), AAX_FourCC("mtrO"), AAX_FourCC("mtGR"),
    AAX_FourCC("mtcA"), AAX_FourCC("mtcB"), AAX_FourCC("mtcC"), AAX_FourCC("mtcD"), AAX_FourCC("mtcE"),
    AAX_FourCC("mtcF"), AAX_FourCC("mtcG"), AAX_FourCC("mtcH"), AAX_FourCC("mtcI"), AAX_FourCC("mtcJ"),
    AAX_FourCC("mtcK"), AAX_FourCC("mtcL"), AAX_FourCC("mtcM"), AAX_FourCC("mtcN"), AAX_FourCC("mtcO"),
    AAX_FourCC("mtcP"), AAX_FourCC("mtcR"), AAX_FourCC("mtcS"), AAX_FourCC("mtcT"), AAX_FourCC("mtcU"),
    AAX_FourCC("mtcW"), AAX_FourCC("mtcQ"), AAX_FourCC("mtcX"), AAX_FourCC("mtcY"), AAX_FourCC("mtcZ"),
    AAX_FourCC("mtcV"), AAX_FourCC("mrcA"), AAX_FourCC("mrcB"), AAX_FourCC("mrcC"), AAX_FourCC("mrcD"),
    AAX_FourCC("mrcE"), AAX_FourCC("mrcF"), AAX_FourCC("mttA"), AAX_FourCC("mttB"), AAX_FourCC("mttC"),
    AAX_FourCC("mttD"), AAX_FourCC("mttE"), AAX_FourCC("mttF"), AAX_FourCC("mttG"), AAX_FourCC("mttH"),
    AAX_FourCC("mttI"), AAX_FourCC("mttJ"), AAX_FourCC("mttK"), AAX_FourCC("mttL"), AAX_FourCC("mttM"),
    AAX_FourCC("mttN"), AAX_FourCC("mttO"), AAX_FourCC("mttP"), AAX_FourCC("mttR"), AAX_FourCC("mttS"),
    AAX_FourCC("mttT"), AAX_FourCC("mttU"), AAX_FourCC("mttW"), AAX_FourCC("mttQ"), AAX_FourCC("mttX"),
    AAX_FourCC("mttY"), AAX_FourCC("mttZ"), AAX_FourCC("mttV"), AAX_FourCC("mrtA"), AAX_FourCC("mrtB"),
    AAX_FourCC("mrtC"), AAX_FourCC("mrtD"), AAX_FourCC("mrtE"), AAX_FourCC("mrtF"),
};

namespace {

std::array<int, kCustomMeterCount> BuildCustomMeterList() {
  std::array<int, kCustomMeterCount> list;
  list.fill(-1);
  std::size_t n = 0;
  for (unsigned i = 0; i < kParameterCount && n < list.size(); ++i) {
    if ((GetParameterFlags(i) & kParameterFlagMeter) != 0) list[n++] = static_cast<int>(i);
  }
  return list;
}

// Built before the module hands out its first render procedure.
const std::array<int, kCustomMeterCount> gCustomMeters = BuildCustomMeterList();

float PeakOf(const float* samples, int32_t count, float current) {
  if (samples == nullptr) return current;
  float peak = current;
  for (int32_t i = 0; i < count; ++i) peak = std::fmax(peak, std::fabs(samples[i]));
  return peak;
}

void ReadTransport(AAX_IMIDINode* node, TimeInfo& info) {
  const AAX_ITransport* transport = node != nullptr ? node->GetTransport() : nullptr;
  if (transport == nullptr) return;
  double tempo = 0.0;
  if (transport->GetCurrentTempo(&tempo) == AAX_SUCCESS) {
    info.tempo = tempo;
    info.flags |= kTempoValid;
  }
  int64_t sample = 0;
  if (transport->GetCurrentNativeSampleLocation(&sample) == AAX_SUCCESS) {
    info.samplePosition = static_cast<double>(sample);
  }
  int64_t ticks = 0;
  if (transport->GetCurrentTickPosition(&ticks) == AAX_SUCCESS) {
    info.quarterNotePosition = static_cast<double>(static_cast<float>(ticks) * (1.0f / 960000.0f));
    if (ticks != 0) {
      info.flags |= kQuarterNotesValid;
    } else {
      info.flags &= ~kQuarterNotesValid;
    }
  }
  bool playing = false;
  if (transport->IsTransportPlaying(&playing) == AAX_SUCCESS && playing != ((info.flags & kTransportPlaying) != 0)) {
    info.flags |= kTransportChanged;
    if (playing) {
      info.flags |= kTransportPlaying;
    } else {
      info.flags &= ~kTransportPlaying;
    }
  }
}

template <int Channels>
void RenderOne(RenderContext& ctx) {
  warmGlowEffect* engine = ctx.engine;
  HiddenBlock* hidden = ctx.hidden;
  if (engine == nullptr || hidden == nullptr || ctx.bufferLength == nullptr) return;

  // What the host gave for this block.
  const int32_t bypass = ctx.bypass != nullptr ? *ctx.bypass : 0;
  const int32_t count = *ctx.bufferLength;
  const float* in[kMaxChannels] = {};
  float* out[kMaxChannels] = {};
  for (int c = 0; c < Channels; ++c) {
    in[c] = ctx.inputs != nullptr ? ctx.inputs[c] : nullptr;
    out[c] = ctx.outputs != nullptr ? ctx.outputs[c] : nullptr;
  }
  QRV_AAX_MasterAudioEffectWrapper* master = hidden->Master();

  // Transport.
  ReadTransport(ctx.transport, master->timeInfo());

  // High quality before a new rate's Reset, which completes the switch: on from the first sample of a
  // session; later switches crossfade inside the engine.
  if (const bool wanted = hidden->highQuality >= 0.5f; wanted != engine->highQuality()) {
    engine->SetHighQuality(wanted);
  }

  // A new rate reaches the filters through Reset. A rate that is no number or not positive is no
  // rate at all: the engine keeps the one it has.
  if (ctx.sampleRate != nullptr && ctx.lastRate != nullptr) {
    const float rate = *ctx.sampleRate;
    if (rate != *ctx.lastRate && std::isfinite(rate) && rate > 0.0f) {
      *ctx.lastRate = rate;
      engine->SetSampleRate(rate);
      engine->Reset();
    }
  }

  // A preset load begins: every parameter is sent again below.
  if (ctx.presetStart != nullptr && *ctx.presetStart != hidden->lastStart) {
    hidden->lastStart = *ctx.presetStart;
    engine->SetParameter(kMessagePresetStart, 1.0);
    for (float& v : hidden->lastPort) v = kResendValue;
  }

  // Changed host parameters.
  for (const unsigned index : kControlSlots) {
    const float* port = ctx.parameterPorts[index];
    if (port == nullptr) continue;
    const float v = *port;
    if (v != hidden->lastPort[index]) {
      hidden->lastPort[index] = v;
      engine->SetParameter(index, v);
    }
  }

  // A preset load ends.
  if (ctx.presetStop != nullptr && *ctx.presetStop != hidden->lastStop) {
    hidden->lastStop = *ctx.presetStop;
    engine->SetParameter(kMessagePresetStop, 1.0);
  }

  // Values of the non-host indices delivered by the direct-data object.
  for (int k = 0; k < kHiddenCount; ++k) {
    if (hidden->pending[k] >= 0.0f) {
      engine->SetParameter(static_cast<unsigned>(kHiddenFirstIndex + k), hidden->pending[k]);
      hidden->pending[k] = kNoPendingValue;
    }
  }

  // Report the latency; hand the engine its master (transport and outgoing messages) for this block.
  if (ctx.latency != nullptr) *ctx.latency = engine->GetLatency();
  engine->SetMaster(master);

  // One message in each direction.
  if (MessageBus* bus = ctx.bus) {
    if (bus->toEngineLength != 0) {
      const std::size_t n = bus->toEngineLength < kParameterMessageMaxSize ? bus->toEngineLength
                                                                           : kParameterMessageMaxSize;
      engine->ApplyMessage(bus->toEngine, n);
      bus->toEngineLength = 0;
    }
    if (master->messageLength() != 0) {
      std::memcpy(bus->toController, master->message(), kParameterMessageMaxSize);
      bus->toControllerLength = master->messageLength();
      master->ClearMessage();
    }
  }

  // Meter the input, process or bypass, then meter the output and the engine.
  const ScopedFlushToZero ftz;
  // The input peak is taken before processing, so that in-place buffers meter the input.
  float* meters = ctx.meters;
  const float inputPeak = meters != nullptr ? PeakOf(in[0], count, meters[0]) : 0.0f;
  const float* const inPair[2] = {in[0], Channels > 1 ? in[1] : nullptr};
  float* const outPair[2] = {out[0], Channels > 1 ? out[1] : nullptr};
  if (bypass != 0) {
    engine->BypassBlock(inPair, outPair, count);
  } else {
    engine->ProcessBlock(inPair, outPair, count);
  }
  if (meters == nullptr) return;
  meters[0] = inputPeak;
  meters[1] = PeakOf(out[0], count, meters[1]);
  WriteEngineMeters(*engine, meters);
}

template <int Channels>
void Render(void* const* begin, const void* end) {
  for (void* const* it = begin; static_cast<const void*>(it) < end; ++it) {
    if (*it != nullptr) RenderOne<Channels>(*static_cast<RenderContext*>(*it));
  }
}

}  // namespace

const std::array<int, kCustomMeterCount>& CustomMeterList() { return gCustomMeters; }

void WriteEngineMeters(QRVBaseAudioProcessor& engine, float* meters) {
  double gr = 0.0;
  meters[2] = engine.GetMeter(kSlotGainReduction, &gr) ? static_cast<float>(gr) : 0.0f;
  for (int k = 0; k < kCustomMeterCount && gCustomMeters[static_cast<std::size_t>(k)] >= 0; ++k) {
    double v = 0.0;
    if (engine.GetMeter(static_cast<unsigned>(gCustomMeters[static_cast<std::size_t>(k)]), &v)) {
      if (!std::isfinite(v) || v < 0.0) v = 0.0;
      if (v > 1.0) v = 1.0;
      meters[3 + k] = static_cast<float>(v) + kMeterOffset;
    } else {
      meters[3 + k] = kNoMeterValue;
    }
  }
}

bool QRV_AAX_MasterAudioEffectWrapper::PostMessage(const void* block, std::size_t size) {
  if (block == nullptr || size == 0 || size > kParameterMessageMaxSize) return false;
  std::memset(message_, 0, sizeof message_);
  std::memcpy(message_, block, size);
  length_ = size;
  return true;
}

void QRV_AAX_MasterAudioEffectWrapper::ClearMessage() {
  std::memset(message_, 0, sizeof message_);
  length_ = 0;
}

void RenderMono(void* const* begin, const void* end) { Render<1>(begin, end); }
void RenderStereo(void* const* begin, const void* end) { Render<2>(begin, end); }

}  // namespace qrv::aax

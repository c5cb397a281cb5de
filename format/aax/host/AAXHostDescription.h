// What a module describes at registration, recorded by the host: effect identity, components with their
// render-context fields and properties, factory procedures, resources and meters; plus every assertion
// and trace the module reported on the way.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "format/aax/sdk/AAX_Interfaces.h"

namespace qrv::aaxhost {

struct PropertyRecord {
  std::vector<std::pair<int32_t, AAX_CPropertyValue>> properties;  // in the order they were added
  bool Has(int32_t id) const;
  AAX_CPropertyValue Get(int32_t id, AAX_CPropertyValue fallback = 0) const;
};

enum class FieldKind { AudioIn, AudioOut, BufferLength, SampleRate, Meters, MIDINode, DataInPort, PrivateData };
const char* FieldKindName(FieldKind kind);

struct FieldRecord {
  FieldRecord(FieldKind k, AAX_CFieldIndex i) : kind(k), index(i) {}
  FieldKind kind;
  AAX_CFieldIndex index;
  uint32_t size = 0;      // ports and private data
  int32_t type = 0;       // port type, MIDI node type or private-data options
  std::string name;       // MIDI nodes
  uint32_t channelMask = 0;
  std::vector<AAX_CTypeID> meterIDs;
};

struct ComponentRecord {
  std::vector<FieldRecord> fields;  // in registration order
  PropertyRecord properties;
  AAX_CRenderProc render = nullptr;
  bool hasInstanceInit = false, hasBackground = false;
  const FieldRecord* Field(AAX_CFieldIndex index) const;
  int Channels() const;  // from the input stem format
};

struct MeterRecord {
  AAX_CTypeID id;
  std::string name;
  PropertyRecord properties;
};

struct EffectRecord {
  std::string effectID;
  std::vector<std::string> names;
  std::vector<uint32_t> categories;
  std::vector<ComponentRecord> components;
  std::vector<std::pair<AAX_CProcPtrID, AAX_ProcPtr>> procs;  // in registration order
  std::vector<std::pair<int32_t, std::string>> resources;
  std::vector<MeterRecord> meters;
  AAX_ProcPtr Proc(AAX_CProcPtrID id) const;
};

struct Description {
  AAX_Result result = AAX_SUCCESS;
  std::string manufacturer;
  std::vector<std::string> packageNames;
  uint32_t packageVersion = 0;
  std::vector<EffectRecord> effects;
  bool definitionReturned = false;
  // ACFCanUnloadNow as seen from inside AddEffect (descriptor proxies are alive then).
  int32_t liveObjectsDuringAddEffect = -1;
  // The page-table resource, read from the bundle's Contents/Resources, and the parameter IDs it maps.
  std::string pageTableFile, pageTable;
  std::vector<std::string> pageTableParameters;
};

std::string FourCCText(uint32_t id);

// Diagnostics the module sends through the host services. Any thread.
class Diagnostics final : public AAX_IHostServices {
 public:
  struct Assertion {
    std::string file;
    int32_t line;
    std::string text;
  };
  AAX_Result HandleAssertFailure(const char* file, int32_t line, const char* text) override;
  AAX_Result Trace(int32_t priority, const char* text) override;
  std::vector<Assertion> assertions() const;
  std::vector<std::pair<int32_t, std::string>> traces() const;
  void Clear();

 private:
  mutable std::mutex lock_;
  std::vector<Assertion> assertions_;
  std::vector<std::pair<int32_t, std::string>> traces_;
};

}  // namespace qrv::aaxhost

// Host parameters of an instance: list, defaults, display texts, unknown IDs, packets and the way host
// updates reach the plug-in's own model.
#include "dsp/FactoryPresets.h"
#include "tests/aax/AaxTestSupport.h"

namespace qrv::aaxtest {
namespace {

class AaxParameters : public ::testing::Test {
 protected:
  void SetUp() override {
    auto loaded = LoadBundleHost();
    ASSERT_NE(loaded, nullptr);
    host_ = std::make_unique<RegisteredHost>(std::move(loaded));
    instance_ = (*host_)->CreateInstance(1, 48000.0f);
    ASSERT_NE(instance_, nullptr);
  }
  void TearDown() override {
    instance_.reset();
    host_.reset();
  }
  std::string Text(const std::string& id, double v, uint32_t maxLength = 31) {
    std::string text;
    EXPECT_EQ(instance_->ValueString(id, v, &text, maxLength), AAX_SUCCESS) << id;
    return text;
  }
  std::unique_ptr<RegisteredHost> host_;
  std::unique_ptr<aaxhost::Instance> instance_;
};

TEST_F(AaxParameters, HostParametersAreListedWithTheirIndexPrefix) {
  EXPECT_EQ(instance_->ParameterIDs(), kHostParameterIDs);
  AAX_IEffectParameters* model = instance_->dataModel();
  char name[64];
  ASSERT_EQ(model->GetParameterName("MasterBypassID", name, sizeof name), AAX_SUCCESS);
  EXPECT_STREQ(name, "Master Bypass");
  ASSERT_EQ(model->GetParameterName("4: Time", name, sizeof name), AAX_SUCCESS);
  EXPECT_STREQ(name, "4: Time");

  double preset[12] = {};
  GetFactoryPreset(0, preset, nullptr, nullptr);
  const int32_t steps[] = {128, 128, 128, 100, 100, 300, 128};
  for (std::size_t k = 0; k < kControls.size(); ++k) {
    const char* id = kControls[k].first.c_str();
    double def = -1.0;
    int32_t n = 0, type = -1;
    bool automatable = false;
    ASSERT_EQ(model->GetParameterDefaultNormalizedValue(id, &def), AAX_SUCCESS);
    EXPECT_DOUBLE_EQ(def, preset[kControls[k].second]) << id;
    EXPECT_DOUBLE_EQ(instance_->ParameterValue(id), def) << id;
    model->GetParameterNumberOfSteps(id, &n);
    EXPECT_EQ(n, steps[k]) << id;
    model->GetParameterType(id, &type);
    EXPECT_EQ(type, AAX_eParameterType_Continuous);
    model->GetParameterIsAutomatable(id, &automatable);
    EXPECT_TRUE(automatable);
  }
  for (const char* marker : {"PresetSTART", "PresetSTOP"}) {
    bool automatable = true;
    int32_t n = 0, type = -1;
    model->GetParameterIsAutomatable(marker, &automatable);
    model->GetParameterNumberOfSteps(marker, &n);
    model->GetParameterType(marker, &type);
    EXPECT_FALSE(automatable);
    EXPECT_EQ(n, 2);
    EXPECT_EQ(type, AAX_eParameterType_Discrete);
    EXPECT_EQ(instance_->ParameterValue(marker), 0.0);
  }
  int32_t n = 0;
  model->GetParameterNumberOfSteps("MasterBypassID", &n);
  EXPECT_EQ(n, 2);
}

TEST_F(AaxParameters, DisplayTextsComeFromTheParameterSet) {
  EXPECT_EQ(Text("0: Process", 1.0), "Valve");
  EXPECT_EQ(Text("0: Process", 0.25), "Clear");
  EXPECT_EQ(Text("2: Ratio", 0.0), "1.2:1");
  EXPECT_EQ(Text("3: AttackRatio", 1.0), "x4");
  EXPECT_EQ(Text("6: Output", 0.15), "4.50");
  EXPECT_EQ(Text("7: ValveLevel", 0.0), "-3");
  // The meter slot is not a host parameter, but its text is answered, with the unit.
  EXPECT_EQ(Text("13: Gain Reduction", 0.5), "-6.02 dB ");
  EXPECT_EQ(Text("13: Gain Reduction", 0.00005), "-oo dB ");
  // Markers and unnamed slots have no text.
  EXPECT_EQ(Text("PresetSTART", 0.5), "");
  EXPECT_EQ(Text("1:  ", 0.5), "");
  // Cut to the host's maximum length.
  EXPECT_EQ(Text("0: Process", 1.0, 3), "Val");
  EXPECT_EQ(Text("13: Gain Reduction", 0.5, 6), "-6.02 ");

  std::string text = "unchanged";
  EXPECT_EQ(instance_->ValueString("MasterBypassID", 1.0, &text), AAX_ERROR_INVALID_PARAMETER_ID);
  EXPECT_EQ(instance_->ValueString("1: ", 0.5, &text), AAX_ERROR_INVALID_PARAMETER_ID);  // IDs compare whole
  EXPECT_EQ(instance_->ValueString("Ratio", 0.5, &text), AAX_ERROR_INVALID_PARAMETER_ID);
}

TEST_F(AaxParameters, UnknownIDsAreRefused) {
  AAX_IEffectParameters* model = instance_->dataModel();
  double v = 0.0;
  EXPECT_EQ(model->GetParameterNormalizedValue("5: Compressio", &v), AAX_ERROR_INVALID_PARAMETER_ID);
  EXPECT_EQ(model->UpdateParameterNormalizedValue("13: Gain Reduction", 0.5, 0), AAX_ERROR_INVALID_PARAMETER_ID);
  EXPECT_EQ(model->UpdateParameterNormalizedValue("1:  ", 0.5, 0), AAX_ERROR_INVALID_PARAMETER_ID);
  EXPECT_EQ(instance_->SetParameter("", 0.5), AAX_ERROR_INVALID_PARAMETER_ID);
  char id[40];
  EXPECT_EQ(model->GetParameterIDFromIndex(static_cast<int32_t>(kHostParameterIDs.size()), id, sizeof id),
            AAX_ERROR_INVALID_PARAMETER_INDEX);
}

TEST_F(AaxParameters, PortsCarryTheValuesTheRenderSideReads) {
  double preset[12] = {};
  GetFactoryPreset(0, preset, nullptr, nullptr);
  for (const auto& [id, slot] : kControls) {
    EXPECT_FLOAT_EQ(instance_->PortFloat(static_cast<AAX_CFieldIndex>(slot + 1)), static_cast<float>(preset[slot])) << id;
  }
  EXPECT_EQ(instance_->PortInt(0), 0);
  instance_->ClearLogs();
  EXPECT_EQ(instance_->SetParameter("MasterBypassID", 1.0), AAX_SUCCESS);
  EXPECT_EQ(instance_->PortInt(0), 1);  // a boolean travels as an integer
  EXPECT_EQ(instance_->SetParameter("5: Compression", 0.8), AAX_SUCCESS);
  EXPECT_FLOAT_EQ(instance_->PortFloat(6), 0.8f);
  // Only changed parameters are sent, each once.
  ASSERT_EQ(instance_->packets().size(), 2u);
  EXPECT_EQ(instance_->packets()[0].port, 0);
  EXPECT_EQ(instance_->packets()[1].port, 6);
  // Values are kept within 0..1.
  instance_->SetParameter("6: Output", 7.0);
  EXPECT_EQ(instance_->ParameterValue("6: Output"), 1.0);
}

TEST_F(AaxParameters, OnlyTouchedUpdatesReachThePresetModel) {
  // What reaches the plug-in's model shows in the current record saved in the 'All ' chunk.
  aaxhost::Instance::Chunk before, after;
  ASSERT_EQ(instance_->SaveChunk(AAX_FourCC("All "), &before), AAX_SUCCESS);

  // An untouched update (automation read) and a chunk update change the host parameter and the audio
  // side only.
  instance_->SetParameter("2: Ratio", 1.0);
  instance_->Touch("2: Ratio");
  instance_->SetParameter("2: Ratio", 0.0, AAX_eUpdateSource_Chunk);
  instance_->Release("2: Ratio");
  EXPECT_EQ(instance_->ParameterValue("2: Ratio"), 0.0);
  EXPECT_FLOAT_EQ(instance_->PortFloat(3), 0.0f);
  ASSERT_EQ(instance_->SaveChunk(AAX_FourCC("All "), &after), AAX_SUCCESS);
  EXPECT_EQ(before.data, after.data);

  // A touched update (the user moves a fader of the host) does.
  instance_->Touch("2: Ratio");
  instance_->SetParameter("2: Ratio", 1.0);
  instance_->Release("2: Ratio");
  ASSERT_EQ(instance_->SaveChunk(AAX_FourCC("All "), &after), AAX_SUCCESS);
  EXPECT_NE(before.data, after.data);
  // The plug-in answered with its own set request for the same value, acknowledged by the host.
  bool answered = false;
  for (const auto& r : instance_->setRequests()) answered |= r.id == "2: Ratio" && r.value == 1.0;
  EXPECT_TRUE(answered);
  EXPECT_EQ(instance_->PumpUpdates(), 0);
}

}  // namespace
}  // namespace qrv::aaxtest

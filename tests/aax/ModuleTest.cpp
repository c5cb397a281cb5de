// The module as a host sees it: exports, start-up and shut-down, the object count, and what the
// registration describes.
#include <set>

#include "dsp/warmGlowEffect.h"
#include "tests/aax/AaxTestSupport.h"
#include "tests/support/ExportedSymbols.h"

namespace qrv::aaxtest {
namespace {

using aaxhost::FieldKind;

TEST(AaxModule, ExportsExactlyTheNineEntryPoints) {
  auto host = LoadBundleHost();
  ASSERT_NE(host, nullptr);
  const std::set<std::string> expected = {"ACFStartup",      "ACFRegisterPlugin", "ACFRegisterComponent",
                                          "ACFGetClassFactory", "ACFCanUnloadNow", "ACFShutdown",
                                          "ACFGetSDKVersion", "InitDll",          "ExitDll"};
  EXPECT_EQ(test::ExportedSymbols(host->module().binary()), expected);
#ifdef _WIN32
  EXPECT_EQ(host->module().binary().parent_path().filename(), "x64");
  EXPECT_EQ(host->module().binary().filename(), "QRV warmGlow.aaxplugin");
#else
  EXPECT_EQ(host->module().binary().parent_path().filename(), "x86_64-linux");
#endif
  EXPECT_EQ(host->module().bundle().filename(), "QRV warmGlow.aaxplugin");
}

TEST(AaxModule, SimpleEntryPointsAnswerAsAHostExpects) {
  auto host = LoadBundleHost();
  ASSERT_NE(host, nullptr);
  uint64_t version = 0;
  EXPECT_EQ(host->SDKVersion(&version), AAX_SUCCESS);
  EXPECT_EQ(version, 0x0000020801345981ull);
  AAX_IACFUnknown* component = reinterpret_cast<AAX_IACFUnknown*>(&version);
  EXPECT_EQ(host->RegisterComponent(&component), AAX_SUCCESS);
  EXPECT_EQ(component, nullptr);
  void* factory = &version;
  EXPECT_EQ(host->GetClassFactory(&factory), AAX_ERROR_UNIMPLEMENTED);
  EXPECT_EQ(factory, nullptr);
}

TEST(AaxModule, StartupKeepsTheFirstProxyAndDropsItWithoutAHost) {
  auto host = LoadBundleHost();
  ASSERT_NE(host, nullptr);
  EXPECT_EQ(host->CanUnloadNow(), 0);
  EXPECT_EQ(host->Startup(), AAX_SUCCESS);
  EXPECT_EQ(host->CanUnloadNow(), 1);  // the host-services proxy
  EXPECT_EQ(host->Startup(), AAX_SUCCESS);
  EXPECT_EQ(host->CanUnloadNow(), 1);
  EXPECT_EQ(host->Startup(false), AAX_SUCCESS);
  EXPECT_EQ(host->CanUnloadNow(), 0);

  // Without a proxy, diagnostics of a failing registration go nowhere.
  host->faults().noEffectDescriptor = true;
  EXPECT_EQ(host->Register(), AAX_ERROR_NULL_OBJECT);
  EXPECT_TRUE(host->diagnostics().traces().empty());
  EXPECT_TRUE(host->diagnostics().assertions().empty());
  EXPECT_EQ(host->Shutdown(), AAX_SUCCESS);
}

TEST(AaxModule, LiveObjectsCountInstancesAndDescriptorProxies) {
  auto host = LoadBundleHost();
  ASSERT_NE(host, nullptr);
  ASSERT_EQ(host->Startup(), AAX_SUCCESS);
  ASSERT_EQ(host->Register(), AAX_SUCCESS);
  // Seen from inside the registration: proxy, collection, effect and component descriptors.
  EXPECT_GT(host->description().liveObjectsDuringAddEffect, 1);
  EXPECT_EQ(host->CanUnloadNow(), 1);
  {
    auto mono = host->CreateInstance(0, 48000.0f);
    auto stereo = host->CreateInstance(1, 48000.0f);
    ASSERT_NE(mono, nullptr);
    ASSERT_NE(stereo, nullptr);
#ifdef _WIN32
    EXPECT_GT(host->CanUnloadNow(), 1 + 2 * 2);  // two objects per instance (no GUI), plus their proxies
#else
    EXPECT_GT(host->CanUnloadNow(), 1 + 2 * 3);  // three objects per instance, plus their proxies
#endif
    mono.reset();
    EXPECT_GT(host->CanUnloadNow(), 1);
  }
  EXPECT_EQ(host->CanUnloadNow(), 1);
  EXPECT_EQ(host->Shutdown(), AAX_SUCCESS);
  EXPECT_EQ(host->CanUnloadNow(), 0);
}

TEST(AaxModule, InitDllAndExitDllCountToolkitUsers) {
  auto host = LoadBundleHost();
  ASSERT_NE(host, nullptr);
  EXPECT_TRUE(host->InitDll());
  EXPECT_TRUE(host->InitDll());
  EXPECT_TRUE(host->ExitDll());   // still one user
  EXPECT_TRUE(host->ExitDll());   // 1 -> 0
  EXPECT_FALSE(host->ExitDll());  // unbalanced
  // An unbalanced call does not leave the count below zero: the next user brings the layer up again.
  EXPECT_TRUE(host->InitDll());
  EXPECT_TRUE(host->ExitDll());
  EXPECT_FALSE(host->ExitDll());
}

TEST(AaxModule, RegistrationDescribesTheEffect) {
  auto loaded = LoadBundleHost();
  ASSERT_NE(loaded, nullptr);
  RegisteredHost host(std::move(loaded));
  const aaxhost::Description& d = host->description();
  EXPECT_EQ(d.result, AAX_SUCCESS);
  EXPECT_TRUE(d.definitionReturned);
  EXPECT_EQ(d.manufacturer, "Quarrytone");
  EXPECT_EQ(d.packageNames,
            (std::vector<std::string>{"QRV warmGlow - opto compressor", "QRV warmGlow", "QRV warmGlow"}));
  EXPECT_EQ(d.packageVersion, 2300u);
  EXPECT_TRUE(host->diagnostics().assertions().empty());
  ASSERT_EQ(d.effects.size(), 1u);

  const aaxhost::EffectRecord& e = d.effects[0];
  EXPECT_EQ(e.effectID.rfind("com.", 0), 0u);
  EXPECT_NE(e.effectID.find(".aax."), std::string::npos);
  EXPECT_EQ(e.names, std::vector<std::string>{"QRV warmGlow"});
  EXPECT_EQ(e.categories, std::vector<uint32_t>{2});
#ifdef _WIN32
  // No GUI object on Windows: hosts show their generic controls.
  ASSERT_EQ(e.procs.size(), 2u);
  EXPECT_EQ(e.procs[0].first, 0);
  EXPECT_EQ(e.procs[1].first, 5);
#else
  ASSERT_EQ(e.procs.size(), 3u);
  EXPECT_EQ(e.procs[0].first, 0);
  EXPECT_EQ(e.procs[1].first, 5);
  EXPECT_EQ(e.procs[2].first, 1);
#endif
  ASSERT_EQ(e.resources.size(), 1u);
  EXPECT_EQ(e.resources[0], (std::pair<int32_t, std::string>{1, "QRVwarmGlowPageTables.xml"}));

  // Meters: three named ones, then 64 custom meters without decay.
  ASSERT_EQ(e.meters.size(), 67u);
  EXPECT_EQ(aaxhost::FourCCText(e.meters[0].id), "mtrI");
  EXPECT_EQ(e.meters[0].name, "Input");
  EXPECT_EQ(e.meters[0].properties.Get(200, -1), 0);
  EXPECT_EQ(e.meters[1].name, "Output");
  EXPECT_EQ(e.meters[1].properties.Get(200, -1), 1);
  EXPECT_EQ(aaxhost::FourCCText(e.meters[2].id), "mtGR");
  EXPECT_EQ(e.meters[2].properties.Get(200, -1), 2);
  EXPECT_FALSE(e.meters[2].properties.Has(202));
  EXPECT_EQ(aaxhost::FourCCText(e.meters[3].id), "mtcA");
  EXPECT_EQ(aaxhost::FourCCText(e.meters[24].id), "mtcQ");
  EXPECT_EQ(aaxhost::FourCCText(e.meters[66].id), "mrtF");
  for (std::size_t k = 3; k < 67; ++k) {
    EXPECT_EQ(e.meters[k].name, "Custom");
    EXPECT_EQ(e.meters[k].properties.Get(200, -1), 5);
    EXPECT_EQ(e.meters[k].properties.Get(201, -1), 0);
    EXPECT_EQ(e.meters[k].properties.Get(202, -1), 1);
  }

  ASSERT_EQ(e.components.size(), 2u);
  const int32_t stems[2] = {1, 0x00010002};
  const char* native[2] = {"VWGm", "VWGs"};
  for (int k = 0; k < 2; ++k) {
    const aaxhost::ComponentRecord& c = e.components[static_cast<std::size_t>(k)];
    SCOPED_TRACE(native[k]);
    std::vector<int32_t> order;
    for (const auto& [id, v] : c.properties.properties) order.push_back(id);
    EXPECT_EQ(order, (std::vector<int32_t>{11, 12, 60, 51, 52, 13, 14}));
    EXPECT_EQ(aaxhost::FourCCText(static_cast<uint32_t>(c.properties.Get(11))), "QRVa");
    EXPECT_EQ(aaxhost::FourCCText(static_cast<uint32_t>(c.properties.Get(12))), "QVWG");
    EXPECT_EQ(c.properties.Get(60), 1);
    EXPECT_EQ(c.properties.Get(51), stems[k]);
    EXPECT_EQ(c.properties.Get(52), stems[k]);
    EXPECT_EQ(aaxhost::FourCCText(static_cast<uint32_t>(c.properties.Get(13))), native[k]);
    EXPECT_EQ(aaxhost::FourCCText(static_cast<uint32_t>(c.properties.Get(14))), "VWGa");
    EXPECT_NE(c.render, nullptr);
    EXPECT_FALSE(c.hasInstanceInit);
    EXPECT_FALSE(c.hasBackground);
    EXPECT_EQ(c.Channels(), k + 1);

    EXPECT_EQ(c.Field(13)->kind, FieldKind::AudioIn);
    EXPECT_EQ(c.Field(14)->kind, FieldKind::AudioOut);
    EXPECT_EQ(c.Field(15)->kind, FieldKind::BufferLength);
    EXPECT_EQ(c.Field(16)->kind, FieldKind::SampleRate);
    ASSERT_EQ(c.Field(17)->kind, FieldKind::Meters);
    ASSERT_EQ(c.Field(17)->meterIDs.size(), 67u);
    for (std::size_t m = 0; m < 67; ++m) EXPECT_EQ(c.Field(17)->meterIDs[m], e.meters[m].id);
    EXPECT_EQ(c.Field(18)->kind, FieldKind::MIDINode);
    EXPECT_EQ(c.Field(18)->name, "QRV warmGlow");
    EXPECT_EQ(c.Field(18)->channelMask, 0xFFFFu);
    EXPECT_EQ(c.Field(19), nullptr);
    EXPECT_EQ(c.Field(20)->name, "Transport");
    EXPECT_EQ(c.Field(20)->type, AAX_eMIDINodeType_Transport);
    for (AAX_CFieldIndex port : {0, 1, 5, 12, 26, 27}) {
      ASSERT_EQ(c.Field(port)->kind, FieldKind::DataInPort) << port;
      EXPECT_EQ(c.Field(port)->size, 4u);
      EXPECT_EQ(c.Field(port)->type, AAX_eDataInPortType_Unbuffered);
    }
    const std::pair<AAX_CFieldIndex, uint32_t> privateSizes[] = {
        {21, 1280}, {22, 4}, {23, 4}, {24, static_cast<uint32_t>(sizeof(warmGlowEffect))}, {25, 2064}};
    for (const auto& [field, size] : privateSizes) {
      ASSERT_EQ(c.Field(field)->kind, FieldKind::PrivateData) << field;
      EXPECT_EQ(c.Field(field)->size, size) << field;
    }
    EXPECT_EQ(c.fields.size(), 4u + 1u + 2u + 15u + 5u);
  }
  EXPECT_NE(e.components[0].render, e.components[1].render);

  // The page table ships in the bundle and maps the bypass and the seven controls.
  EXPECT_EQ(d.pageTableFile, "QRVwarmGlowPageTables.xml");
  EXPECT_EQ(d.pageTableParameters, std::vector<std::string>(kHostParameterIDs.begin(), kHostParameterIDs.begin() + 8));
}

TEST(AaxModule, MissingEffectDescriptorStillNamesThePackage) {
  auto loaded = LoadBundleHost();
  ASSERT_NE(loaded, nullptr);
  aaxhost::Host& host = *loaded;
  ASSERT_EQ(host.Startup(), AAX_SUCCESS);
  host.faults().noEffectDescriptor = true;
  EXPECT_EQ(host.Register(), AAX_ERROR_NULL_OBJECT);
  const aaxhost::Description& d = host.description();
  EXPECT_TRUE(d.effects.empty());
  EXPECT_EQ(d.manufacturer, "Quarrytone");
  EXPECT_EQ(d.packageNames.size(), 3u);
  EXPECT_EQ(d.packageVersion, 2300u);
  EXPECT_FALSE(d.definitionReturned);

  const auto assertions = host.diagnostics().assertions();
  ASSERT_EQ(assertions.size(), 1u);
  EXPECT_EQ(assertions[0].text, "result == AAX_SUCCESS");
  EXPECT_FALSE(assertions[0].file.empty());
  const auto traces = host.diagnostics().traces();
  ASSERT_EQ(traces.size(), 2u);
  EXPECT_EQ(traces[0], (std::pair<int32_t, std::string>{0x04000000, "AAX_CheckedResult - throwing AAX_ERROR_NULL_OBJECT"}));
  EXPECT_EQ(traces[1],
            (std::pair<int32_t, std::string>{0x08000000, "AAXRegisterPlugin exception caught: AAX_ERROR_NULL_OBJECT"}));
  EXPECT_EQ(host.Shutdown(), AAX_SUCCESS);
  EXPECT_EQ(host.CanUnloadNow(), 0);
}

TEST(AaxModule, MissingPropertyMapsAreReportedAndEndTheDescription) {
  auto loaded = LoadBundleHost();
  ASSERT_NE(loaded, nullptr);
  aaxhost::Host& host = *loaded;
  ASSERT_EQ(host.Startup(), AAX_SUCCESS);
  host.faults().noPropertyMap = true;
  EXPECT_EQ(host.Register(), AAX_ERROR_NULL_OBJECT);
  int properties = 0;
  for (const auto& a : host.diagnostics().assertions()) properties += a.text == "properties";
  EXPECT_EQ(properties, 2);  // one per component, and the description goes on to the meters
  EXPECT_TRUE(host.description().effects.empty());
  EXPECT_EQ(host.Shutdown(), AAX_SUCCESS);
}

TEST(AaxModule, MissingPlugInDefinitionFailsRegistration) {
  auto loaded = LoadBundleHost();
  ASSERT_NE(loaded, nullptr);
  aaxhost::Host& host = *loaded;
  ASSERT_EQ(host.Startup(), AAX_SUCCESS);
  host.faults().noDefinition = true;
  EXPECT_EQ(host.Register(), AAX_ERROR_NULL_OBJECT);
  EXPECT_EQ(host.description().effects.size(), 1u);  // the effect was added before
  EXPECT_EQ(host.Shutdown(), AAX_SUCCESS);
}

}  // namespace
}  // namespace qrv::aaxtest

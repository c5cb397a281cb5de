// Writes the bundle's Contents/Resources/moduleinfo.json, from which hosts list the classes without
// loading the module: the same facts the factory gives, from the same constants.
#include <cstdio>
#include <string>

#include "format/vst3/Vst3Abi.h"
#include "format/vst3/Vst3Ids.h"
#include "platform/ProductVersion.h"

namespace {

using namespace qrv::vst3;

void Class(std::FILE* out, const abi::Uid& uid, const char* name, bool last) {
  std::fprintf(out,
               "    {\n"
               "      \"CID\": \"%s\",\n"
               "      \"Category\": \"%s\",\n"
               "      \"Name\": \"%s\",\n"
               "      \"Vendor\": \"%s\",\n"
               "      \"Version\": \"%s\",\n"
               "      \"SDKVersion\": \"%s\",\n"
               "      \"Sub Categories\": [\"Fx\", \"Dynamics\"],\n"
               "      \"Class Flags\": 0,\n"
               "      \"Cardinality\": 2147483647,\n"
               "      \"Snapshots\": []\n"
               "    }%s\n",
               UidHex(uid).c_str(), abi::kVstAudioEffectClass, name, kVendor, QRV_VERSION, abi::kVstVersionString,
               last ? "" : ",");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT\n", argv[0]);
    return 2;
  }
  std::FILE* out = std::fopen(argv[1], "w");
  if (out == nullptr) return 1;
  std::fprintf(out,
               "{\n"
               "  \"Name\": \"%s\",\n"
               "  \"Version\": \"%s\",\n"
               "  \"Factory Info\": {\n"
               "    \"Vendor\": \"%s\",\n"
               "    \"URL\": \"%s\",\n"
               "    \"E-Mail\": \"%s\",\n"
               "    \"Flags\": {\"Unicode\": true, \"Classes Discardable\": false, \"Component Non Discardable\": false}\n"
               "  },\n"
               "  \"Compatibility\": [],\n"
               "  \"Classes\": [\n",
               QRV_PRODUCT_NAME, QRV_VERSION, kVendor, kUrl, kEmail);
  Class(out, kClassIdMono, kNameMono, false);
  Class(out, kClassIdStereo, kNameStereo, true);
  std::fprintf(out, "  ]\n}\n");
  return std::fclose(out) == 0 ? 0 : 1;
}

// The per-user settings store: the Windows registry under HKEY_CURRENT_USER on Windows, a stand-in for it
// on Linux (a ".reg" file). Keys hold named values of three types. Main (GUI) thread and the host's state
// thread; a FileRegistry may be used from several processes at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/AtomicFile.h"

namespace qrv::platform {

enum class RegistryType : uint8_t { Binary, String, Number };

struct RegistryValue {
  RegistryType type = RegistryType::Binary;
  std::vector<uint8_t> bytes;  // Binary
  std::string text;            // String, UTF-8 (a wide string on Windows)
  uint32_t number = 0;         // Number (a DWORD)

  static RegistryValue Binary(std::vector<uint8_t> b);
  static RegistryValue String(std::string s);
  static RegistryValue Number(uint32_t n);
  bool operator==(const RegistryValue&) const = default;
};

// Keys are paths below the current user's root, e.g. "SOFTWARE\\Quarry-tone\\QRVWG1".
class Registry {
 public:
  virtual ~Registry() = default;
  // Not set (missing key, missing value, unreadable store) gives nullopt.
  virtual std::optional<RegistryValue> Read(std::string_view key, std::string_view name) = 0;
  // Creates the key when needed. False when nothing was stored; the previous value then stays.
  virtual bool Write(std::string_view key, std::string_view name, const RegistryValue& value) = 0;
  // False when the value did not exist or could not be removed.
  virtual bool Remove(std::string_view key, std::string_view name) = 0;
  // Why the last Write or Remove stored nothing, in words for the user; "" when it succeeded, when
  // there was nothing to change, or for a store that cannot tell.
  virtual std::string LastFailure() const { return {}; }
};

// Keys (case-sensitive paths) to their values, in name order.
using RegistryDocument = std::map<std::string, std::map<std::string, RegistryValue>, std::less<>>;

// The ".reg" export text of a document, ending with a trailer line so that a cut file is recognised.
std::string FormatRegFile(const RegistryDocument& doc);
// Parses text written by FormatRegFile (and hand edits in the same format). nullopt for any error,
// a missing header or a missing trailer.
std::optional<RegistryDocument> ParseRegFile(std::string_view text);

// Keeps everything in memory; for tests.
class MemoryRegistry final : public Registry {
 public:
  std::optional<RegistryValue> Read(std::string_view key, std::string_view name) override;
  bool Write(std::string_view key, std::string_view name, const RegistryValue& value) override;
  bool Remove(std::string_view key, std::string_view name) override;
  RegistryDocument& document() { return doc_; }

 private:
  RegistryDocument doc_;
};

#ifdef _WIN32
// The current user's registry (HKEY_CURRENT_USER) through the registry API. Key and value names and
// string values are handed to Windows as UTF-16 and read back as UTF-8. The types map one to one:
// Binary is REG_BINARY, String REG_SZ, Number REG_DWORD; a value of any other registry type, or a DWORD
// or string of an impossible size, reads as not set. Keys are created when a value is written. Any
// thread; the registry itself orders writers of other processes.
class WindowsRegistry final : public Registry {
 public:
  std::optional<RegistryValue> Read(std::string_view key, std::string_view name) override;
  bool Write(std::string_view key, std::string_view name, const RegistryValue& value) override;
  bool Remove(std::string_view key, std::string_view name) override;
  std::string LastFailure() const override { return lastFailure_; }

 private:
  std::string lastFailure_;
};
#else
// One ".reg" text file. Every change is a read-modify-write under an exclusive flock on a sibling
// ".lock" file, replacing the file atomically (temporary file, fsync, rename), so concurrent writers in
// other processes keep each other's values and a crash leaves the old or the new file, never a mix.
// An unreadable file reads as empty; the next change moves it aside to an unused name of its own
// (".corrupt-" with the local time and, when that is taken, a counter), never over another file; when no
// such name can be had the file stays where it is and the change is not stored. Anything but a regular
// file where the file belongs (a FIFO, a folder) reads as empty and is left alone: no change is stored
// then, and no read or write waits on it.
class FileRegistry final : public Registry {
 public:
  // An empty path resolves DefaultRegistryFile() on every call, so the environment can move it.
  explicit FileRegistry(std::filesystem::path file = {});
  std::optional<RegistryValue> Read(std::string_view key, std::string_view name) override;
  bool Write(std::string_view key, std::string_view name, const RegistryValue& value) override;
  bool Remove(std::string_view key, std::string_view name) override;
  std::string LastFailure() const override { return lastFailure_; }

 private:
  std::filesystem::path File() const;
  template <typename Change>
  bool Modify(Change&& change);
  bool Fail(const std::filesystem::path& file, const std::string& why);
  std::filesystem::path file_;
  std::string lastFailure_;
};

// Moves an unreadable settings file aside to "<file>.corrupt-YYYYMMDD-HHMMSS" (local time), or that
// name with "-2", "-3", ... when it is taken; never replaces an existing file. The new path, or "" when
// no name could be had.
std::filesystem::path KeepCorruptFileAside(const std::filesystem::path& file);

// "settings.reg" in ConfigFolder() (platform/Environment.h); empty when there is no such folder, and a
// FileRegistry of the default file then reads nothing and stores nothing.
std::filesystem::path DefaultRegistryFile();

// The names of a FileRegistry's temporary files beside `file`. The clean-up after a writer that died
// removes files of this pattern and no others.
TempFileName RegistryTempFileName(const std::filesystem::path& file);

#endif

}  // namespace qrv::platform

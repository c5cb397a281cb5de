#include "tests/platform/WindowsTestSupport.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <map>
#include <sstream>

#include "tests/support/Environment.h"

namespace qrv::test {
namespace {

std::map<std::string, std::function<void(const std::string&)>>& Roles() {
  static std::map<std::string, std::function<void(const std::string&)>> roles;
  return roles;
}

// Takes the role the parent asked for, before any test runs, and ends the process.
class RoleEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    const auto role = GetEnv("QRV_TEST_ROLE");
    if (!role) return;
    const auto it = Roles().find(*role);
    if (it == Roles().end()) ::ExitProcess(90);
    it->second(GetEnv("QRV_TEST_ROLE_ARGUMENT").value_or(""));
    ::ExitProcess(0);
  }
};
const auto* const g_roles = ::testing::AddGlobalTestEnvironment(new RoleEnvironment);

std::string Quote(const std::string& s) { return "\"" + s + "\""; }

}  // namespace

ProgramResult RunProgram(const std::string& commandLine) {
  ProgramResult result;
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!::CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return result;
  ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
  si.hStdOutput = writeEnd;
  si.hStdError = writeEnd;
  PROCESS_INFORMATION pi{};
  std::wstring line = Wide(commandLine);
  const BOOL ok = ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                                   &si, &pi);
  ::CloseHandle(writeEnd);
  if (!ok) {
    ::CloseHandle(readEnd);
    return result;
  }
  result.started = true;
  char buf[4096];
  DWORD got = 0;
  while (::ReadFile(readEnd, buf, sizeof buf, &got, nullptr) && got > 0) result.output.append(buf, got);
  ::CloseHandle(readEnd);
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(pi.hProcess, &code);
  result.exitCode = code;
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return result;
}

std::optional<RegEntry> RegQuery(const std::string& key, const std::string& name, std::string* output) {
  const ProgramResult r = RunProgram("reg.exe query " + Quote("HKCU\\" + key) + " /v " + Quote(name));
  if (output != nullptr)
    *output = "reg " + std::string(r.started ? "ran" : "did not start") + ", exit code " + std::to_string(r.exitCode) +
              ":\n" + r.output;
  if (!r.started || r.exitCode != 0) return std::nullopt;
  // A value line: four spaces, the name, four spaces, the type, four spaces, the data.
  std::istringstream lines(r.output);
  std::string line;
  const std::string lead = "    " + name + "    ";
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.starts_with(lead)) continue;
    const std::string rest = line.substr(lead.size());
    const std::size_t gap = rest.find("    ");
    RegEntry v;
    v.type = rest.substr(0, gap);
    v.data = gap == std::string::npos ? std::string() : rest.substr(gap + 4);
    return v;
  }
  return std::nullopt;
}

bool RegAdd(const std::string& key, const std::string& name, const std::string& type, const std::string& data) {
  const ProgramResult r = RunProgram("reg.exe add " + Quote("HKCU\\" + key) + " /v " + Quote(name) + " /t " + type +
                                     " /d " + Quote(data) + " /f");
  return r.started && r.exitCode == 0;
}

bool RemoveRegKey(const std::string& key) {
  const ProgramResult r = RunProgram("reg.exe delete " + Quote("HKCU\\" + key) + " /f");
  return r.started && r.exitCode == 0;
}

bool RegisterRole(const std::string& name, std::function<void(const std::string& argument)> fn) {
  Roles()[name] = std::move(fn);
  return true;
}

RoleProcess::RoleProcess(const std::string& role, const std::string& argument) {
  static std::atomic<int> counter{0};
  const std::wstring eventName = L"Local\\qrv-test-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                 std::to_wstring(counter.fetch_add(1));
  event_ = ::CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
  if (event_ == nullptr) return;
  wchar_t self[MAX_PATH * 4] = {};
  if (::GetModuleFileNameW(nullptr, self, MAX_PATH * 4) == 0) return;
  // The child inherits this environment: the role's variables are set only around its start.
  ::SetEnvironmentVariableW(L"QRV_TEST_ROLE", Wide(role).c_str());
  ::SetEnvironmentVariableW(L"QRV_TEST_ROLE_ARGUMENT", Wide(argument).c_str());
  ::SetEnvironmentVariableW(L"QRV_TEST_ROLE_EVENT", eventName.c_str());
  // Every test is listed, but the role is taken in the environment set-up, before the first one runs.
  std::wstring line = L"\"" + std::wstring(self) + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  if (::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    ::CloseHandle(pi.hThread);
    process_ = pi.hProcess;
  }
  ::SetEnvironmentVariableW(L"QRV_TEST_ROLE", nullptr);
  ::SetEnvironmentVariableW(L"QRV_TEST_ROLE_ARGUMENT", nullptr);
  ::SetEnvironmentVariableW(L"QRV_TEST_ROLE_EVENT", nullptr);
}

RoleProcess::~RoleProcess() {
  if (process_ != nullptr) {
    if (::WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
      ::TerminateProcess(process_, 99);
      ::WaitForSingleObject(process_, INFINITE);
    }
    ::CloseHandle(process_);
  }
  if (event_ != nullptr) ::CloseHandle(event_);
}

bool RoleProcess::WaitForSignal(unsigned long timeoutMs) {
  if (process_ == nullptr || event_ == nullptr) return false;
  HANDLE both[2] = {event_, process_};
  return ::WaitForMultipleObjects(2, both, FALSE, timeoutMs) == WAIT_OBJECT_0;
}

void RoleProcess::Kill() {
  if (process_ == nullptr) return;
  ::TerminateProcess(process_, 9);
  ::WaitForSingleObject(process_, INFINITE);
}

unsigned long RoleProcess::Wait(unsigned long timeoutMs) {
  if (process_ == nullptr || ::WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return ~0ul;
  DWORD code = 0;
  ::GetExitCodeProcess(process_, &code);
  return code;
}

void SignalParent() {
  const auto name = GetEnv("QRV_TEST_ROLE_EVENT");
  if (!name) return;
  HANDLE e = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, Wide(*name).c_str());
  if (e == nullptr) return;
  ::SetEvent(e);
  ::CloseHandle(e);
}

}  // namespace qrv::test

#include "platform/Registry.h"

#include <cstdio>

namespace qrv::platform {

RegistryValue RegistryValue::Binary(std::vector<uint8_t> b) {
  RegistryValue v;
  v.type = RegistryType::Binary;
  v.bytes = std::move(b);
  return v;
}
RegistryValue RegistryValue::String(std::string s) {
  RegistryValue v;
  v.type = RegistryType::String;
  v.text = std::move(s);
  return v;
}
RegistryValue RegistryValue::Number(uint32_t n) {
  RegistryValue v;
  v.type = RegistryType::Number;
  v.number = n;
  return v;
}

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kRoot = "HKEY_CURRENT_USER\\";
constexpr std::string_view kTrailer = "; end";
constexpr int kBytesPerLine = 25;

void AppendQuoted(std::string& out, std::string_view s) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += '"';
  for (const char ch : s) {
    const auto c = static_cast<unsigned char>(ch);
    if (c == '\\' || c == '"') {
      out += '\\';
      out += ch;
    } else if (c < 0x20 || c == 0x7f) {
      out += "\\x";
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  out += '"';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads a quoted text at s[pos] (which must be '"'); advances pos past the closing quote.
bool ParseQuoted(std::string_view s, std::size_t& pos, std::string& out) {
  if (pos >= s.size() || s[pos] != '"') return false;
  ++pos;
  out.clear();
  while (pos < s.size()) {
    const char c = s[pos++];
    if (c == '"') return true;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (pos >= s.size()) return false;
    const char e = s[pos++];
    if (e == '\\' || e == '"') {
      out += e;
    } else if (e == 'x') {
      if (pos + 2 > s.size()) return false;
      const int hi = HexDigit(s[pos]), lo = HexDigit(s[pos + 1]);
      if (hi < 0 || lo < 0) return false;
      out += static_cast<char>(hi * 16 + lo);
      pos += 2;
    } else {
      return false;
    }
  }
  return false;
}

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

// Parses "hh,hh,...", where a line ending in '\' continues on the next line.
bool ParseHex(std::string_view first, const std::vector<std::string_view>& lines, std::size_t& next,
              std::vector<uint8_t>& out) {
  std::string_view part = TrimRight(first);
  for (;;) {
    const bool continued = !part.empty() && part.back() == '\\';
    if (continued) part.remove_suffix(1);
    part = TrimRight(part);
    while (!part.empty()) {
      if (part.size() < 2) return false;
      const int hi = HexDigit(part[0]), lo = HexDigit(part[1]);
      if (hi < 0 || lo < 0) return false;
      out.push_back(static_cast<uint8_t>(hi * 16 + lo));
      part.remove_prefix(2);
      if (part.empty()) break;
      if (part.front() != ',') return false;
      part.remove_prefix(1);
      // A comma ends only a continued line.
      if (part.empty() && !continued) return false;
    }
    if (!continued) return true;
    if (next >= lines.size()) return false;
    part = TrimRight(TrimLeft(lines[next++]));
  }
}

}  // namespace

std::string FormatRegFile(const RegistryDocument& doc) {
  std::string out(kHeader);
  out += "\n\n";
  for (const auto& [key, values] : doc) {
    out += '[';
    out += kRoot;
    out += key;
    out += "]\n";
    for (const auto& [name, v] : values) {
      AppendQuoted(out, name);
      out += '=';
      switch (v.type) {
        case RegistryType::String:
          AppendQuoted(out, v.text);
          break;
        case RegistryType::Number: {
          char buf[16];
          std::snprintf(buf, sizeof buf, "dword:%08x", v.number);
          out += buf;
          break;
        }
        case RegistryType::Binary:
          out += "hex:";
          for (std::size_t i = 0; i < v.bytes.size(); ++i) {
            char buf[4];
            std::snprintf(buf, sizeof buf, "%02x", v.bytes[i]);
            out += buf;
            if (i + 1 < v.bytes.size()) {
              out += ',';
              if ((i + 1) % kBytesPerLine == 0) out += "\\\n  ";
            }
          }
          break;
      }
      out += '\n';
    }
    out += '\n';
  }
  out += kTrailer;
  out += '\n';
  return out;
}

std::optional<RegistryDocument> ParseRegFile(std::string_view text) {
  if (text.empty() || text.back() != '\n') return std::nullopt;
  std::vector<std::string_view> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find('\n', start);
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  if (lines.empty() || TrimRight(lines[0]) != kHeader) return std::nullopt;

  RegistryDocument doc;
  std::map<std::string, RegistryValue>* current = nullptr;
  bool trailer = false;
  for (std::size_t i = 1; i < lines.size();) {
    const std::string_view line = TrimRight(lines[i++]);
    if (line.empty()) continue;
    if (trailer) return std::nullopt;  // nothing may follow the trailer
    if (line.front() == ';') {
      if (line == kTrailer) trailer = true;
      continue;
    }
    if (line.front() == '[') {
      if (line.back() != ']') return std::nullopt;
      std::string_view path = line.substr(1, line.size() - 2);
      if (!path.starts_with(kRoot)) return std::nullopt;
      path.remove_prefix(kRoot.size());
      if (path.empty()) return std::nullopt;
      current = &doc[std::string(path)];
      continue;
    }
    if (current == nullptr) return std::nullopt;
    std::string name;
    std::size_t pos = 0;
    if (!ParseQuoted(line, pos, name) || pos >= line.size() || line[pos] != '=') return std::nullopt;
    ++pos;
    const std::string_view rest = line.substr(pos);
    RegistryValue v;
    if (rest.starts_with("\"")) {
      std::size_t p = 0;
      std::string s;
      if (!ParseQuoted(rest, p, s) || p != rest.size()) return std::nullopt;
      v = RegistryValue::String(std::move(s));
    } else if (rest.starts_with("dword:")) {
      const std::string_view digits = rest.substr(6);
      if (digits.size() != 8) return std::nullopt;
      uint32_t n = 0;
      for (const char c : digits) {
        const int d = HexDigit(c);
        if (d < 0) return std::nullopt;
        n = n * 16 + static_cast<uint32_t>(d);
      }
      v = RegistryValue::Number(n);
    } else if (rest.starts_with("hex:")) {
      v.type = RegistryType::Binary;
      if (!ParseHex(rest.substr(4), lines, i, v.bytes)) return std::nullopt;
    } else {
      return std::nullopt;
    }
    (*current)[std::move(name)] = std::move(v);
  }
  if (!trailer) return std::nullopt;
  return doc;
}

std::optional<RegistryValue> MemoryRegistry::Read(std::string_view key, std::string_view name) {
  const auto k = doc_.find(key);
  if (k == doc_.end()) return std::nullopt;
  const auto v = k->second.find(std::string(name));
  if (v == k->second.end()) return std::nullopt;
  return v->second;
}

bool MemoryRegistry::Write(std::string_view key, std::string_view name, const RegistryValue& value) {
  doc_[std::string(key)][std::string(name)] = value;
  return true;
}

bool MemoryRegistry::Remove(std::string_view key, std::string_view name) {
  const auto k = doc_.find(key);
  return k != doc_.end() && k->second.erase(std::string(name)) > 0;
}

}  // namespace qrv::platform

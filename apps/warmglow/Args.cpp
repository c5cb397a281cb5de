#include "apps/warmglow/Args.h"

#include <algorithm>

#include "apps/warmglow/Cli.h"

namespace qrv::cli {

const std::string* ParsedArgs::Value(std::string_view name) const {
  const auto it = options_.find(name);
  return it == options_.end() || it->second.empty() ? nullptr : &it->second.back();
}

std::vector<std::string> ParsedArgs::Values(std::string_view name) const {
  const auto it = options_.find(name);
  return it == options_.end() ? std::vector<std::string>{} : it->second;
}

ParsedArgs ParseArgs(std::span<const std::string> args, std::span<const OptionSpec> known, std::string_view command) {
  ParsedArgs parsed;
  bool onlyPositionals = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (onlyPositionals || arg.size() < 2 || arg[0] != '-') {
      parsed.positionals.push_back(arg);
      continue;
    }
    if (arg == "--") {
      onlyPositionals = true;
      continue;
    }
    if (arg == "-h" || arg == "--help") {
      parsed.help = true;
      continue;
    }
    const std::size_t eq = arg.find('=');
    const std::string_view name = std::string_view(arg).substr(0, eq);
    const auto option = std::find_if(known.begin(), known.end(), [&](const OptionSpec& s) { return s.name == name; });
    if (option == known.end()) {
      throw CliError("unknown option '" + std::string(name) + "' for '" + std::string(command) +
                     "' (see 'warmglow " + std::string(command) + " --help')");
    }
    std::string value;
    if (option->metavar.empty()) {
      if (eq != std::string::npos) throw CliError("option " + std::string(name) + " takes no value");
    } else if (eq != std::string::npos) {
      value = arg.substr(eq + 1);
    } else if (i + 1 < args.size()) {
      value = args[++i];
    } else {
      throw CliError("option " + std::string(name) + " needs a value " + std::string(option->metavar));
    }
    auto& values = parsed.options_[std::string(name)];
    if (!values.empty() && !option->repeatable) throw CliError("option " + std::string(name) + " given more than once");
    values.push_back(std::move(value));
  }
  return parsed;
}

std::string FormatOptions(std::span<const OptionSpec> known) {
  std::vector<std::string> heads;
  std::size_t width = std::string_view("-h, --help").size();
  for (const OptionSpec& s : known) {
    std::string head(s.name);
    if (!s.metavar.empty()) head += " " + std::string(s.metavar);
    width = std::max(width, head.size());
    heads.push_back(std::move(head));
  }
  std::string text = "Options:\n";
  auto line = [&](const std::string& head, std::string_view help) {
    text += "  " + head + std::string(width - head.size() + 2, ' ') + std::string(help) + "\n";
  };
  for (std::size_t i = 0; i < known.size(); ++i) line(heads[i], known[i].help);
  line("-h, --help", "show this help");
  return text;
}

}  // namespace qrv::cli

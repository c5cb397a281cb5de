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

std::string WrapText(std::string_view text, std::size_t column, std::size_t firstLine) {
  // Each line holds what fits in kHelpWidth from `column`; a word longer than that stands alone.
  std::string out;
  std::size_t used = firstLine;
  bool lineEmpty = true;
  auto newLine = [&] {
    out += "\n" + std::string(column, ' ');
    used = column;
    lineEmpty = true;
  };
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '\n') {
      newLine();
      ++i;
      continue;
    }
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    const std::size_t end = std::min(text.find_first_of(" \n", i), text.size());
    const std::string_view word = text.substr(i, end - i);
    if (!lineEmpty && used + 1 + word.size() > kHelpWidth) newLine();
    if (!lineEmpty) {
      out += ' ';
      ++used;
    }
    out += word;
    used += word.size();
    lineEmpty = false;
    i = end;
  }
  return out;
}

std::string FormatOptions(std::span<const OptionSpec> known) {
  std::vector<std::string> heads;
  std::size_t width = std::string_view("-h, --help").size();
  for (const OptionSpec& s : known) {
    std::string head(s.name);
    if (!s.metavar.empty()) head += " " + std::string(s.metavar);
    if (head.size() <= kOptionHeadMax) width = std::max(width, head.size());
    heads.push_back(std::move(head));
  }
  // The help column; a longer head stands on a line of its own above its help.
  const std::size_t column = 2 + width + 2;
  std::string text = "Options:\n";
  auto line = [&](const std::string& head, std::string_view help) {
    text += "  " + head;
    if (head.size() > width) text += "\n" + std::string(column, ' ');
    else text += std::string(width - head.size() + 2, ' ');
    text += WrapText(help, column, column) + "\n";
  };
  for (std::size_t i = 0; i < known.size(); ++i) line(heads[i], known[i].help);
  line("-h, --help", "show this help");
  return text;
}

}  // namespace qrv::cli

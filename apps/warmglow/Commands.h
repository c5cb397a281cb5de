// The subcommand table. A command is named by one or more words ("render", later "preset show"), so
// that new commands and command groups are one more row of the table.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "apps/warmglow/Args.h"
#include "apps/warmglow/Cli.h"

namespace qrv::cli {

struct Command {
  std::vector<std::string_view> words;
  std::string_view arguments;  // positional part of the usage line: "IN OUT"
  std::size_t minPositionals = 0;
  std::size_t maxPositionals = 0;
  std::string_view summary;
  std::span<const OptionSpec> options;
  // Extra help after the option list (examples, generated tables); may be null.
  std::string (*details)() = nullptr;
  int (*run)(const ParsedArgs& args, Io& io) = nullptr;
};

// Every command, in the order the main help lists them.
std::span<const Command> AllCommands();

std::string CommandName(const Command& command);
std::string CommandHelp(const Command& command);
std::string MainHelp();

int RunRender(const ParsedArgs& args, Io& io);
int RunPresets(const ParsedArgs& args, Io& io);
int RunGenerate(const ParsedArgs& args, Io& io);
int RunPresetShow(const ParsedArgs& args, Io& io);
int RunArt(const ParsedArgs& args, Io& io);

// Parses a whole number in [lo, hi]; throws CliError naming `what`.
long long ParseInteger(std::string_view text, long long lo, long long hi, std::string_view what);
double ParseNumber(std::string_view text, double lo, double hi, std::string_view what);

}  // namespace qrv::cli

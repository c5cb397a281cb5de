// Options and positional arguments of one subcommand. The option table serves both the parser and
// the generated help, so the two cannot drift apart.
#pragma once

#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace qrv::cli {

struct OptionSpec {
  std::string_view name;     // "--block"
  std::string_view metavar;  // "N"; empty for a flag
  std::string_view help;
  bool repeatable = false;
};

class ParsedArgs {
 public:
  std::vector<std::string> positionals;
  bool help = false;

  bool Has(std::string_view name) const { return options_.find(name) != options_.end(); }
  // The value of a single-valued option, or nullptr when absent.
  const std::string* Value(std::string_view name) const;
  // Every value of a repeatable option, in command-line order.
  std::vector<std::string> Values(std::string_view name) const;

 private:
  friend ParsedArgs ParseArgs(std::span<const std::string>, std::span<const OptionSpec>, std::string_view);
  std::map<std::string, std::vector<std::string>, std::less<>> options_;
};

// Accepts "--name value", "--name=value", flags, "-h"/"--help" and "--" (everything after it is
// positional). Throws CliError for an unknown option, a missing value, a value on a flag or a
// single-valued option given twice. `command` names the subcommand in messages.
ParsedArgs ParseArgs(std::span<const std::string> args, std::span<const OptionSpec> known, std::string_view command);

// Help texts fit a terminal of 80 columns.
inline constexpr std::size_t kHelpWidth = 79;
// An option's name and value wider than this put its help on the next line.
inline constexpr std::size_t kOptionHeadMax = 26;

// text filled into lines of at most kHelpWidth characters, each after the first indented to `column`;
// the first line starts at `firstLine`. A newline in text starts a new line.
std::string WrapText(std::string_view text, std::size_t column, std::size_t firstLine);

// The "Options:" block of a help text, one option per entry with its help aligned and wrapped.
std::string FormatOptions(std::span<const OptionSpec> known);

}  // namespace qrv::cli

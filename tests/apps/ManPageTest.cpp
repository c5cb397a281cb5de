// The man pages built from the commands' --help texts: man renders them at 80 columns without a
// warning, and each holds every option the help texts list. Needs man (man-db); fails without it.
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>

#include "tests/support/RunProcess.h"
#include "tests/support/TempDir.h"

namespace qrv {
namespace {

namespace fs = std::filesystem;

// The options of the help's option lists: each line "  --name ..." or "  -h, --help ...".
std::set<std::string> OptionsOf(const std::string& help) {
  static const std::regex kOption(R"((?:^|[ ,])(--?[a-z][a-z0-9-]*))");
  std::set<std::string> options;
  std::istringstream lines(help);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("  -", 0) != 0) continue;
    // Only the option's own part, before the gap to its help.
    const std::string head = line.substr(0, line.find("  ", 2));
    for (auto it = std::sregex_iterator(head.begin(), head.end(), kOption); it != std::sregex_iterator(); ++it)
      options.insert((*it)[1]);
  }
  return options;
}

// Whether the page names the option as a whole word: "--set" inside "--settings-file" does not count.
bool Names(const std::string& page, const std::string& option) {
  return std::regex_search(page, std::regex("(^|[^a-z0-9-])" + option + "($|[^a-z0-9-])"));
}

// The command names of a help's "Commands:" list.
std::vector<std::string> CommandsOf(const std::string& help) {
  std::vector<std::string> commands;
  std::istringstream lines(help);
  bool inList = false;
  for (std::string line; std::getline(lines, line);) {
    if (line == "Commands:") {
      inList = true;
      continue;
    }
    if (!inList) continue;
    if (line.empty()) break;
    if (line.rfind("  ", 0) == 0 && line[2] != ' ') commands.push_back(line.substr(2, line.find("  ", 2) - 2));
  }
  return commands;
}

class ManPageTest : public ::testing::Test {
 protected:
  test::ProcessResult Render(const std::string& page) {
    return test::RunProcess("/usr/bin/env",
                            {"MANWIDTH=80", "MANPAGER=cat", "LC_ALL=C.UTF-8", "man", "--warnings", "-l",
                             (fs::path(QRV_BUILD_DIR) / "man" / page).string()},
                            scratch_.path());
  }
  test::ProcessResult Help(const std::string& program, const std::vector<std::string>& args) {
    return test::RunProcess(program, args, scratch_.path());
  }
  test::TempDir scratch_;
};

TEST_F(ManPageTest, WarmglowRendersWithoutWarningsAndHoldsEveryOption) {
  const auto page = Render("warmglow.1");
  ASSERT_EQ(page.status, 0) << page.err;
  EXPECT_EQ(page.err, "");
  EXPECT_NE(page.out.find("WARMGLOW(1)"), std::string::npos);
  for (const char* section : {"NAME", "SYNOPSIS", "COMMANDS", "PARAMETERS", "FILES", "ENVIRONMENT", "EXIT STATUS"})
    EXPECT_NE(page.out.find(std::string("\n") + section + "\n"), std::string::npos) << section;

  const auto main = Help(WARMGLOW_BINARY, {"--help"});
  ASSERT_EQ(main.status, 0);
  const auto commands = CommandsOf(main.out);
  ASSERT_GE(commands.size(), 7u) << main.out;
  std::set<std::string> options = OptionsOf(main.out);
  for (const std::string& command : commands) {
    EXPECT_NE(page.out.find("warmglow " + command), std::string::npos) << command;
    std::vector<std::string> args = {"help"};
    std::istringstream words(command);
    for (std::string w; words >> w;) args.push_back(w);
    const auto help = Help(WARMGLOW_BINARY, args);
    ASSERT_EQ(help.status, 0) << command << ": " << help.err;
    const auto own = OptionsOf(help.out);
    options.insert(own.begin(), own.end());
  }
  for (const char* known : {"--preset", "--set", "--out-dir", "--zoom", "--show", "--area", "--seconds", "--help"})
    EXPECT_TRUE(options.count(known)) << known << " not found in the help texts";
  for (const std::string& option : options) EXPECT_TRUE(Names(page.out, option)) << option;
}

TEST_F(ManPageTest, AaxhostRendersWithoutWarningsAndHoldsEveryOption) {
  const auto page = Render("aaxhost.1");
  ASSERT_EQ(page.status, 0) << page.err;
  EXPECT_EQ(page.err, "");
  EXPECT_NE(page.out.find("AAXHOST(1)"), std::string::npos);
  const auto help = Help(AAXHOST_BINARY, {"--help"});
  ASSERT_EQ(help.status, 0);
  const auto options = OptionsOf(help.out);
  for (const char* known : {"--bundle", "--set", "--block", "--zoom", "--log", "--help", "--version"})
    EXPECT_TRUE(options.count(known)) << known;
  for (const std::string& option : options) EXPECT_TRUE(Names(page.out, option)) << option;
  for (const std::string& command : CommandsOf(help.out))
    EXPECT_NE(page.out.find("aaxhost " + command), std::string::npos) << command;
  // The help and the page both say what the exit statuses mean.
  EXPECT_NE(page.out.find("EXIT STATUS"), std::string::npos);
  EXPECT_NE(page.out.find("QRV_AAX_BUNDLE"), std::string::npos);
}

}  // namespace
}  // namespace qrv

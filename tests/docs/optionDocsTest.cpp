// The man page and the README say what the option table says: the views
// as they are called, each long option's form, which options take their
// value after "=" alone, which may be given once, and the page's default
// budget. The man page is a committed file, read as it is by the Debian
// package and by the Windows build's manual; this keeps it in step with the
// table that --help and the bash completion are made from.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/longOptions.h"
#include "cli/options.h"
#include "zolt/html.h"

namespace {

std::string slurp(const std::string& relative) {
  std::ifstream in(std::string(SOURCE_DIR) + "/" + relative, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The text from the line `start` to the line that begins with `end`.
std::string between(const std::string& text, const std::string& start, const std::string& end) {
  const size_t from = text.find(start);
  if (from == std::string::npos) return {};
  const size_t to = text.find("\n" + end, from + start.size());
  return text.substr(from + start.size(), to == std::string::npos ? std::string::npos : to + 1 - from - start.size());
}

std::string troffDashes(const std::string& text) {
  std::string out;
  for (const char c : text) out += c == '-' ? std::string("\\-") : std::string(1, c);
  return out;
}

// An option's form as a man page's tag or synopsis word: "--csv=TABLE",
// "--info[=json]", "--salvage".
std::string troffForm(const std::string& form) {
  if (const size_t open = form.find("[="); open != std::string::npos) {
    return ".BR " + troffDashes(form.substr(0, open)) + " [ =" + form.substr(open + 2, form.size() - open - 3) + " ]";
  }
  if (const size_t equals = form.find('='); equals != std::string::npos) {
    return ".BI " + troffDashes(form.substr(0, equals + 1)) + " " + form.substr(equals + 1);
  }
  return ".B " + troffDashes(form);
}

// "[--from=TIME]" and "[--salvage]" in a synopsis line.
std::string troffOptional(const std::string& form) {
  if (const size_t equals = form.find('='); equals != std::string::npos) {
    return ".RB [ " + troffDashes(form.substr(0, equals + 1)) + "\\c\n.IR " + form.substr(equals + 1) + " ]";
  }
  return ".RB [ " + troffDashes(form) + " ]";
}

// The view lines of --help as the man page's synopsis writes them.
std::string troffSynopsis(const std::string& lines) {
  std::istringstream in(lines);
  std::string out;
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    for (std::string word; words >> word;) {
      if (word == "decode") {
        out += ".B decode\n";
      } else if (word == "FILE...") {
        out += ".IR FILE \" .\\|.\\|.\"\n";
      } else if (word.front() == '[') {
        out += troffOptional(word.substr(1, word.size() - 2)) + "\n";
      } else {
        out += troffForm(word) + "\n";
      }
    }
    out += ".br\n";
  }
  return out;
}

// "--a, --b and --c" as a man page writes a list of options.
std::string troffList(const std::vector<std::string>& names) {
  std::string out;
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string name = troffDashes("--" + names[i]);
    if (i + 2 < names.size()) out += ".BR " + name + " ,\n";
    if (i + 2 == names.size()) out += ".B " + name + "\nand\n";
    if (i + 1 == names.size()) out += ".B " + name + "\n";
  }
  return out;
}

template <typename Keep>
std::vector<std::string> optionNames(Keep keep) {
  std::vector<std::string> names;
  for (const LongOption& option : longOptions()) {
    if (keep(option)) names.emplace_back(option.name);
  }
  return names;
}

const std::string kManPage = slurp("doc/decode.1");

TEST(OptionDocs, TheManPagesSynopsisIsTheViewLines) {
  EXPECT_EQ(between(kManPage, ".SH SYNOPSIS\n", ".B decode\n.BR \\-h").substr(0, troffSynopsis(viewLines()).size()),
            troffSynopsis(viewLines()));
}

TEST(OptionDocs, TheManPageDescribesEveryLongOptionInTheTablesOrder) {
  const std::string options = between(kManPage, ".SH OPTIONS\n", ".SH ");
  std::string tags;
  for (size_t at = options.find(".TP\n"); at != std::string::npos; at = options.find(".TP\n", at + 1)) {
    const std::string tag = options.substr(at + 4, options.find('\n', at + 4) - at - 4);
    if (tag.find("\\-\\-") != std::string::npos) tags += tag + "\n";
  }
  std::string expected;
  for (const LongOption& option : longOptions()) expected += troffForm(optionForm(option)) + "\n";
  EXPECT_EQ(tags, expected);
}

TEST(OptionDocs, TheManPageListsWhatTheTableSaysOfTheOptions) {
  EXPECT_EQ(between(kManPage, "The options that name an output or a table,\n", "take their value"),
            troffList(optionNames([](const LongOption& option) { return option.argument == Argument::kAttached; })));
  EXPECT_EQ(between(kManPage, "\nEach of\n", "may be given once"), troffList(optionNames([](const LongOption& option) {
              return option.id != OptionId::kHelp && option.id != OptionId::kVersion;
            })));
  const std::string budget = std::to_string(zolt::kDefaultHtmlBudget / 1000000);
  EXPECT_NE(kManPage.find("(" + budget + " when not given)"), std::string::npos);
}

TEST(OptionDocs, TheReadmesUsageIsTheViewLines) {
  const std::string readme = slurp("README.md");
  EXPECT_EQ(between(readme, "## Usage\n\n```\n", "```"), viewLines());
  const std::string budget = std::to_string(zolt::kDefaultHtmlBudget / 1000000);
  EXPECT_NE(readme.find("(`--html-budget=MB`, " + budget + " by default"), std::string::npos);
}

}  // namespace

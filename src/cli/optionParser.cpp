#include "cli/optionParser.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

// What getopt says, after the program's name as it was called.
void say(const char* program, const std::string& what) { (void)std::fprintf(stderr, "%s: %s\n", program, what.c_str()); }

}  // namespace

OptionParser::OptionParser(int argc, char** argv, std::string_view letters, std::span<const LongOption> longs)
    : argc_(argc), argv_(argv), letters_(letters), longs_(longs) {}

std::optional<ParsedOption> OptionParser::next() {
  if (grouped_ != nullptr) return letter();
  while (at_ < argc_) {
    char* const word = argv_[at_++];
    if (std::strcmp(word, "--") == 0) {
      while (at_ < argc_) operands_.push_back(argv_[at_++]);
      return std::nullopt;
    }
    if (word[0] != '-' || word[1] == '\0') {
      operands_.push_back(word);
      continue;
    }
    if (word[1] == '-') return longOption(word);
    grouped_ = word + 1;
    return letter();
  }
  return std::nullopt;
}

std::optional<ParsedOption> OptionParser::letter() {
  const char found = *grouped_++;
  if (*grouped_ == '\0') grouped_ = nullptr;
  if (letters_.find(found) != std::string_view::npos) return ParsedOption{static_cast<unsigned char>(found)};
  say(argv_[0], std::string("invalid option -- '") + found + "'");
  return ParsedOption{'?'};
}

std::optional<ParsedOption> OptionParser::longOption(const char* word) {
  const char* const name = word + 2;
  const char* const equals = std::strchr(name, '=');
  const std::string_view typed(name, equals != nullptr ? static_cast<size_t>(equals - name) : std::strlen(name));
  const LongOption* chosen = nullptr;
  std::vector<const LongOption*> prefixed;
  for (const LongOption& option : longs_) {
    if (typed == option.name) {
      chosen = &option;
      break;
    }
    if (std::string_view(option.name).starts_with(typed)) prefixed.push_back(&option);
  }
  if (chosen == nullptr && prefixed.size() == 1) chosen = prefixed.front();
  if (chosen == nullptr && prefixed.size() > 1) {
    std::string what = "option '--" + std::string(typed) + "' is ambiguous; possibilities:";
    for (const LongOption* option : prefixed) what += " '--" + std::string(option->name) + "'";
    say(argv_[0], what);
    return ParsedOption{kWrongLongOption, word};
  }
  if (chosen == nullptr) {
    say(argv_[0], "unrecognized option '" + std::string(word) + "'");
    return ParsedOption{kWrongLongOption, word};
  }
  const int id = static_cast<int>(chosen->id);
  const std::string canonical = "option '--" + std::string(chosen->name) + "'";
  switch (chosen->argument) {
    case Argument::kNone:
      if (equals == nullptr) return ParsedOption{id};
      say(argv_[0], canonical + " doesn't allow an argument");
      return ParsedOption{kWrongLongOption, word};
    case Argument::kOptional:
    case Argument::kAttached: return ParsedOption{id, equals != nullptr ? equals + 1 : nullptr};
    case Argument::kRequired:
      if (equals != nullptr) return ParsedOption{id, equals + 1};
      if (at_ < argc_) return ParsedOption{id, argv_[at_++]};
      say(argv_[0], canonical + " requires an argument");
      return ParsedOption{kWrongLongOption, word};
  }
  return ParsedOption{kWrongLongOption, word};
}

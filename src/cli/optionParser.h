// The command line's words taken apart as GNU getopt_long takes them, on
// every system, with its messages word for word: switch letters grouped or
// not ("-dt"), long options by their name or a prefix of it that names one
// alone ("--inf"), a value after "=" or, when one is required, as the next
// word (but never for an option that takes its value after "=" alone);
// operands wherever they stand, kept in order; "--" ends the options. A
// wrong option is said on standard error ("decode: invalid option --
// 'x'") and handed on: a letter as '?', a long option as kWrongLongOption.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "cli/longOptions.h"

// A long option that names none, names several, or takes its value
// wrongly; its value is the word as typed.
constexpr int kWrongLongOption = -1;

struct ParsedOption {
  int id;  // the letter, a long option's OptionId, '?' or kWrongLongOption
  // After "=" or the next word; none for an option given without one that
  // takes it after "=" alone.
  const char* value = nullptr;
};

class OptionParser {
 public:
  OptionParser(int argc, char** argv, std::string_view letters, std::span<const LongOption> longs);

  // The next option, or nothing once there are none.
  std::optional<ParsedOption> next();
  // The operands in order: all of them once next() has said there are no
  // more options.
  const std::vector<char*>& operands() const { return operands_; }

 private:
  std::optional<ParsedOption> longOption(const char* word);
  std::optional<ParsedOption> letter();

  int argc_;
  char** argv_;
  std::string_view letters_;
  std::span<const LongOption> longs_;
  int at_ = 1;                      // the next word
  const char* grouped_ = nullptr;   // the letters left of "-dtx"
  std::vector<char*> operands_;
};

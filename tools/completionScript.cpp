// Writes the bash completion from its template, with the words that the
// program's option table and the record catalogue give: run when the
// program is built, so that the completion offers what the program takes.
//
//   completionScript <template> <output>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "cli/longOptions.h"
#include "zolt/tables.h"

namespace {

std::string tableWords() {
  std::string words;
  for (const std::string& name : tableNames()) words += (words.empty() ? "" : " ") + name;
  return words;
}

// A case of the completion's switch for each option that takes a value.
std::string valueCases() {
  std::string cases;
  for (const LongOption& option : longOptions()) {
    if (option.argument == Argument::kNone) continue;
    const std::string head = std::string("    --") + option.name + ") ";
    switch (option.completion) {
      case Completion::kTables:
        cases += head + "COMPREPLY=($(compgen -W '" + tableWords() + "' -- \"$value\")); return ;;\n";
        break;
      case Completion::kWaters: cases += head + "COMPREPLY=($(compgen -W 'fresh sea' -- \"$value\")); return ;;\n"; break;
      case Completion::kInfoForms: cases += head + "COMPREPLY=($(compgen -W 'json' -- \"$value\")); return ;;\n"; break;
      case Completion::kFiles:
        cases += head + "compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- \"$value\")); return ;;\n";
        break;
      case Completion::kNothing: cases += head + "COMPREPLY=(); return ;;\n"; break;
    }
  }
  if (!cases.empty()) cases.pop_back();
  return cases;
}

void fillIn(std::string& text, const std::string& mark, const std::string& with) {
  const size_t at = text.find(mark);
  if (at != std::string::npos) text.replace(at, mark.size(), with);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    (void)std::fprintf(stderr, "usage: completionScript <template> <output>\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!in && !in.eof()) return 1;
  fillIn(text, "@VALUE_CASES@", valueCases());
  fillIn(text, "@OPTION_WORDS@", completionWords());
  std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
  out << text;
  return out.good() ? 0 : 1;
}

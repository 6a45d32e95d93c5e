#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

#include "cli/decodeMain.h"
#include "cli/processSetup.h"

int main(int argc, char** argv) {
  std::vector<std::string> words = commandLineWords(argc, argv);
  std::vector<char*> pointers;
  pointers.reserve(words.size() + 1);
  std::transform(words.begin(), words.end(), std::back_inserter(pointers), [](std::string& word) { return word.data(); });
  pointers.push_back(nullptr);
  return decodeMain(static_cast<int>(words.size()), pointers.data());
}

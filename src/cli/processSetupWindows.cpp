// Windows hands main() its words in the ANSI code page, which cannot hold
// every name: they are taken from the wide command line instead and turned
// into UTF-8, which the library opens files by. The standard streams are
// made binary, so that a line ends in "\n" as on every other system.
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "cli/processSetup.h"

namespace {

std::string utf8(const wchar_t* word) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, word, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(length > 0 ? length - 1 : 0), '\0');
  if (length > 1) WideCharToMultiByte(CP_UTF8, 0, word, -1, out.data(), length, nullptr, nullptr);
  return out;
}

}  // namespace

std::vector<std::string> commandLineWords(int argc, char** argv) {
  int count = 0;
  wchar_t** const words = CommandLineToArgvW(GetCommandLineW(), &count);
  if (words == nullptr) return {argv, argv + argc};
  std::vector<std::string> out;
  for (int i = 0; i < count; ++i) out.push_back(utf8(words[i]));
  LocalFree(words);
  // The program's name as a user types it, for the messages that begin
  // with it: "decode", not "C:\tools\decode.exe".
  if (!out.empty()) {
    std::string& name = out.front();
    if (const size_t slash = name.find_last_of("\\/"); slash != std::string::npos) name.erase(0, slash + 1);
    if (name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".exe") == 0) name.resize(name.size() - 4);
  }
  return out;
}

void prepareProcess() {
  (void)_setmode(_fileno(stdin), _O_BINARY);
  (void)_setmode(_fileno(stdout), _O_BINARY);
  (void)_setmode(_fileno(stderr), _O_BINARY);
}

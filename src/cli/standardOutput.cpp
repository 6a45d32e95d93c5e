#include "cli/standardOutput.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kExitWriteFailed = 1;

// Standard output, or the failure of a closed one.
class StandardOutput : public zolt::Sink {
 public:
  int write(const char* data, size_t size) override { return closed ? EBADF : descriptor_.write(data, size); }
  bool closed = false;

 private:
  zolt::DescriptorSink descriptor_{STDOUT_FILENO};
};

StandardOutput& theStandardOutput() {
  static StandardOutput sink;
  return sink;
}

}  // namespace

zolt::Sink& standardOutput() { return theStandardOutput(); }

void standardOutputWasClosed() { theStandardOutput().closed = true; }

void say(std::string_view text) {
  if (const int error = standardOutput().write(text.data(), text.size()); error != 0) failWrite(error);
}

void failWrite(int error) {
  // Nothing is left to do if even this line cannot be written.
  (void)std::fprintf(stderr, "decode: write error: %s\n", std::strerror(error));
  std::_Exit(kExitWriteFailed);
}

void stopIfWriteFailed(const zolt::Error& error) {
  if (error.code == zolt::Errc::kWriteFailed) failWrite(error.system);
}


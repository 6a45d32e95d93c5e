#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include "cli/processSetup.h"
#include "cli/standardOutput.h"
#include "zolt/input.h"

namespace {

void onBusError(int /*signal*/, siginfo_t* info, void* /*context*/) {
  if (zolt::recoverFromBusError(info->si_addr)) return;
  // Not a file that shrank under its mapping: fault again without the
  // handler, as if it had never been set.
  (void)signal(SIGBUS, SIG_DFL);
}

// A file that shrinks while it is mapped faults at the lost pages; the
// library then reads it as lost from there, which is a read error.
void guardMappings() {
  struct sigaction action{};
  action.sa_sigaction = onBusError;
  action.sa_flags = SA_SIGINFO;
  sigemptyset(&action.sa_mask);
  sigaction(SIGBUS, &action, nullptr);
}

// A closed standard stream would lend its number to the first file opened.
// Each is stood in for by one that cannot be used as the stream: "-" still
// cannot be read, and what is written to standard output fails as it would
// have, so only the views that write there need it.
void guardStandardStreams() {
  if (fcntl(STDIN_FILENO, F_GETFD) < 0) open("/dev/null", O_WRONLY);
  if (fcntl(STDOUT_FILENO, F_GETFD) < 0) {
    open("/dev/null", O_RDONLY);
    standardOutputWasClosed();
  }
  if (fcntl(STDERR_FILENO, F_GETFD) < 0) open("/dev/null", O_WRONLY);
}

// Pipes default to 64 KiB; a larger one lets the reader downstream take the
// output in fewer, bigger pieces.
void enlargeOutputPipe() {
#ifdef F_SETPIPE_SZ
  // Refusal (not a pipe, or over the system's limit) only costs speed.
  fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1024 * 1024);
#endif
}

}  // namespace

std::vector<std::string> commandLineWords(int argc, char** argv) { return {argv, argv + argc}; }

void prepareProcess() {
  guardStandardStreams();
  guardMappings();
  enlargeOutputPipe();
}

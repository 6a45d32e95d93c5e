// Prints the time span and the number of inertial samples of each record
// file named, using the installed zolt library:
//
//   fileSpan d0001.dat ...
//   d0001.dat: 2026-12-01T00:00:00.000Z to 2026-12-01T00:00:59.000Z, 6000 samples
#include <cstdio>

#include "zolt/zolt.h"

int main(int argc, char** argv) {
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    zolt::SummaryRun run;
    const zolt::FileOutcome outcome = run.add(zolt::Input::path(argv[i]));
    const zolt::Summary& summary = run.file();
    if (!outcome.ok()) {
      std::fprintf(stderr, "%s: %s\n", argv[i], zolt::describe(outcome.error).c_str());
      status = 1;
      continue;
    }
    if (!summary.firstMarker) {
      std::printf("%s: no second markers, %llu samples\n", argv[i],
                  static_cast<unsigned long long>(summary.records[2]));
      continue;
    }
    const std::string first = zolt::isoTime(int64_t{*summary.firstMarker} * 1000000, 3);
    const std::string last = zolt::isoTime(int64_t{*summary.lastMarker} * 1000000, 3);
    std::printf("%s: %s to %s, %llu samples\n", argv[i], first.c_str(), last.c_str(),
                static_cast<unsigned long long>(summary.records[2]));
  }
  return status;
}

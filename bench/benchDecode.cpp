// Times decode against an earlier build of it and against cat, on one input,
// with standard output on /dev/null: best wall time of interleaved rounds and
// the largest peak resident memory seen.
//
//   benchDecode <input> <earlier decode> <decode> [rounds]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Sample {
  double seconds = 1e9;
  long peakKiB = 0;
};

void keep(Sample& best, const Sample& run) {
  best.seconds = std::min(best.seconds, run.seconds);
  best.peakKiB = std::max(best.peakKiB, run.peakKiB);
}

Sample runOnce(std::vector<std::string> command) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  std::vector<char*> argv;
  argv.reserve(command.size() + 1);
  std::transform(command.begin(), command.end(), std::back_inserter(argv),
                 [](std::string& word) { return word.data(); });
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  pid_t child;
  if (posix_spawn(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    std::perror(argv[0]);
    std::exit(1);
  }
  int status;
  rusage usage{};
  wait4(child, &status, 0, &usage);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  posix_spawn_file_actions_destroy(&actions);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    (void)std::fprintf(stderr, "%s failed\n", argv[0]);
    std::exit(1);
  }
  return {elapsed.count(), usage.ru_maxrss};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    (void)std::fprintf(stderr, "usage: benchDecode <input> <earlier decode> <decode> [rounds]\n");
    return 2;
  }
  const std::string input = argv[1];
  const std::string earlier = argv[2];
  const std::string current = argv[3];
  const int rounds = argc > 4 ? static_cast<int>(std::strtol(argv[4], nullptr, 10)) : 5;
  struct stat info{};
  stat(input.c_str(), &info);
  const double megabytes = static_cast<double>(info.st_size) / 1e6;

  struct Mode {
    const char* name;
    std::vector<std::string> switches;
    double target;
  };
  const Mode modes[] = {{"no switch", {}, 8}, {"-t", {"-t"}, 5}, {"-d", {"-d"}, 25}};
  Sample cat;
  Sample plain;
  std::printf("input %s: %.1f MB, best of %d interleaved rounds, output to /dev/null\n\n",
              input.c_str(), megabytes, rounds);
  std::printf("%-10s %12s %12s %8s %8s %10s\n", "mode", "earlier MB/s", "now MB/s", "ratio",
              "target", "peak KiB");
  for (const Mode& mode : modes) {
    Sample before;
    Sample after;
    for (int round = 0; round < rounds; ++round) {
      std::vector<std::string> old = {earlier};
      old.insert(old.end(), mode.switches.begin(), mode.switches.end());
      old.push_back(input);
      std::vector<std::string> now = old;
      now.front() = current;
      keep(before, runOnce(old));
      keep(after, runOnce(now));
      if (mode.switches.empty()) keep(cat, runOnce({"/bin/cat", input}));
    }
    if (mode.switches.empty()) plain = after;
    std::printf("%-10s %12.0f %12.0f %7.1fx %7.0fx %10ld\n", mode.name, megabytes / before.seconds,
                megabytes / after.seconds, before.seconds / after.seconds, mode.target, after.peakKiB);
  }
  std::printf("%-10s %12s %12.0f\n", "cat", "", megabytes / cat.seconds);
  std::printf("\nno switch against cat: %.2fx its speed (target 1.00x)\n", cat.seconds / plain.seconds);
  return 0;
}

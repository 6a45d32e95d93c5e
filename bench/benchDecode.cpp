// Times decode against an earlier build of it, on one input, with standard
// output on /dev/null: the best and the median wall time of interleaved
// rounds, the largest peak resident memory seen, the page faults of the
// median round, and the time against `cat` of the same input, so that a
// machine where faults are dear shows at once. The report's modes are
// timed in both builds, the tables in the current one against the report
// mode they are held to.
//
//   benchDecode <input> <earlier decode> <decode> [rounds] [all]
//
// With "all", every mode is timed in both builds and held to the earlier
// one: for an earlier build that has every view.
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
  long faults = 0;
};

// Every round's time, and the largest peak.
struct Samples {
  std::vector<double> seconds;
  std::vector<long> faults;
  long peakKiB = 0;
  double best() const { return *std::min_element(seconds.begin(), seconds.end()); }
  double median() const {
    std::vector<double> sorted = seconds;
    std::sort(sorted.begin(), sorted.end());
    return sorted[sorted.size() / 2];
  }
  long medianFaults() const {
    std::vector<long> sorted = faults;
    std::sort(sorted.begin(), sorted.end());
    return sorted[sorted.size() / 2];
  }
};

void keep(Samples& all, const Sample& run) {
  all.seconds.push_back(run.seconds);
  all.faults.push_back(run.faults);
  all.peakKiB = std::max(all.peakKiB, run.peakKiB);
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
  return {elapsed.count(), usage.ru_maxrss, usage.ru_minflt + usage.ru_majflt};
}

struct Mode {
  const char* name;
  std::vector<std::string> options;
  double target;         // speed against the earlier build, or against `reference`
  const char* reference;  // nullptr: against the earlier build
};

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
  const bool allAgainstEarlier = argc > 5 && std::string(argv[5]) == "all";
  struct stat info{};
  stat(input.c_str(), &info);
  const double megabytes = static_cast<double>(info.st_size) / 1e6;

  std::vector<Mode> modes = {
      {"no switch", {}, 1.3, nullptr},
      {"-t", {"-t"}, 1.0, nullptr},
      {"-d", {"-d"}, 1.3, nullptr},
      {"csv data", {"--csv=data"}, 0.4, "-d"},
      {"csv header", {"--csv=header"}, 0.5, "no switch"},
      {"csv marker", {"--csv=marker"}, 0.5, "no switch"},
      {"csv pressure", {"--csv=pressure"}, 0.5, "no switch"},
      {"csv index", {"--csv=index"}, 0.5, "no switch"},
      {"csv system", {"--csv=system"}, 0.5, "no switch"},
      {"info", {"--info"}, 0.5, "no switch"},
      {"info json", {"--info=json"}, 0.5, "no switch"},
      {"plot", {"--plot=-"}, 0.5, "no switch"},
      {"netcdf", {"--netcdf=" + input + ".nc"}, 0.5, "csv data"},
  };
  if (allAgainstEarlier) {
    for (Mode& mode : modes) {
      if (std::string(mode.name) == "netcdf") continue;  // no earlier build writes netCDF
      mode.reference = nullptr;
      mode.target = 0.95;  // no slower, within the noise
    }
  }
  std::vector<Samples> before(modes.size());
  std::vector<Samples> after(modes.size());
  Samples cat;
  for (int round = 0; round < rounds; ++round) {
    keep(cat, runOnce({"/bin/cat", input}));
    for (size_t i = 0; i < modes.size(); ++i) {
      std::vector<std::string> now = {current};
      now.insert(now.end(), modes[i].options.begin(), modes[i].options.end());
      now.push_back(input);
      keep(after[i], runOnce(now));
      if (modes[i].reference != nullptr) continue;
      std::vector<std::string> old = now;
      old.front() = earlier;
      keep(before[i], runOnce(old));
    }
  }

  std::printf("input %s: %.1f MB, %d interleaved rounds, output to /dev/null; MB/s of the best round,\n"
              "ratios of the best and of the median rounds\n\n",
              input.c_str(), megabytes, rounds);
  std::printf("%-13s %10s %10s %-10s %7s %7s %7s %9s %8s %7s\n", "mode", "MB/s", "against", "", "best", "median",
              "target", "peak KiB", "faults", "x cat");
  std::printf("%-13s %10.0f %10s %-10s %7s %7s %7s %9ld %8ld %6.2fx\n", "cat", megabytes / cat.best(), "", "", "", "",
              "", cat.peakKiB, cat.medianFaults(), 1.0);
  for (size_t i = 0; i < modes.size(); ++i) {
    const Samples* other = &before[i];
    if (modes[i].reference != nullptr) {
      const auto reference = std::find_if(modes.begin(), modes.end(), [&](const Mode& mode) {
        return std::string(mode.name) == modes[i].reference;
      });
      other = &after[static_cast<size_t>(reference - modes.begin())];
    }
    const char* what = modes[i].reference != nullptr ? modes[i].reference : "earlier";
    std::printf("%-13s %10.0f %10.0f %-10s %6.2fx %6.2fx %6.2fx %9ld %8ld %6.2fx\n", modes[i].name,
                megabytes / after[i].best(), megabytes / other->best(), what, other->best() / after[i].best(),
                other->median() / after[i].median(), modes[i].target, after[i].peakKiB, after[i].medianFaults(),
                after[i].median() / cat.median());
  }
  std::printf("\npeak memory target: 4096 KiB for every mode; the report at most 1.30x cat\n");
  return 0;
}

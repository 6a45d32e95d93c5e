#include "html/pageReads.h"

#include <algorithm>

#if !defined(_LIBCPP_HAS_NO_THREADS)
#include <atomic>
#include <exception>
#include <thread>
#endif

namespace zolt {

namespace {

std::vector<FileOutcome> gatherOnOneThread(PageRun& run, std::span<const Input> inputs, const KeepGoing& keepGoing,
                                           bool salvage, PageCheck& check) {
  std::vector<FileOutcome> outcomes;
  for (const Input& input : inputs) outcomes.push_back(gatherForPage(run, input, keepGoing, salvage, &check));
  return outcomes;
}

#if !defined(_LIBCPP_HAS_NO_THREADS)

// A mapped file is left out too: a bus error is caught on the thread that
// maps it.
bool readableTwice(std::span<const Input> inputs) {
  return std::all_of(inputs.begin(), inputs.end(), [](const Input& input) {
    return input.kind() == Input::Kind::kPath || input.kind() == Input::Kind::kMemory;
  });
}

// The data group is this thread's alone until it is joined; the caller's
// KeepGoing is asked by the checking read only, as it may not be called
// from two threads, and a stop there stops this read too.
class DataReader {
 public:
  DataReader(PageRun& run, std::span<const Input> inputs, bool salvage)
      : thread_([this, &run, inputs, salvage] { readAll(run[PageGroup::kData], run.window, inputs, salvage); }) {}
  ~DataReader() {
    if (thread_.joinable()) stop();
  }
  DataReader(const DataReader&) = delete;
  DataReader& operator=(const DataReader&) = delete;

  void stopSoon() { stopping_.store(true, std::memory_order_relaxed); }
  // Rethrows what the read threw.
  void join() {
    thread_.join();
    if (failed_) std::rethrow_exception(failed_);
  }

 private:
  void stop() {
    stopSoon();
    thread_.join();
  }

  void readAll(GroupSeries& data, const TimeWindow& window, std::span<const Input> inputs, bool salvage) {
    try {
      RunClock clock;
      const KeepGoing going = [this] { return !stopping_.load(std::memory_order_relaxed); };
      // Its outcomes are the checking read's to report.
      for (const Input& input : inputs) (void)gatherDataForPage(data, window, clock, input, going, salvage);
    } catch (...) {
      failed_ = std::current_exception();
    }
  }

  std::atomic<bool> stopping_{false};
  std::exception_ptr failed_;
  std::thread thread_;  // last: it starts once the rest is made
};

std::vector<FileOutcome> gatherOnTwoThreads(PageRun& run, std::span<const Input> inputs, const KeepGoing& keepGoing,
                                            bool salvage, PageCheck& check) {
  DataReader data(run, inputs, salvage);
  std::vector<FileOutcome> outcomes;
  for (const Input& input : inputs) {
    outcomes.push_back(gatherForPage(run, input, keepGoing, salvage, &check, false));
    if (outcomes.back().error.code == Errc::kStopped) data.stopSoon();
  }
  data.join();
  return outcomes;
}

#endif

}  // namespace

std::vector<FileOutcome> gatherInputs(PageRun& run, std::span<const Input> inputs, const KeepGoing& keepGoing,
                                      bool salvage, PageCheck& check) {
#if !defined(_LIBCPP_HAS_NO_THREADS)
  if (readableTwice(inputs)) return gatherOnTwoThreads(run, inputs, keepGoing, salvage, check);
#endif
  return gatherOnOneThread(run, inputs, keepGoing, salvage, check);
}

}  // namespace zolt

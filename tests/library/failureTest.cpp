// What the library does when the world says no: a sink that stops taking
// bytes, and memory that runs out at any allocation. Each comes back as an
// error the caller can handle; nothing aborts, nothing leaks.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <new>

#include "zolt/zolt.h"

namespace {

// Allocations left before the next one fails; negative for never.
std::atomic<long> allocationsLeft{-1};

}  // namespace

void* operator new(size_t size) {
  if (allocationsLeft.load() >= 0 && allocationsLeft.fetch_sub(1) == 0) throw std::bad_alloc();
  if (void* block = std::malloc(size == 0 ? 1 : size); block != nullptr) return block;
  throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }

namespace {

using namespace zolt;

std::vector<uint8_t> sample() {
  std::ifstream in(std::string(SOURCE_DIR) + "/examples/d0001.dat", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Takes `room` bytes, then says the disk is full.
class FullSink : public Sink {
 public:
  explicit FullSink(size_t room) : room_(room) {}
  int write(const char* /*data*/, size_t size) override {
    ++calls;
    if (size > room_) {
      ++refusals;
      return ENOSPC;
    }
    room_ -= size;
    return 0;
  }
  int calls = 0;
  int refusals = 0;

 private:
  size_t room_;
};

TEST(Failure, ASinkThatStopsTakingBytesEndsTheViewWithItsError) {
  const std::vector<uint8_t> one = sample();
  std::vector<uint8_t> file;
  for (int i = 0; i < 40; ++i) file.insert(file.end(), one.begin(), one.end());  // 4 MB
  const Input input = Input::memory(file, "f");
  const Error full = {Errc::kWriteFailed, ENOSPC};
  FullSink reportSink(1000);
  EXPECT_EQ(Report(reportSink, {{true}, {}}).add(input).error, full);
  FullSink csvSink(1000);
  CsvRun csv(csvSink, {TableKind::kData, {}, {}});
  EXPECT_EQ(csv.add(input).error, full);
  FullSink infoSink(10);
  EXPECT_EQ(InfoRun(infoSink, {InfoFormat::kText, {}}).add(input).error, full);
  // Offered once, refused once: the scan stopped instead of running on.
  for (const FullSink* sink : {&reportSink, &csvSink, &infoSink}) {
    EXPECT_EQ(sink->refusals, 1);
    EXPECT_EQ(sink->calls, 1);
  }
}

// Constructors may throw std::bad_alloc; every other call says it. Each view
// makes its objects, then calls `failAfter` and goes to work.
void failAfter(long allocations) { allocationsLeft = allocations; }

// Runs `view` with the n-th allocation of its work failing, for every n
// until it needs no more than it gets.
void failEveryAllocation(const char* what, const std::function<Error(long)>& view) {
  SCOPED_TRACE(what);
  for (long n = 0;; ++n) {
    const Error error = view(n);
    const bool allocationFailed = allocationsLeft.load() < 0;
    allocationsLeft = -1;
    if (!allocationFailed) {
      EXPECT_TRUE(error.ok()) << describe(error);
      return;
    }
    ASSERT_EQ(error.code, Errc::kOutOfMemory) << "allocation " << n;
  }
}

TEST(Failure, MemoryRunningOutAtAnyAllocationIsAnError) {
  const std::vector<uint8_t> file = sample();
  const Input input = Input::memory(file, "f");
  failEveryAllocation("report", [&](long n) {
    StringSink sink;
    Report report(sink);
    sink.text.reserve(1 << 20);
    failAfter(n);
    return report.add(input).error;
  });
  for (size_t kind = 0; kind < kTableKinds; ++kind) {
    failEveryAllocation("table", [&](long n) {
      TableRun run(static_cast<TableKind>(kind), {});
      failAfter(n);
      return run.add(input).error;
    });
  }
  failEveryAllocation("summary", [&](long n) {
    SummaryRun run;
    failAfter(n);
    return run.add(input).error;
  });
  failEveryAllocation("check", [&](long n) {
    StringSink sink;
    InfoRun info(sink, {InfoFormat::kJson, {}});
    sink.text.reserve(1 << 20);
    failAfter(n);
    const Error error = info.add(input).error;
    return error.ok() ? info.finish() : error;
  });
  failEveryAllocation("picture", [&](long n) {
    PlotRun plot;
    failAfter(n);
    const Error error = plot.add(input).error;
    return error.ok() ? plot.render().error() : error;
  });
}

}  // namespace

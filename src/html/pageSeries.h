// What the interactive page draws of a run: five groups of channels, each
// on its own times (the data records' samples, the pressure readings, the
// system records, the whole seconds, the depths of the readings), gathered
// in one pass, or the data records' in a pass of their own beside it. A
// group keeps every entry while they are few enough for a page; past that
// it keeps the least and greatest value of each channel in buckets of a
// whole number of milliseconds, as short as its share of the page allows,
// and doubles their length, merging neighbours (which keeps every least
// and greatest exact), whenever they grow too many.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/recordClock.h"
#include "html/pageDepth.h"
#include "html/reservedRoom.h"
#include "views/deploymentSummary.h"
#include "zolt/records.h"
#include "zolt/time.h"

namespace zolt {

enum class PageGroup : uint8_t { kData, kPressure, kSystem, kSeconds, kDepth };
constexpr size_t kPageGroups = 5;

// The channels of each group, in the order their values are handed over.
constexpr size_t kDataChannels = 7;    // acc_x, acc_y, acc_z, quat_0 .. quat_3
constexpr size_t kSystemChannels = 5;  // temp, hum, int_press, batt, vmodem
constexpr size_t kMostChannels = kDataChannels;
constexpr size_t kChannelsOf[kPageGroups] = {kDataChannels, 1, kSystemChannels, 1, 1};

// The channels whose 16-bit counts the page turns into values by a table of
// the counts that occur: the pressure reading and the five of the system
// record. Their buckets keep the counts of the least and greatest value.
constexpr size_t kTabledChannels = 6;
constexpr size_t tabledChannel(PageGroup group, size_t channel) {
  return group == PageGroup::kPressure ? 0 : 1 + channel;
}
constexpr bool isTabled(PageGroup group) { return group == PageGroup::kPressure || group == PageGroup::kSystem; }

// The most entries a group keeps one by one, and the most buckets, for a
// page of `budget` bytes: at the default budget of 20 MB, an hour and a
// half of data records at 100 a second, and 312,500 buckets: of 277 ms
// for a day, 8.295 s for a month. Where they do not fit, the page merges
// neighbours until they do.
constexpr size_t mostPageSamples(uint64_t budget) { return static_cast<size_t>(budget / 38); }
constexpr size_t mostPageBuckets(uint64_t budget) { return static_cast<size_t>(std::max<uint64_t>(budget / 64, 4096)); }
// The shortest bucket.
constexpr int64_t kFirstBucketMicros = 10000;

using ChannelValues = std::array<int32_t, kMostChannels>;

// A tabled channel's value for a count, as the tables give it.
double tabledValue(size_t tabled, uint16_t count);

// A column for each channel, all taking their room from `room`.
using ChannelColumns = std::array<std::pmr::vector<int32_t>, kMostChannels>;
inline ChannelColumns channelColumns(std::pmr::memory_resource* room) {
  static_assert(kMostChannels == 7);
  return {std::pmr::vector<int32_t>(room), std::pmr::vector<int32_t>(room), std::pmr::vector<int32_t>(room),
          std::pmr::vector<int32_t>(room), std::pmr::vector<int32_t>(room), std::pmr::vector<int32_t>(room),
          std::pmr::vector<int32_t>(room)};
}

// One group as the page holds it: every entry (its time, and each channel's
// value in `least`), or buckets (their start, and each channel's least and
// greatest value).
class GroupSeries {
 public:
  GroupSeries(PageGroup group, size_t mostSamples, size_t mostBuckets);

  void add(int64_t time, const ChannelValues& values);
  // Values that all fall in the bucket of `time`: the data records of one
  // run, already reduced to their least and greatest.
  void addRange(int64_t time, const ChannelValues& least, const ChannelValues& greatest);
  // The same for the bucket that begins at `start`, a bucketStart(), while
  // buckets are kept.
  void addBucket(int64_t start, const ChannelValues& least, const ChannelValues& greatest);
  // Buckets twice as long, or buckets at all: for a page over its budget.
  void coarsen();
  // Gives back the room of every entry, once the page has packed them.
  void release();
  // Buckets from the start, of the length for `span`: for a run that is
  // known to be long, which saves keeping its first entries one by one.
  void expectSpan(int64_t span);
  // Room for `entries` kept one by one, taken at once: grown by doubling,
  // a column touches twice its size in fresh pages. Room foreseen and not
  // used costs only address space.
  void expectEntries(uint64_t entries);

  PageGroup group() const { return group_; }
  bool buckets() const { return bucketMicros_ > 0; }
  int64_t bucketMicros() const { return bucketMicros_; }
  // Where the bucket of `time` begins, while buckets are kept.
  int64_t bucketStart(int64_t time) const;
  size_t size() const { return times_.size(); }
  size_t mostSamples() const { return mostSamples_; }
  std::span<const int64_t> times() const { return times_; }
  std::span<const int32_t> least(size_t channel) const { return least_[channel]; }
  std::span<const int32_t> greatest(size_t channel) const { return greatest_[channel]; }

 private:
  int64_t bucketOf(int64_t time) const;
  bool below(size_t channel, int32_t a, int32_t b) const {
    return tabled_ ? tabledValue(tabledChannel(group_, channel), static_cast<uint16_t>(a)) <
                         tabledValue(tabledChannel(group_, channel), static_cast<uint16_t>(b))
                   : a < b;
  }
  void toBuckets(int64_t length);
  void merge(size_t into, size_t from);

  PageGroup group_;
  bool tabled_;
  size_t channels_;
  size_t mostSamples_;
  size_t mostBuckets_;
  int64_t bucketMicros_ = 0;
  int64_t earliest_ = INT64_MAX;
  int64_t latest_ = INT64_MIN;
  // Before the entries, which it outlives.
  std::unique_ptr<ReservedRoom> room_ = std::make_unique<ReservedRoom>();
  std::pmr::vector<int64_t> times_{room_.get()};
  ChannelColumns least_ = channelColumns(room_.get());
  ChannelColumns greatest_ = channelColumns(room_.get());
};

// A mark on the time axis: damage found, at the time of the second it was
// found in.
// What a mark stands for: the page shades and names each kind apart.
enum class MarkKind : uint8_t { kDamaged, kSkipped, kSteppedBack };

struct PageMark {
  int64_t time;
  std::string text;
  MarkKind kind = MarkKind::kDamaged;
};

// What the page gathers of a run, and what one file hands on to the next.
struct PageRun {
  PageRun(const TimeWindow& kept, size_t mostSamples, size_t mostBuckets);
  // The analysis holds on to the run.
  PageRun(const PageRun&) = delete;
  PageRun& operator=(const PageRun&) = delete;

  TimeWindow window;
  std::array<GroupSeries, kPageGroups> groups;
  RunClock clock;
  std::optional<uint16_t> firstId;
  std::optional<uint16_t> firstRate;
  int64_t earliest = INT64_MAX;
  int64_t latest = INT64_MIN;
  std::optional<int64_t> headerTime;  // of the run's first file header
  std::optional<int64_t> firstSecond;  // of the run's first second marker
  std::vector<std::pair<int64_t, int64_t>> gaps;  // [from, to) in microseconds
  std::vector<PageMark> marks;
  std::vector<std::string> names;  // of the inputs read
  // The data records of each input read, timed or not: what a read of the
  // data records apart must find too.
  std::vector<uint64_t> dataRecordsRead;
  std::vector<PageDive> dives;  // the first kMostPageDives
  uint64_t divesFound = 0;
  // Depth and dives from the pressure readings, over every input read.
  std::unique_ptr<PageDepth> depth;

  GroupSeries& operator[](PageGroup group) { return groups[static_cast<size_t>(group)]; }
  // What the inputs' sizes and first header say of the run: its data
  // records, at most, and their rate.
  void expect(uint64_t dataRecords, uint16_t headerRate);
  // Whether an entry at `time` lies where the run can have been recorded:
  // not before its header's time, nor decades from it. Misframed records
  // of a damaged file read literally carry any time at all.
  bool plausible(int64_t time) const;
  // The empty time between each entry that is not plausible and its
  // neighbours on the axis, as gaps: drawn as what it is, not filled.
  void gapsAroundStrayTimes();
  // The page is packed: what the groups held is no longer needed.
  void releaseSeries() {
    for (GroupSeries& series : groups) series.release();
  }
  // No input follows: the depths and dives the analysis still holds.
  void finishDepth() const { depth->finish(); }
};

// The deployment check of the inputs, as --info makes it: of the run, and
// of the input read last.
struct PageCheck {
  SummaryTally run;
  Summary file;
};

// Reads one input into the run, and into the check when one is given: then
// as the check reads it, literally with what salvage would keep beside.
// Without `withData`, all but the data records' buckets, which
// gatherDataForPage() reads apart.
FileOutcome gatherForPage(PageRun& run, const Input& input, const KeepGoing& keepGoing, bool salvage,
                          PageCheck* check = nullptr, bool withData = true);
// What a read of the data records alone found of one input.
struct DataRead {
  FileOutcome outcome;
  uint64_t records = 0;  // timed or not
};
// Only the data records' buckets of one input, on a clock of their own
// that has read the same inputs before: the same buckets gatherForPage()
// makes, from a read that a second thread can make beside it.
DataRead gatherDataForPage(GroupSeries& data, const TimeWindow& window, RunClock& clock, const Input& input,
                           const KeepGoing& keepGoing, bool salvage);

}  // namespace zolt

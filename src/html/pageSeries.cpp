#include "html/pageSeries.h"

#include <algorithm>

#include "core/readInput.h"
#include "core/readings.h"
#include "core/recordCatalogue.h"
#include "core/sampleClock.h"
#include "text/exactFormat.h"
#include "views/inertialRange.h"
#include "views/recordsPerSecond.h"
#include "views/deploymentSummary.h"
#include "views/summarisedRead.h"
#include "views/teeView.h"

namespace zolt {

namespace {

constexpr int64_t kSecond = 1000000;
constexpr size_t kMostMarks = 1000;

// The least and greatest of each channel over `count` whole data records.
void reduceData(const uint8_t* records, uint64_t count, ChannelValues& least, ChannelValues& greatest) {
  static_assert(kInertialChannels == kDataChannels);
  const InertialRange range = inertialRange(records, count);
  std::copy(range.least.begin(), range.least.end(), least.begin());
  std::copy(range.greatest.begin(), range.greatest.end(), greatest.begin());
}

ChannelValues dataValues(const uint8_t* record) {
  const DataRecord fields = RecordBody<kDataRecord>{record + 1}.read();
  return {fields.acc[0], fields.acc[1], fields.acc[2], fields.quat[0], fields.quat[1], fields.quat[2], fields.quat[3]};
}

// The data records' buckets, apart from the rest of the page, so that they
// can be gathered on a thread of their own.
class DataBuckets {
 public:
  explicit DataBuckets(GroupSeries& data) : data_(data) {}

  // The samples the window keeps: one by one while the group keeps them so,
  // else a bucket's worth at a time.
  void add(const Samples& samples) {
    uint64_t sample = samples.first;
    for (; sample < samples.end() && !data_.buckets(); ++sample) {
      data_.add(samples.timeOf(sample), dataValues(samples.record(sample)));
    }
    if (sample < samples.end()) addBuckets(samples, sample);
  }

 private:
  // Bucket after bucket from `sample` on, each bucket's first sample found
  // from its end: a sample's time, or its bucket, takes a division, which
  // at a dozen records a bucket was most of the time spent on them.
  void addBuckets(const Samples& samples, uint64_t sample) {
    int64_t length = data_.bucketMicros();
    int64_t start = data_.bucketStart(samples.timeOf(sample));
    uint64_t last = firstAfter(samples, start + length, sample);
    for (;;) {
      ChannelValues least;
      ChannelValues greatest;
      reduceData(samples.record(sample), last - sample, least, greatest);
      data_.addBucket(start, least, greatest);
      sample = last;
      if (sample == samples.end()) return;
      if (data_.bucketMicros() != length) {
        // Coarsened: the buckets are twice as long from here on.
        length = data_.bucketMicros();
        start = data_.bucketStart(samples.timeOf(sample));
        last = firstAfter(samples, start + length, sample);
        continue;
      }
      // The next sample begins the next bucket unless, slower than the
      // buckets, it skips some.
      start += length;
      last = firstAfter(samples, start + length, sample);
      if (last == sample) {
        start = data_.bucketStart(samples.timeOf(sample));
        last = firstAfter(samples, start + length, sample);
      }
    }
  }

  // The first sample from `sample` on at or after `time`, and never past
  // the run's end.
  static uint64_t firstAfter(const Samples& samples, int64_t time, uint64_t sample) {
    return std::clamp(firstSampleAtOrAfter(time - samples.marker, samples.rate), sample, samples.end());
  }

  GroupSeries& data_;
};

// Feeds one file's records to the run, timed as the tables time them; only
// what the window keeps, and nothing without a time.
class PageView : public TimedViewBase {
 public:
  // Without `withData`, the data records' buckets are left to a
  // DataView's read of the same input.
  PageView(PageRun& run, bool withData) : run_(run), data_(run[PageGroup::kData]), withData_(withData) {}

  void record(TimedRecord<kFileHeader> record) {
    const FileHeader header = record.read();
    if (!run_.firstId) {
      run_.firstId = header.id;
      run_.firstRate = header.rate;
      run_.headerTime = int64_t{header.time} * kSecond;
    }
  }

  // The gaps of the run's clock.
  void second(const SecondStep& step) {
    second_ = microsOf(step.time);
    if (!run_.firstSecond) run_.firstSecond = second_;
    if (step.placed || !step.previous) return;
    if (step.step() <= 0) {
      mark(step.step() == 0 ? "the second " + isoSecond(step.time) + " came again"
                            : "the clock stepped back " + std::to_string(-step.step()) + " s, from " +
                                  isoSecond(*step.previous) + " to " + isoSecond(step.time),
           MarkKind::kSteppedBack);
    }
    if (step.step() > 1) addGap((*step.previous + 1) * kSecond, int64_t{step.time} * kSecond);
  }

  void samples(const Samples& samples) {
    run_.dataRecordsRead.back() += samples.count;
    if (!samples.timed()) return;
    const Samples kept = samples.within(run_.window);
    if (kept.count > 0) {
      run_.earliest = std::min(run_.earliest, kept.timeOf(kept.first));
      run_.latest = std::max(run_.latest, kept.timeOf(kept.end() - 1));
      if (withData_) data_.add(kept);
    }
    perSecond_.add(kept, [this](int64_t start, uint64_t records) { addSecond(start, records); });
  }

  // The input is over: so is the second it ended in.
  void finish() {
    perSecond_.finish([this](int64_t start, uint64_t records) { addSecond(start, records); });
  }

  void record(TimedRecord<kPressureRecord> record) {
    if (record.time != kNoTime) add(PageGroup::kPressure, record.time, {record.read().counts});
  }

  void record(TimedRecord<kSystemRecord> record) {
    const SystemRecord fields = record.read();
    add(PageGroup::kSystem, record.time, {fields.temp, fields.hum, fields.intPress, fields.batt, fields.vmodem});
  }

  // The page draws nothing of the other records.
  template <RecordType Type>
  void record(TimedRecord<Type> /*record*/) {}

  void unknownType(uint8_t type, uint64_t offset) {
    // One mark for the unknown bytes of a second.
    if (unknownSecond_ == second_) return;
    unknownSecond_ = second_;
    mark("byte " + std::to_string(type) + " of unknown record type at offset " + std::to_string(offset));
  }
  void cutRecord(const uint8_t* bytes, size_t size, uint64_t offset) {
    mark("a record of type " + std::to_string(bytes[0]) + " cut short at offset " + std::to_string(offset) + " (" +
         std::to_string(size) + " bytes)");
  }
  void skipped(uint64_t offset, uint64_t size) {
    mark("salvage skipped " + std::to_string(size) + " bytes at offset " + std::to_string(offset), MarkKind::kSkipped);
  }

 private:
  void add(PageGroup group, int64_t time, const ChannelValues& values) {
    if (!run_.window.keeps(time)) return;
    run_.earliest = std::min(run_.earliest, time);
    run_.latest = std::max(run_.latest, time);
    run_[group].add(time, values);
  }

  // A second that begins before the window counts where the window begins.
  void addSecond(int64_t start, uint64_t records) {
    add(PageGroup::kSeconds, std::max(start, run_.window.from),
        {static_cast<int32_t>(std::min<uint64_t>(records, INT32_MAX))});
  }

  void addGap(int64_t from, int64_t to) {
    from = std::max(from, run_.window.from);
    to = std::min(to, run_.window.to);
    if (from < to) run_.gaps.emplace_back(from, to);
  }

  void mark(std::string text, MarkKind kind = MarkKind::kDamaged) {
    const int64_t time = second_;
    if (time == kNoTime || !run_.window.keeps(time) || run_.marks.size() >= kMostMarks) return;
    run_.marks.push_back({time, std::move(text), kind});
  }

  static std::string isoSecond(int32_t seconds) {
    char text[40] = {};
    SecondCache cache;
    *putIsoTime(text, int64_t{seconds} * kSecond, 0, cache) = '\0';
    return text;
  }

  PageRun& run_;
  DataBuckets data_;
  bool withData_;
  RecordsPerSecond perSecond_;
  int64_t second_ = kNoTime;  // the latest second of this input
  int64_t unknownSecond_ = INT64_MAX;
};

// Only the data records' buckets of one file, timed as the page times them.
class DataView : public TimedViewBase {
 public:
  DataView(GroupSeries& data, const TimeWindow& window) : data_(data), window_(window) {}

  void samples(const Samples& samples) {
    records += samples.count;
    if (!samples.timed()) return;
    const Samples kept = samples.within(window_);
    if (kept.count > 0) data_.add(kept);
  }
  template <RecordType Type>
  void record(TimedRecord<Type> /*record*/) {}

  uint64_t records = 0;

 private:
  DataBuckets data_;
  const TimeWindow& window_;
};

// The shortest whole number of milliseconds, 10 at least, in which `span`
// fits `buckets`: a span known from the start fills them, rather than the
// half to all of them that lengths of 10 ms times a power of two would.
int64_t lengthFor(int64_t span, size_t buckets) {
  constexpr int64_t kMilli = 1000;
  const auto room = static_cast<int64_t>(buckets) - 2;
  const int64_t fitting = (std::max<int64_t>(span, 0) + room - 1) / room;
  return std::max(kFirstBucketMicros, (fitting + kMilli - 1) / kMilli * kMilli);
}

}  // namespace

double tabledValue(size_t tabled, uint16_t count) {
  switch (tabled) {
    case 0: return pressureReadings(count).bar;
    case 1: return adcEngValue(AdcChannel::kTemperature, count, nullptr);
    case 2: return adcEngValue(AdcChannel::kHumidity, count, nullptr);
    case 3: return adcEngValue(AdcChannel::kIntPressure, count, nullptr);
    default: return supplyVolts(count);
  }
}

GroupSeries::GroupSeries(PageGroup group, size_t mostSamples, size_t mostBuckets)
    : group_(group), tabled_(isTabled(group)), channels_(kChannelsOf[static_cast<size_t>(group)]),
      mostSamples_(mostSamples),
      mostBuckets_(mostBuckets) {}

int64_t GroupSeries::bucketOf(int64_t time) const {
  // Buckets lie on whole multiples of their length since 1970, so that a
  // bucket covers the same time whatever the run's start.
  return (time >= 0 ? time : time - bucketMicros_ + 1) / bucketMicros_;
}

int64_t GroupSeries::bucketStart(int64_t time) const { return bucketOf(time) * bucketMicros_; }

void GroupSeries::add(int64_t time, const ChannelValues& values) { addRange(time, values, values); }

void GroupSeries::addRange(int64_t time, const ChannelValues& least, const ChannelValues& greatest) {
  if (buckets()) return addBucket(bucketStart(time), least, greatest);
  earliest_ = std::min(earliest_, time);
  latest_ = std::max(latest_, time);
  times_.push_back(time);
  for (size_t channel = 0; channel < channels_; ++channel) least_[channel].push_back(least[channel]);
  if (times_.size() > mostSamples_) toBuckets(lengthFor(latest_ - earliest_, mostBuckets_ / 2));
}

void GroupSeries::addBucket(int64_t start, const ChannelValues& least, const ChannelValues& greatest) {
  if (!times_.empty() && times_.back() == start) {
    for (size_t channel = 0; channel < channels_; ++channel) {
      if (below(channel, least[channel], least_[channel].back())) least_[channel].back() = least[channel];
      if (below(channel, greatest_[channel].back(), greatest[channel])) greatest_[channel].back() = greatest[channel];
    }
    return;
  }
  times_.push_back(start);
  for (size_t channel = 0; channel < channels_; ++channel) {
    least_[channel].push_back(least[channel]);
    greatest_[channel].push_back(greatest[channel]);
  }
  if (times_.size() > mostBuckets_) coarsen();
}

void GroupSeries::merge(size_t into, size_t from) {
  for (size_t channel = 0; channel < channels_; ++channel) {
    if (below(channel, least_[channel][from], least_[channel][into])) least_[channel][into] = least_[channel][from];
    if (below(channel, greatest_[channel][into], greatest_[channel][from])) {
      greatest_[channel][into] = greatest_[channel][from];
    }
  }
}

void GroupSeries::toBuckets(int64_t length) {
  for (size_t channel = 0; channel < channels_; ++channel) greatest_[channel] = least_[channel];
  bucketMicros_ = length / 2;  // doubled at once below, which buckets each entry
  coarsen();
}

void GroupSeries::release() {
  std::pmr::vector<int64_t>(room_.get()).swap(times_);
  for (size_t channel = 0; channel < kMostChannels; ++channel) {
    std::pmr::vector<int32_t>(room_.get()).swap(least_[channel]);
    std::pmr::vector<int32_t>(room_.get()).swap(greatest_[channel]);
  }
  // Nothing lies in the block now.
  room_->giveBack();
}

void GroupSeries::expectSpan(int64_t span) {
  if (!times_.empty() || buckets()) return;
  bucketMicros_ = lengthFor(span, mostBuckets_);
  // The buckets the span will fill, made room for at once: growing a
  // dozen columns of hundreds of thousands by doubling costs more than
  // filling them.
  const auto expected = static_cast<size_t>(span / bucketMicros_ + 2);
  // Each column's share and its alignment.
  constexpr size_t kSlack = 64;
  room_->reserve(expected * sizeof(int64_t) + kSlack +
                 2 * channels_ * (expected * sizeof(int32_t) + kSlack));
  times_.reserve(expected);
  for (size_t channel = 0; channel < channels_; ++channel) {
    least_[channel].reserve(expected);
    greatest_[channel].reserve(expected);
  }
}

void GroupSeries::expectEntries(uint64_t entries) {
  if (!times_.empty() || buckets()) return;
  const auto expected = static_cast<size_t>(entries);
  times_.reserve(expected);
  for (size_t channel = 0; channel < channels_; ++channel) least_[channel].reserve(expected);
}

void GroupSeries::coarsen() {
  if (!buckets()) {
    toBuckets(lengthFor(latest_ - earliest_, mostBuckets_ / 2));
    return;
  }
  bucketMicros_ *= 2;
  size_t kept = 0;
  for (size_t i = 0; i < times_.size(); ++i) {
    const int64_t start = bucketStart(times_[i]);
    if (kept > 0 && times_[kept - 1] == start) {
      merge(kept - 1, i);
      continue;
    }
    times_[kept] = start;
    for (size_t channel = 0; channel < channels_; ++channel) {
      least_[channel][kept] = least_[channel][i];
      greatest_[channel][kept] = greatest_[channel][i];
    }
    ++kept;
  }
  times_.resize(kept);
  for (size_t channel = 0; channel < channels_; ++channel) {
    least_[channel].resize(kept);
    greatest_[channel].resize(kept);
  }
}

PageRun::PageRun(const TimeWindow& kept, size_t mostSamples, size_t mostBuckets)
    : window(kept),
      groups{GroupSeries(PageGroup::kData, mostSamples, mostBuckets),
             GroupSeries(PageGroup::kPressure, mostSamples, mostBuckets),
             GroupSeries(PageGroup::kSystem, mostSamples, mostBuckets),
             GroupSeries(PageGroup::kSeconds, mostSamples, mostBuckets),
             GroupSeries(PageGroup::kDepth, mostSamples, mostBuckets)},
      depth(std::make_unique<PageDepth>(*this)) {}

void PageRun::expect(uint64_t dataRecords, uint16_t headerRate) {
  if (headerRate == 0) return;
  const uint64_t seconds = dataRecords / headerRate;
  // The data records, and what comes once a second.
  const std::pair<PageGroup, uint64_t> expected[] = {
      {PageGroup::kData, dataRecords}, {PageGroup::kPressure, seconds}, {PageGroup::kSeconds, seconds},
      {PageGroup::kDepth, seconds}};
  for (const auto& [group, entries] : expected) {
    GroupSeries& series = (*this)[group];
    if (entries > series.mostSamples()) {
      series.expectSpan(static_cast<int64_t>(seconds) * kSecond);
    } else {
      series.expectEntries(entries);
    }
  }
}

bool PageRun::plausible(int64_t time) const {
  // Ten years either way: longer than any deployment, shorter than the
  // decades a misframed time lands from the run's.
  constexpr int64_t kDecade = int64_t{10} * 366 * 86400 * kSecond;
  const std::optional<int64_t> reference = headerTime ? headerTime : firstSecond;
  if (!reference) return true;
  if (headerTime && time < *headerTime) return false;
  return time > *reference - kDecade && time < *reference + kDecade;
}

void PageRun::gapsAroundStrayTimes() {
  std::vector<int64_t> times;
  bool stray = false;
  for (const GroupSeries& series : groups) {
    const std::span<const int64_t> entries = series.times();
    if (entries.empty()) continue;
    // What is plausible is one stretch of time: a group whose earliest and
    // latest entries lie in it has none outside.
    const auto [first, last] = std::minmax_element(entries.begin(), entries.end());
    if (plausible(*first) && plausible(*last)) continue;
    // A bucket begins on a multiple of its length, which can be before the
    // header's time: it is stray only if it ends there too.
    const int64_t tail = std::max<int64_t>(series.bucketMicros() - 1, 0);
    for (const int64_t time : entries) stray = stray || (!plausible(time) && !plausible(time + tail));
  }
  if (!stray) return;
  for (const GroupSeries& series : groups) times.insert(times.end(), series.times().begin(), series.times().end());
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());
  // Entries closer than this follow one another: the longest bucket, or a
  // second.
  int64_t near = kSecond;
  for (const GroupSeries& series : groups) near = std::max(near, series.bucketMicros());
  constexpr size_t kMostStrayGaps = 1000;
  size_t added = 0;
  for (size_t i = 1; i < times.size() && added < kMostStrayGaps; ++i) {
    if (times[i] - times[i - 1] <= 2 * near || (plausible(times[i - 1]) && plausible(times[i]))) continue;
    // From the end of the earlier entry's bucket, so that the gap parts the
    // two.
    gaps.emplace_back(times[i - 1] + near, times[i]);
    ++added;
  }
  std::sort(gaps.begin(), gaps.end());
}

FileOutcome gatherForPage(PageRun& run, const Input& input, const KeepGoing& keepGoing, bool salvage,
                          PageCheck* check, bool withData) {
  run.dataRecordsRead.push_back(0);
  PageView page(run, withData);
  TeeView<PageView, AnalysisView<PageDepthRows>> drawn(page, run.depth->view());
  FileOutcome outcome;
  if (check == nullptr) {
    outcome = readInput(input, run.clock, drawn, keepGoing, salvage);
  } else {
    SummaryTally file;
    SummaryView summed(file, check->run);
    TeeView<decltype(drawn), SummaryView> all(drawn, summed);
    outcome = readSummarised(input, run.clock, all, file.summary, check->run.summary, keepGoing, salvage);
    check->file = std::move(file.summary);
  }
  page.finish();
  return outcome;
}

DataRead gatherDataForPage(GroupSeries& data, const TimeWindow& window, RunClock& clock, const Input& input,
                           const KeepGoing& keepGoing, bool salvage) {
  DataView view(data, window);
  DataRead read;
  read.outcome = readInput(input, clock, view, keepGoing, salvage);
  read.records = view.records;
  return read;
}

}  // namespace zolt

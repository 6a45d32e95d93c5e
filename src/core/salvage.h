// Salvage: the records that sit on the true framing of a damaged file, and
// nothing else. The format has no sync marks, so one bad byte throws a
// literal reading out of step; salvage trusts structure instead of single
// bytes. It reads a second at a time, from one marker to the next, and
// hands on a second only when every record in it fits (framingChecks.h)
// and the next marker follows from it. A second that does not fit is
// damage: salvage looks ahead for the next place where two whole seconds
// fit in a row, and between the two finds the framing that explains the
// most bytes, accepting a record only where what follows it also starts a
// record. Bytes it cannot explain are skipped and told; records whose
// second lost its marker are skipped too, as their times cannot be known;
// data records lost inside a second are counted, so that the samples
// after them keep their numbers.
//
// On an undamaged file every second fits, and the view gets exactly the
// records a literal reading gives.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "core/framingChecks.h"
#include "core/inputBlocks.h"
#include "core/recordCatalogue.h"
#include "core/recordScanner.h"

namespace zolt {

// How far salvage looks ahead to decide: a second, or a stretch of damage
// with the two seconds after it.
constexpr size_t kMostUndecided = size_t{48} * 1024;
// Zeros this long are no record's: a wiped sector, or the card's end.
constexpr size_t kZeroRun = 64;
static_assert(kMostUndecided + kZeroRun + kLargestRecord <= BlockReader::kHeadroom,
              "undecided bytes are carried to the next block");

template <RecordView View>
class Salvager {
 public:
  explicit Salvager(View& view) : view_(view) {}

  // Hands on what can be decided of [begin, end), which starts `offset`
  // bytes into the file, and returns where the undecided bytes begin.
  // `mapping`: the mapping the bytes lie in, if they do.
  const uint8_t* process(const uint8_t* begin, const uint8_t* end, uint64_t offset, bool atEnd,
                         const MappedFile* mapping = nullptr) {
    begin_ = begin;
    offset_ = offset;
    mapping_ = mapping;
    const uint8_t* at = begin;
    while (at < end) {
      if (zeroRun_) {
        const uint8_t* const nonZero = std::find_if(at, end, [](uint8_t b) { return b != 0; });
        if (nonZero == end) {
          if (atEnd) endInZeros(offsetOf(end));
          return end;
        }
        // A wiped stretch: the framing is found again after it, or at a
        // new recording's header, whose type byte and more may be zeros.
        pendingSkip_ = zeroRun_;
        zeroRun_.reset();
        at = nonZero - std::min<ptrdiff_t>(nonZero - at, kRecordSize[kFileHeader] - 1);
      }
      // Every decision looks the same number of bytes ahead, or to the end
      // of the input: what salvage keeps does not hang on how the input
      // came in blocks.
      const auto left = static_cast<size_t>(end - at);
      if (!atEnd && left < kMostUndecided + kZeroRun) return at;
      const bool seesEnd = atEnd && left <= kMostUndecided;
      const uint8_t* const horizon = seesEnd ? end : at + kMostUndecided;
      if (pendingSkip_ || (offsetOf(at) == 0 && !startsWell(at, horizon, seesEnd))) {
        at = repair(at, horizon, seesEnd);
        continue;
      }
      const Walk second =
          walk(at, horizon, seesEnd, context_, *at == kSecondMarker && offsetOf(at) == markerOffset_, &found_);
      if (second.clean) {
        // A whole second that fits, or as much of a long one as is looked at.
        deliver(found_, second.end, second.context, second.atMarker);
        at = second.end;
        continue;
      }
      if (startsZeros(second.end, end, atEnd)) {
        // The records before the zeros fit: a sector wiped, or the end of
        // a card never written.
        deliver(found_, second.end, second.context, false);
        zeroRun_ = offsetOf(second.end);
        at = second.end;
        continue;
      }
      at = repair(at, horizon, seesEnd);
    }
    if (atEnd && zeroRun_) endInZeros(offsetOf(end));
    return at;
  }

 private:
  // A stretch of records read in order: where it ends, whether it reached
  // a marker (or the end of the input), whether every record fit, and what
  // it made known.
  // A record a walk found: a data run as one, with its count; 0 for a last
  // record cut short.
  struct Found {
    const uint8_t* at;
    uint64_t count;
  };

  struct Walk {
    const uint8_t* end;
    bool complete;
    bool clean;
    FramingContext context;
    bool atMarker = false;  // ends at the marker of the next second
  };

  uint64_t offsetOf(const uint8_t* byte) const { return offset_ + static_cast<uint64_t>(byte - begin_); }

  // Whether the record at `at`, read with `context`, fits; updates the
  // context with what it tells.
  bool fits(const uint8_t* at, FramingContext& context, bool ownMarker) const {
    const uint8_t* const body = at + 1;
    switch (static_cast<RecordType>(*at)) {
      case kFileHeader: {
        const FileHeader header = Record<kFileHeader>::read(body);
        if (!context.plausibleHeader(header, offsetOf(at) == 0)) return false;
        context.header(header);
        return true;
      }
      case kSecondMarker: {
        const int32_t time = Record<kSecondMarker>::read(body).time;
        if (!ownMarker && !context.plausibleNextMarker(time)) return false;
        context.marker = time;
        return true;
      }
      // Any bytes make one; how they stand with the rest tells.
      case kDataRecord:
      case kPressureRecord: return true;
      case kIndexRecord: return context.plausibleIndex(Record<kIndexRecord>::read(body));
      case kSystemRecord: return context.plausibleSystem(Record<kSystemRecord>::read(body).time);
    }
    return false;
  }

  // Reads one second from `at` (the marker that begins it, or the start of
  // the file): to the next marker, or the end of the input.
  // `opensWithMarker`: the record at `at` is the second's own marker,
  // already found to follow.
  // `found`, when given, gets the records read: each data run as one.
  Walk walk(const uint8_t* at, const uint8_t* end, bool atEnd, FramingContext context, bool opensWithMarker,
            std::vector<Found>* found = nullptr) const {
    uint64_t data = 0;
    const uint8_t* record = at;
    if (found != nullptr) found->clear();
    while (record < end) {
      const uint8_t type = *record;
      if (type >= kRecordTypes) return {record, true, false, context};
      if (static_cast<size_t>(end - record) < kRecordSize[type]) {
        // The last record, cut short by the end of the input, as a literal
        // reading tells it.
        if (atEnd && found != nullptr) found->push_back({record, 0});
        return {atEnd ? end : record, atEnd, true, context};
      }
      if (type == kSecondMarker && record != at) {
        FramingContext next = context;
        const bool follows = fits(record, next, false);
        return {record, true, follows, context, follows};
      }
      if (type == kDataRecord) {
        const uint8_t* const runEnd = scanning::endOfDataRun(record, end);
        // Data records read out of step run on in step with each other: the
        // ends of a run tell.
        if (context.checksQuats() && (!hasUnitLength(record + 1) || !hasUnitLength(runEnd - kDataRecordSize + 1))) {
          return {record, true, false, context};
        }
        const auto count = static_cast<uint64_t>(runEnd - record) / kDataRecordSize;
        data += count;
        if (data > mostDataInASecond(context.rate)) return {record, true, false, context};
        if (found != nullptr) found->push_back({record, count});
        record = runEnd;
        continue;
      }
      if (!fits(record, context, record == at && opensWithMarker)) return {record, true, false, context};
      if (found != nullptr) found->push_back({record, 1});
      record += kRecordSize[type];
    }
    return {record, atEnd, true, context};
  }

  // Hands on the records the walk to `to` found, which all fit.
  void deliver(const std::vector<Found>& records, const uint8_t* to, const FramingContext& after, bool atMarker) {
    for (const Found& record : records) {
      if (record.count == 0) {
        view_.cutRecord(record.at, static_cast<size_t>(to - record.at), offsetOf(record.at));
      } else if (*record.at == kDataRecord) {
        handOnData(record.at, record.count);
      } else {
        handOnRecords(record.at, record.at + kRecordSize[*record.at]);
      }
    }
    context_ = after;
    countWholeSecond(records, to, atMarker);
    for (const Found& record : records) {
      if (context_.quatsSeen >= FramingContext::kQuatsLearned) break;
      if (record.count > 0 && *record.at == kDataRecord) context_.learnQuats(record.at, record.count);
    }
    if (atMarker) markerOffset_ = offsetOf(to);
  }

  // A second from its marker to the next one, a second later: its data
  // records tell the rate of a file without a header.
  void countWholeSecond(const std::vector<Found>& records, const uint8_t* to, bool atMarker) {
    if (context_.rate != 0 || !atMarker || records.empty() || *records.front().at != kSecondMarker) return;
    if (!context_.marker || Record<kSecondMarker>::read(to + 1).time != int64_t{*context_.marker} + 1) return;
    uint64_t data = 0;
    for (const Found& record : records) data += *record.at == kDataRecord ? record.count : 0;
    context_.wholeSecond(data);
  }

  // Hands on the whole records of [from, to), but none whose bytes the file
  // lost under its mapping: the read then ends in an error.
  void handOnRecords(const uint8_t* from, const uint8_t* to) {
    if (mapping_ != nullptr) {
      scanning::scanBlock(from, to, offsetOf(from), view_, scanning::MappingGuard{*mapping_});
    } else {
      scanning::scanBlock(from, to, offsetOf(from), view_, scanning::Unguarded{});
    }
  }
  void handOnData(const uint8_t* records, uint64_t count) {
    if (mapping_ != nullptr && !mapping_->holds(records + count * kDataRecordSize - 1)) {
      handOnRecords(records, records + count * kDataRecordSize);
      return;
    }
    view_.dataRecords(records, static_cast<size_t>(count));
  }

  // ---- Zeros: a sector wiped, or the end of a card never written ----

  // Whether `at` begins a run of zeros long enough not to be a record's, or
  // zeros that end the input.
  static bool startsZeros(const uint8_t* at, const uint8_t* end, bool atEnd) {
    const auto zero = [](uint8_t b) { return b == 0; };
    const auto left = static_cast<size_t>(end - at);
    if (left >= kZeroRun) return std::all_of(at, at + kZeroRun, zero);
    return atEnd && left >= kRecordSize[kFileHeader] && std::all_of(at, end, zero);
  }

  // Zeros from a record's start to the end of the input: the card's end
  // that was never written.
  void endInZeros(uint64_t end) {
    const uint64_t start = *zeroRun_;
    zeroRun_.reset();
    if constexpr (requires { view_.unwritten(uint64_t{}, uint64_t{}); }) view_.unwritten(end - start, start);
  }

  // ---- Damage ----

  void skipped(uint64_t offset, uint64_t size) {
    if (size == 0) return;
    if constexpr (requires { view_.skipped(offset, size); }) view_.skipped(offset, size);
  }

  // A marker at `at` from which two whole seconds fit in a row (or one
  // that reaches the end of the input).
  bool anchorsAt(const uint8_t* at, const uint8_t* end, bool atEnd, const FramingContext& context) const {
    if (*at != kSecondMarker || static_cast<size_t>(end - at) < kRecordSize[kSecondMarker]) return false;
    FramingContext start = context;
    if (!fits(at, start, false)) return false;
    const Walk first = walk(at, end, atEnd, start, true);
    if (!first.clean || !first.complete) return false;
    if (first.end == end) return atEnd;
    FramingContext next = first.context;
    if (!fits(first.end, next, false)) return false;
    const Walk second = walk(first.end, end, atEnd, next, true);
    return second.clean && second.complete;
  }

  // A later header of the same logger from which two whole seconds fit: a
  // new recording written after the first, whose clock starts again.
  bool newRecordingAt(const uint8_t* at, const uint8_t* end, bool atEnd) const {
    if (*at != kFileHeader || !context_.firstHeader || static_cast<size_t>(end - at) < kRecordSize[kFileHeader]) {
      return false;
    }
    const Walk first = walk(at, end, atEnd, context_, false);
    if (!first.clean || !first.complete) return false;
    if (first.end == end) return atEnd;
    return first.atMarker && anchorsAt(first.end, end, atEnd, first.context);
  }

  // Whether a file begins with its header, or with a second that anchors
  // it: before either, nothing is known to check the first records by.
  bool startsWell(const uint8_t* at, const uint8_t* end, bool atEnd) const {
    if (*at == kFileHeader && static_cast<size_t>(end - at) >= kRecordSize[kFileHeader]) {
      FramingContext context = context_;
      return fits(at, context, false);
    }
    return anchorsAt(at, end, atEnd, context_);
  }

  // Finds the framing again after damage in the second that begins at
  // `at`, looking as far as `end`; returns where reading goes on.
  const uint8_t* repair(const uint8_t* at, const uint8_t* end, bool atEnd) {
    const uint8_t* anchor = nullptr;
    for (const uint8_t* candidate = offsetOf(at) == markerOffset_ ? at + 1 : at; candidate < end; ++candidate) {
      if (anchorsAt(candidate, end, atEnd, context_)) {
        anchor = candidate;
        break;
      }
      // The damage belongs to the recording before: its times bound it.
      if (newRecordingAt(candidate, end, atEnd)) return explain(at, candidate, std::nullopt, false);
    }
    if (anchor == nullptr && !atEnd) {
      // No place fits within the bytes looked at: decide the first half.
      return explain(at, at + (end - at) / 2, std::nullopt, false);
    }
    const uint8_t* const until = anchor != nullptr ? anchor : end;
    std::optional<int32_t> anchorTime;
    if (anchor != nullptr) {
      anchorTime = Record<kSecondMarker>::read(anchor + 1).time;
      if (context_.nominalRate() == 0) learnRateAhead(anchor, end, atEnd);
    }
    return explain(at, until, anchorTime, anchor == nullptr);
  }

  // Damage at the very start of a file took its header, most likely: its
  // data records are timed by the rate its seconds show.
  void startDamaged() {
    if (context_.firstHeader || context_.nominalRate() == 0 || context_.nominalRate() > UINT16_MAX) return;
    if constexpr (requires { view_.salvagedRate(uint16_t{}); }) {
      view_.salvagedRate(static_cast<uint16_t>(context_.nominalRate()));
    }
  }

  // Where neither a header nor the seconds before tell the rate (damage
  // at a file's start): the two whole seconds of the anchor, if they hold
  // as many data records, to place a second whose marker was lost.
  void learnRateAhead(const uint8_t* anchor, const uint8_t* end, bool atEnd) {
    FramingContext context = context_;
    context.marker.reset();
    if (!fits(anchor, context, false)) return;
    uint64_t counts[2] = {};
    const uint8_t* second = anchor;
    for (uint64_t& count : counts) {
      const Walk walked = walk(second, end, atEnd, context, true, &found_);
      if (!walked.clean || !walked.atMarker) return;
      if (Record<kSecondMarker>::read(walked.end + 1).time != int64_t{*walked.context.marker} + 1) return;
      for (const Found& record : found_) count += *record.at == kDataRecord ? record.count : 0;
      context = walked.context;
      if (!fits(walked.end, context, false)) return;
      second = walked.end;
    }
    if (counts[0] != counts[1] || counts[0] == 0) return;
    for (unsigned i = 0; i < FramingContext::kSecondsAlike; ++i) context_.wholeSecond(counts[0]);
  }

  // One step of the chosen framing: a record, or a byte skipped.
  struct Step {
    const uint8_t* at;
    size_t size;  // 0: skipped
  };

  // Where the times of records amid damage may lie: from the current
  // second's marker (or the file's header, or a gap before the anchor) up
  // to the anchor (or the current second, or a gap after it at the end of
  // the input).
  struct Times {
    int64_t low;
    int64_t high;
  };
  Times timesAmidDamage(const std::optional<int32_t>& anchorTime, bool toEnd) const {
    constexpr int64_t kAny = int64_t{1} << 40;
    const std::optional<FileHeader>& header = context_.firstHeader;
    Times times{-kAny, kAny};
    if (context_.marker) {
      times.low = *context_.marker;
    } else if (header) {
      times.low = header->time - kMostSystemSkew;
    } else if (anchorTime) {
      times.low = *anchorTime - kMostGapSeconds;
    }
    if (anchorTime) {
      times.high = *anchorTime;
    } else if (context_.marker) {
      times.high = *context_.marker + (toEnd ? kMostGapSeconds : 0);
    }
    return times;
  }

  // Whether the record at `at` may stand in the framing of [from, until).
  size_t acceptable(const uint8_t* at, const uint8_t* from, const uint8_t* until, const std::optional<int32_t>& anchorTime,
                    bool toEnd) const {
    const uint8_t type = *at;
    if (type >= kRecordTypes || static_cast<size_t>(until - at) < kRecordSize[type]) return 0;
    const size_t size = kRecordSize[type];
    const uint8_t* const body = at + 1;
    const Times times = timesAmidDamage(anchorTime, toEnd);
    switch (static_cast<RecordType>(type)) {
      case kSecondMarker: {
        const int64_t time = Record<kSecondMarker>::read(body).time;
        if (anchorTime && time >= *anchorTime) return 0;
        // The second's own marker was found to follow the one before.
        if (at == from && offsetOf(from) == markerOffset_) return size;
        if (context_.marker) return context_.plausibleNextMarker(static_cast<int32_t>(time)) ? size : 0;
        return time >= times.low && time < times.high ? size : 0;
      }
      case kDataRecord: return !context_.checksQuats() || hasUnitLength(body) ? size : 0;
      case kPressureRecord: {
        // Any counts make a reading: one stands only where a record that
        // is checked by more than its type byte follows it (a data record
        // is not: a stray type byte before data that resumes would pass).
        // Just before damage, a reading cannot be told from the first bytes
        // of a record whose type byte was hit.
        const auto next = static_cast<size_t>(at + size - from);
        return at + size == until || (next < sizes_.size() && sizes_[next] > 0 && from[next] != kDataRecord) ? size : 0;
      }
      case kSystemRecord: {
        const int64_t time = Record<kSystemRecord>::read(body).time;
        return time >= times.low - kMostSystemSkew && time <= times.high + kMostSystemSkew ? size : 0;
      }
      case kIndexRecord: {
        // Amid damage an index entry must both name a file and be of the
        // file's time.
        const IndexRecord index = Record<kIndexRecord>::read(body);
        if (!namesAFile(index)) return 0;
        if (context_.firstHeader) return context_.indexOfItsTime(index) ? size : 0;
        return index.time >= times.low - kMostGapSeconds && index.time <= times.high + 86400 ? size : 0;
      }
      case kFileHeader: {
        FramingContext context = context_;
        return fits(at, context, false) ? size : 0;
      }
    }
    return 0;
  }

  // The framing of [from, until) that explains the most bytes, each stretch
  // of skipped bytes costing as much as a record: hands it on and returns
  // `until`.
  const uint8_t* explain(const uint8_t* from, const uint8_t* until, const std::optional<int32_t>& anchorTime,
                         bool toEnd) {
    const auto length = static_cast<size_t>(until - from);
    constexpr int32_t kStretchCost = 32;
    sizes_.assign(length, 0);
    best_.assign(2 * (length + 1), 0);  // [p][0]: after a record; [p][1]: inside a stretch
    for (size_t p = length; p-- > 0;) {
      sizes_[p] = static_cast<uint8_t>(acceptable(from + p, from, until, anchorTime, toEnd));
      const int32_t take = sizes_[p] > 0 ? static_cast<int32_t>(sizes_[p]) + best_[2 * (p + sizes_[p])] : INT32_MIN;
      best_[2 * p] = std::max(take, best_[2 * (p + 1) + 1] - kStretchCost);
      best_[2 * p + 1] = std::max(take, best_[2 * (p + 1) + 1]);
    }
    steps_.clear();
    bool inStretch = false;
    for (size_t p = 0; p < length;) {
      const int32_t take = sizes_[p] > 0 ? static_cast<int32_t>(sizes_[p]) + best_[2 * (p + sizes_[p])] : INT32_MIN;
      if (sizes_[p] > 0 && take >= best_[2 * p + (inStretch ? 1 : 0)]) {
        steps_.push_back({from + p, sizes_[p]});
        p += sizes_[p];
        inStretch = false;
      } else {
        steps_.push_back({from + p, 0});
        ++p;
        inStretch = true;
      }
    }
    if (offsetOf(from) == 0 && !steps_.empty() && steps_.front().size == 0) startDamaged();
    handOn(until, anchorTime, toEnd);
    return until;
  }

  // Hands on the chosen framing: its records in spans, what was skipped,
  // and the data records lost inside a second.
  void handOn(const uint8_t* until, const std::optional<int32_t>& anchorTime, bool toEnd) {
    std::optional<int32_t> second = context_.marker;
    const uint8_t* span = nullptr;  // records kept, not yet handed on
    // Where the bytes skipped and not yet told begin: a wiped stretch
    // before, if any.
    constexpr uint64_t kNone = UINT64_MAX;
    uint64_t stretch = pendingSkip_.value_or(kNone);
    pendingSkip_.reset();
    bool orphans = false;  // the second's marker was lost
    // Where the second's last data record kept ends, and the bytes of other
    // records kept since: what lies between it and the next data record
    // kept was data records, lost.
    uint64_t lastData = stretch != kNone ? stretch : offsetOf(steps_.empty() ? until : steps_.front().at);
    uint64_t otherBytes = 0;
    const auto flushSpan = [&](const uint8_t* to) {
      if (span != nullptr) handOnRecords(span, to);
      span = nullptr;
    };
    const auto flushStretch = [&](uint64_t to) {
      if (stretch != kNone) skipped(stretch, to - stretch);
      stretch = kNone;
    };
    // Where a stretch ends: did it take a marker with it, or data records
    // of this second?
    const auto endStretch = [&](size_t next) {
      const uint8_t* const resume = next < steps_.size() ? steps_[next].at : until;
      if (toEnd && resume == until) return;
      const std::optional<int32_t> nextMarker = nextMarkerFrom(next, anchorTime);
      if (!second || !nextMarker || *nextMarker - *second >= 2) {
        orphans = true;
      } else if (next < steps_.size() && *resume == kDataRecord) {
        const uint64_t bytes = offsetOf(resume) - lastData - std::min(otherBytes, offsetOf(resume) - lastData);
        if constexpr (requires { view_.lostDataRecords(uint64_t{}); }) {
          view_.lostDataRecords((bytes + kDataRecordSize / 2) / kDataRecordSize);
        }
      }
    };
    if (stretch != kNone && (steps_.empty() || steps_.front().size > 0)) endStretch(0);
    for (size_t i = 0; i < steps_.size(); ++i) {
      const Step& step = steps_[i];
      if (step.size == 0) {
        flushSpan(step.at);
        if (stretch == kNone) stretch = offsetOf(step.at);
        if (i + 1 == steps_.size() || steps_[i + 1].size > 0) endStretch(i + 1);
        continue;
      }
      const uint8_t type = *step.at;
      if (type == kSecondMarker) {
        orphans = false;
        second = Record<kSecondMarker>::read(step.at + 1).time;
      }
      // A second whose marker was lost is placed by the marker after it, as
      // the last second before it, if it holds no more than a second's
      // data records: they were its last ones.
      if (orphans && type == kDataRecord) orphans = !placeSecond(i, anchorTime);
      // Records that take their marker's time cannot be placed without it.
      if (orphans && entryOf(static_cast<RecordType>(type)).rowTime != RowTime::kOwn) {
        flushSpan(step.at);
        if (stretch == kNone) stretch = offsetOf(step.at);
        continue;
      }
      flushStretch(offsetOf(step.at));
      if (span == nullptr) span = step.at;
      if (type == kFileHeader) context_.header(Record<kFileHeader>::read(step.at + 1));
      if (type == kDataRecord || type == kSecondMarker) {
        lastData = offsetOf(step.at) + step.size;
        otherBytes = 0;
      } else {
        otherBytes += step.size;
      }
    }
    flushSpan(until);
    // At the end of the input, the last bytes may be a record cut short,
    // which a literal reading tells as such.
    const uint8_t* const last = steps_.empty() ? until : lastSkipped(until);
    if (stretch == offsetOf(last) && toEnd && !orphans && last < until && *last < kRecordTypes &&
        static_cast<size_t>(until - last) < kRecordSize[*last]) {
      view_.cutRecord(last, static_cast<size_t>(until - last), offsetOf(last));
      stretch = kNone;
    }
    flushStretch(offsetOf(until));
    context_.marker = anchorTime ? anchorTime : second;
    if (anchorTime) markerOffset_ = offsetOf(until);
  }

  // Places the second that step `i`'s data record belongs to, whose marker
  // was lost; false when it cannot be placed.
  bool placeSecond(size_t i, const std::optional<int32_t>& anchorTime) {
    const std::optional<int32_t> next = nextMarkerFrom(i, anchorTime);
    const uint64_t rate = context_.nominalRate();
    if (!next || rate == 0) return false;
    uint64_t data = 0;
    for (size_t j = i; j < steps_.size() && !(steps_[j].size > 0 && *steps_[j].at == kSecondMarker); ++j) {
      if (steps_[j].size > 0 && *steps_[j].at == kDataRecord) ++data;
      // A gap inside it, or more damage: where its samples lie is not known.
      if (steps_[j].size == 0) return false;
    }
    if (data > rate) return false;
    if constexpr (requires { view_.placeSecond(int32_t{}, uint64_t{}); }) view_.placeSecond(*next - 1, rate - data);
    return true;
  }

  // Where the skipped bytes at the end of the framing begin.
  const uint8_t* lastSkipped(const uint8_t* until) const {
    size_t i = steps_.size();
    while (i > 0 && steps_[i - 1].size == 0) --i;
    return i < steps_.size() ? steps_[i].at : until;
  }

  // The time of the first marker the framing keeps from step `i` on, or the
  // anchor's.
  std::optional<int32_t> nextMarkerFrom(size_t i, const std::optional<int32_t>& anchorTime) const {
    for (size_t j = i; j < steps_.size(); ++j) {
      if (steps_[j].size > 0 && *steps_[j].at == kSecondMarker) return Record<kSecondMarker>::read(steps_[j].at + 1).time;
    }
    return anchorTime;
  }

  View& view_;
  FramingContext context_;
  const uint8_t* begin_ = nullptr;
  uint64_t offset_ = 0;
  const MappedFile* mapping_ = nullptr;
  uint64_t markerOffset_ = UINT64_MAX;  // of the marker the next second opens with
  std::optional<uint64_t> zeroRun_;      // where a run of zeros began
  std::optional<uint64_t> pendingSkip_;  // zeros skipped, whose second is still to be read
  std::vector<uint8_t> sizes_;
  std::vector<int32_t> best_;
  std::vector<Step> steps_;
  std::vector<Found> found_;
};

// Hands the records of `input` that sit on its true framing to `view`, in
// order, like scanRecords.
template <RecordView View>
Error salvageRecords(InputBlocks& input, View& view, const KeepGoing& keepGoing = {}) {
  Salvager<View> salvager(view);
  uint64_t offset = 0;
  const uint8_t* rest = nullptr;
  for (;;) {
    if (Error stop = reasonToStop(view, keepGoing); stop.failed()) return stop;
    const InputBlocks::Bytes bytes = input.next(rest);
    const bool atEnd = input.ended();
    if (atEnd && input.error().failed()) return input.error();
    if constexpr (requires { view.piece(bytes.begin, offset); }) view.piece(bytes.begin, offset);
    rest = salvager.process(bytes.begin, bytes.end, offset, atEnd, input.mapping());
    if (atEnd) return {};
    offset += static_cast<uint64_t>(rest - bytes.begin);
  }
}

}  // namespace zolt

// Salvage: the records that sit on the true framing of a damaged file, and
// nothing else. The format has no sync marks, so one bad byte throws a
// literal reading out of step; salvage trusts structure instead of single
// bytes.
//
// It begins only at an anchor, structure that a logger writes and chance
// does not: a file header that fits where it stands (its time near the
// markers after it), or a marker from which two whole seconds follow, each
// reaching a marker a second later. Where no anchor is found nothing is
// kept: random bytes, or a run of one byte, give no records.
//
// From an anchor it follows the framing record by record, holding each to
// the checks of framingChecks.h, and hands records on only once the framing
// has gone on past them for a while. Where the framing breaks, it finds the
// next anchor and, between the two, keeps the records that follow on from
// the framing before the damage and those that lead exactly into the
// anchor; the bytes between are skipped and told. Next to the skipped bytes
// only a record that vouches for itself stands (a pressure reading does
// not). A clock that steps back or stops, or quaternions that are not of
// unit length, do not break a framing: on an undamaged file salvage hands on
// exactly the records a literal reading gives.
//
// Salvage places nothing in time: the clock that takes its records does
// (core/recordClock.h), from the markers around what was skipped.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <optional>
#include <vector>

#include "core/framingChecks.h"
#include "core/inputBlocks.h"
#include "core/recordCatalogue.h"
#include "core/recordScanner.h"

namespace zolt {

// How far salvage looks ahead to decide: past a stretch of damage to the two
// seconds after it.
constexpr size_t kMostUndecided = size_t{48} * 1024;
// Zeros this long are no record's: a wiped sector, or the card's end.
constexpr size_t kZeroRun = 64;
// How far the framing must go on past a record before it is handed on:
// bytes read out of step break a framing well within this.
constexpr size_t kVouchingBytes = 1024;
static_assert(kMostUndecided + kZeroRun + kLargestRecord <= BlockReader::kHeadroom,
              "undecided bytes are carried to the next block");

template <RecordView View>
class Salvager {
 public:
  explicit Salvager(View& view) : view_(view) {
    // A window's records, data runs as one: a few thousand.
    found_.reserve(4096);
  }

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
        at = passZeros(at, end, atEnd);
        continue;
      }
      // Every decision looks the same number of bytes ahead, or to the end
      // of the input: what salvage keeps does not hang on how the input
      // came in blocks.
      const auto left = static_cast<size_t>(end - at);
      if (!atEnd && left < kMostUndecided + kZeroRun) return at;
      const bool seesEnd = atEnd && left <= kMostUndecided;
      const uint8_t* const horizon = seesEnd ? end : at + kMostUndecided;
      at = synced_ ? follow(at, horizon, seesEnd) : findFraming(at, horizon, seesEnd);
    }
    if (atEnd && zeroRun_) endInZeros(offsetOf(end));
    if (atEnd) tellSkipped(offsetOf(end));
    return at;
  }

 private:
  // ---- The framing ----

  // A record a walk found: a data run as one, with its count.
  struct Found {
    const uint8_t* at;
    uint64_t count;
    // Of a data run: whether its first and last quaternions have unit
    // length.
    bool firstUnit = false;
    bool lastUnit = false;
    const uint8_t* end() const { return at + (*at == kDataRecord ? count * kDataRecordSize : kRecordSize[*at]); }
  };

  enum class Stop : uint8_t {
    kBroke,    // a byte that is no record type, or a record that cannot stand there
    kSuspect,  // a data record unlike the file's: its quaternion not of unit length
    kHorizon,  // as far as is looked at
    kEnd,      // the end of the input, perhaps in a record cut short
  };

  struct Walk {
    const uint8_t* end;
    Stop stop;
    FramingContext context;  // as the records walked leave it
  };

  uint64_t offsetOf(const uint8_t* byte) const { return offset_ + static_cast<uint64_t>(byte - begin_); }

  // Whether the record at `at` can stand in a framing, read with `context`;
  // updates the context with what it tells.
  bool holds(const uint8_t* at, FramingContext& context, const uint8_t* horizon, bool seesEnd) const {
    if (*at == kFileHeader) {
      const FileHeader header = Record<kFileHeader>::read(at + 1);
      if (!headerHolds(at, header, context, horizon, seesEnd)) return false;
      (void)tells(at, context);
      return true;
    }
    bool held = true;
    visitRecordBody(*at, at + 1, [&](auto body) { held = FramingRules<decltype(body)::kType>::holds(body, context); });
    if (held) (void)tells(at, context);
    return held;
  }

  // A header fits where it stands if it is the same logger's as before, or
  // if its time is near that of the markers after it (the first, or the
  // first two that count up a second): a new recording.
  bool headerHolds(const uint8_t* at, const FileHeader& header, const FramingContext& context, const uint8_t* horizon,
                   bool seesEnd, int nested = 0, std::optional<int64_t> runNow = std::nullopt) const {
    if (!plausibleFields(header)) return false;
    // Only the run's own logger vouches: two headers read off one misframing
    // of slowly changing values are alike by chance.
    if (nested == 0 && context.sameLogger(header)) return true;
    if (nested == 0) runNow = context.now();
    const auto near = [&](int64_t time) { return std::llabs(time - header.time) <= kMostHeaderSkew; };
    // A misframing of slowly changing values reads as a header and markers
    // of one and the same time, whatever it is, even markers that count up:
    // one marker near vouches only for a header of the run's time; another
    // needs two that count up a second with the header's rate of data
    // records between them, and without a marker it must be of the run's
    // time.
    const bool ofRun = !runNow || near(*runNow);
    const auto keepsRate = [&](uint64_t records) {
      const uint64_t slack = header.rate / 10 + 1;
      return records + slack >= header.rate && records <= uint64_t{header.rate} + slack;
    };
    std::optional<int32_t> first;
    std::optional<int32_t> previous;
    uint64_t dataSinceMarker = 0;
    const auto oneMarkerNear = [&] { return first && near(*first) && ofRun; };
    const auto noMarker = [&](bool enough) { return enough && ofRun; };
    FramingContext after;
    after.header = header;
    for (const uint8_t* record = at + kRecordSize[kFileHeader]; record < horizon;) {
      const uint8_t type = *record;
      if (type >= kRecordTypes) return oneMarkerNear();
      // Unbroken to the input's end: the framing itself vouches.
      if (static_cast<size_t>(horizon - record) < kRecordSize[type]) return seesEnd ? !first || near(*first) : oneMarkerNear();
      if (type == kFileHeader) {
        // A recording without a whole second, followed by another: this one
        // holds if that one does, where its first marker is of the header's
        // own second or the next. Bytes read out of step give times near one
        // another only roughly, and without markers they repeat themselves,
        // so they run past the nesting allowed.
        constexpr int kMostNested = 8;
        constexpr int64_t kMostMarkerAfterHeader = 1;
        if (oneMarkerNear()) return true;
        if (first) {
          const int64_t markerAfter = int64_t{*first} - int64_t{header.time};
          if (markerAfter < 0 || markerAfter > kMostMarkerAfterHeader) return false;
        }
        return nested < kMostNested &&
               headerHolds(record, Record<kFileHeader>::read(record + 1), after, horizon, seesEnd, nested + 1, runNow);
      }
      if (type == kSecondMarker) {
        const int32_t time = Record<kSecondMarker>::read(record + 1).time;
        if (previous && int64_t{time} == int64_t{*previous} + 1) {
          if (!near(*first) && !near(*previous)) return false;
          if (ofRun || keepsRate(dataSinceMarker)) return true;
          // A second without the rate's records, as a logger's first ones
          // may be while it starts: a later whole second may still vouch,
          // which a misframing as far on does not give by chance.
        }
        if (!first) first = time;
        previous = time;
        dataSinceMarker = 0;
      }
      if (type == kDataRecord) {
        const uint8_t* const runEnd = scanning::endOfDataRun(record, horizon);
        dataSinceMarker += static_cast<uint64_t>(runEnd - record) / kDataRecordSize;
        record = runEnd;
        continue;
      }
      if (!holds(record, after, horizon, seesEnd)) return oneMarkerNear();
      record += kRecordSize[type];
    }
    // No break as far as is looked: no marker, or the first of its time. A
    // stretch without a marker says something only when it is long.
    if (seesEnd) return !first || near(*first);
    if (first) return oneMarkerNear();
    return noMarker(static_cast<size_t>(horizon - at) >= kMostUndecided / 2);
  }

  // The file's first record, a header that begins the recording: it fits
  // where it stands, or its time is near that of the first anchor after it
  // (damage right after it may have broken what follows), or the framing
  // after it runs unbroken to the end of the input.
  bool headerBeginsFile(const uint8_t* at, const uint8_t* horizon, bool seesEnd) const {
    if (*at != kFileHeader || static_cast<size_t>(horizon - at) < kRecordSize[kFileHeader]) return false;
    const FileHeader header = Record<kFileHeader>::read(at + 1);
    if (!plausibleFields(header)) return false;
    FramingContext context = context_;
    if (holds(at, context, horizon, seesEnd)) return true;
    if (endsTheInput(walk(at + kRecordSize[kFileHeader], horizon, seesEnd, context), horizon, seesEnd)) return true;
    return markerNear(at + kRecordSize[kFileHeader], horizon, header.time);
  }

  // Whether a marker of about `time` lies in [from, horizon), on whatever
  // framing: damage may have broken the framing between.
  static bool markerNear(const uint8_t* from, const uint8_t* horizon, int64_t time) {
    for (const uint8_t* at = from; static_cast<size_t>(horizon - at) >= kRecordSize[kSecondMarker]; ++at) {
      if (*at == kSecondMarker && std::llabs(int64_t{Record<kSecondMarker>::read(at + 1).time} - time) <= kMostHeaderSkew) {
        return true;
      }
    }
    return false;
  }

  // Follows the framing from `at`, a record's start, as far as it holds.
  // `found`, when given, gets the records: each data run as one.
  Walk walk(const uint8_t* at, const uint8_t* horizon, bool seesEnd, FramingContext context,
            std::vector<Found>* found = nullptr) const {
    if (found != nullptr) found->clear();
    const uint8_t* record = at;
    while (record < horizon) {
      const uint8_t type = *record;
      if (type >= kRecordTypes) return {record, Stop::kBroke, context};
      if (static_cast<size_t>(horizon - record) < kRecordSize[type]) {
        return {record, seesEnd ? Stop::kEnd : Stop::kHorizon, context};
      }
      if (type == kDataRecord) {
        const uint8_t* const runEnd = scanning::endOfDataRun(record, horizon);
        const auto count = static_cast<uint64_t>(runEnd - record) / kDataRecordSize;
        const uint8_t* const last = runEnd - kDataRecordSize;
        const bool firstUnit = hasUnitLength(record + 1);
        const bool lastUnit = count == 1 ? firstUnit : hasUnitLength(last + 1);
        // Where the file's quaternions are of unit length, one that is not
        // ends a run: a record of another type hit, most likely.
        if (context.quats.holds()) {
          if (!firstUnit) return {record, Stop::kSuspect, context};
          if (!lastUnit) {
            if (found != nullptr && count > 1) found->push_back({record, count - 1, true, true});
            return {last, Stop::kSuspect, context};
          }
        }
        if (found != nullptr) found->push_back({record, count, firstUnit, lastUnit});
        record = runEnd;
        continue;
      }
      if (!holds(record, context, horizon, seesEnd)) {
        // A header is judged by what follows it: near the horizon, by more
        // than is looked at here.
        const bool undecided = type == kFileHeader && !seesEnd && static_cast<size_t>(horizon - record) < kMostUndecided / 2;
        return {record, undecided ? Stop::kHorizon : Stop::kBroke, context};
      }
      if (found != nullptr) found->push_back({record, 1, false, false});
      record += kRecordSize[type];
    }
    return {record, seesEnd ? Stop::kEnd : Stop::kHorizon, context};
  }

  // Whether the data records from `at` on are mostly unlike the file's
  // habit: its quaternions stopped being of unit length, and that is no
  // damage.
  bool habitChanged(const uint8_t* at, const uint8_t* horizon) const {
    constexpr uint64_t kLooked = 256;
    uint64_t looked = 0;
    uint64_t unit = 0;
    for (const uint8_t* record = at; record < horizon && looked < kLooked;) {
      const uint8_t type = *record;
      if (type >= kRecordTypes || static_cast<size_t>(horizon - record) < kRecordSize[type]) break;
      if (type == kDataRecord) {
        ++looked;
        if (hasUnitLength(record + 1)) ++unit;
      }
      record += kRecordSize[type];
    }
    return looked >= kLooked / 4 && unit * 2 < looked;
  }

  // In step with the framing at `at`: hands on what the framing vouches for,
  // and finds it again where it breaks. Returns where reading goes on.
  const uint8_t* follow(const uint8_t* at, const uint8_t* horizon, bool seesEnd) {
    const Walk walked = walk(at, horizon, seesEnd, context_, &found_);
    switch (walked.stop) {
      case Stop::kEnd:
        deliver(found_, at, walked.end);
        if (walked.end < horizon) view_.cutRecord(walked.end, static_cast<size_t>(horizon - walked.end), offsetOf(walked.end));
        return horizon;
      case Stop::kHorizon: return deliver(found_, at, walked.end - kVouchingBytes);
      case Stop::kSuspect:
        if (habitChanged(walked.end, horizon)) {
          context_.quats = QuaternionHabit{};
          return deliver(found_, at, walked.end);
        }
        break;
      case Stop::kBroke: break;
    }
    // What lies well before the break is kept; the rest is looked into
    // from there, as far ahead as any decision looks.
    const uint8_t* const trusted = deliver(found_, at, walked.end - kVouchingBytes);
    if (trusted > at) return trusted;
    if (startsZeros(walked.end, horizon, seesEnd)) {
      // The records before the zeros: all of them if the zeros begin where
      // a record ends (or are the card's unwritten end), those that vouch
      // if the zeros took the end of a record.
      const bool cleanCut = walked.end == at || walked.end[-1] != 0;
      const uint8_t* const vouched = cleanCut ? walked.end : vouchedEnds(found_, at, walked.end).back();
      deliver(found_, at, vouched);
      hold(vouched, walked.end);
      zeroRun_ = offsetOf(walked.end);
      return walked.end;
    }
    return repair(at, horizon, seesEnd);
  }

  // Hands on the records found from `start` (a walk's) that end by `limit`,
  // and returns where the last of them ends: `start` when none does.
  const uint8_t* deliver(const std::vector<Found>& records, const uint8_t* start, const uint8_t* limit) {
    // None whose bytes the file lost under its mapping: the read then ends
    // in an error. The walk that found them read every page they lie in.
    if (mapping_ != nullptr && mapping_->lostFrom() < limit) limit = std::max(start, mapping_->lostFrom());
    const uint8_t* end = start;
    bool told = false;
    for (const Found& record : records) {
      if (record.at >= limit) break;
      const bool data = *record.at == kDataRecord;
      const uint64_t count =
          data ? std::min<uint64_t>(record.count, static_cast<uint64_t>(limit - record.at) / kDataRecordSize) : 1;
      const uint8_t* const recordEnd = data ? record.at + count * kDataRecordSize : record.end();
      if (count == 0 || recordEnd > limit) break;
      if (!told) {
        tellSkipped(offsetOf(record.at));
        told = true;
      }
      if (data) {
        learnQuats(record, count);
        view_.dataRecords(record.at, static_cast<size_t>(count));
      } else {
        learnRecord(record.at);
        visitRecordBody(*record.at, record.at + 1, [&](auto body) { view_.record(body); });
      }
      end = recordEnd;
      if (count < record.count) break;
    }
    return end;
  }

  // Hands on the records of [from, to), which all stand, and learns from
  // them what later records are held to.
  void handOn(const uint8_t* from, const uint8_t* to) {
    for (const uint8_t* record = from; record < to;) {
      if (*record == kDataRecord) {
        const uint8_t* const runEnd = scanning::endOfDataRun(record, to);
        learnQuats(record, static_cast<uint64_t>(runEnd - record) / kDataRecordSize);
        record = runEnd;
        continue;
      }
      learnRecord(record);
      record += kRecordSize[*record];
    }
    handOnScanned(from, to);
  }

  void handOnScanned(const uint8_t* from, const uint8_t* to) {
    if (from >= to) return;
    tellSkipped(offsetOf(from));
    if (mapping_ != nullptr) {
      scanning::scanBlock(from, to, offsetOf(from), view_, scanning::MappingGuard{*mapping_});
    } else {
      scanning::scanBlock(from, to, offsetOf(from), view_, scanning::Unguarded{});
    }
  }

  // Every record until the habit is known, then the first and last of each
  // run: enough to follow it, at no cost to an undamaged file.
  void learnQuats(const uint8_t* records, uint64_t count) {
    if (!context_.quats.known()) {
      context_.quats.learn(records, count);
      return;
    }
    context_.quats.learn(records, 1);
    if (count > 1) context_.quats.learn(records + (count - 1) * kDataRecordSize, 1);
  }
  // The same from what a walk found of a run, `count` of whose records are
  // handed on.
  void learnQuats(const Found& run, uint64_t count) {
    if (!context_.quats.known() || count < run.count) {
      learnQuats(run.at, count);
      return;
    }
    context_.quats.note(run.firstUnit);
    if (count > 1) context_.quats.note(run.lastUnit);
  }
  void learnRecord(const uint8_t* record) { (void)tells(record, context_); }

  // ---- Anchors ----

  // The marker at `at` from which two whole seconds follow, each a second
  // after the one before, or one whole second to the end of the input; with
  // the time of the marker.
  std::optional<int32_t> markerAnchors(const uint8_t* at, const uint8_t* horizon, bool seesEnd) const {
    if (*at != kSecondMarker || static_cast<size_t>(horizon - at) < kRecordSize[kSecondMarker]) return std::nullopt;
    FramingContext context = context_;
    const int32_t time = Record<kSecondMarker>::read(at + 1).time;
    const uint8_t* second = at;
    for (int whole = 0; whole < 2; ++whole) {
      context.setMarker(Record<kSecondMarker>::read(second + 1).time);
      const Walk walked = walkSecond(second + kRecordSize[kSecondMarker], horizon, seesEnd, context);
      if (walked.stop == Stop::kEnd) {
        // The input's last second: a whole second before it, or a time a
        // little after the last marker kept.
        const bool followsKept = context_.hasMarker() && time > context_.markerTime && time - context_.markerTime <= 60;
        return (whole > 0 || followsKept) && walked.end == horizon ? std::optional(time) : std::nullopt;
      }
      if (walked.stop != Stop::kBroke || *walked.end != kSecondMarker) return std::nullopt;
      if (Record<kSecondMarker>::read(walked.end + 1).time != context.markerTime + 1) return std::nullopt;
      second = walked.end;
    }
    return time;
  }

  // One second of an anchor: its records up to the next marker, held to
  // everything a record can be held to.
  Walk walkSecond(const uint8_t* at, const uint8_t* horizon, bool seesEnd, FramingContext context) const {
    uint64_t data = 0;
    const uint64_t most = context.header ? uint64_t{context.header->rate} * 8 + 64 : UINT64_MAX;
    for (const uint8_t* record = at; record < horizon;) {
      const uint8_t type = *record;
      if (type >= kRecordTypes) return {record, Stop::kBroke, context};
      if (static_cast<size_t>(horizon - record) < kRecordSize[type]) {
        return {record, seesEnd ? Stop::kEnd : Stop::kHorizon, context};
      }
      if (type == kSecondMarker) return {record, Stop::kBroke, context};
      if (type == kDataRecord) {
        const uint8_t* const runEnd = scanning::endOfDataRun(record, horizon);
        if (context.quats.holds() && (!hasUnitLength(record + 1) || !hasUnitLength(runEnd - kDataRecordSize + 1))) {
          return {record, Stop::kBroke, context};
        }
        data += static_cast<uint64_t>(runEnd - record) / kDataRecordSize;
        if (data > most) return {record, Stop::kBroke, context};
        record = runEnd;
        continue;
      }
      if (type == kFileHeader || !holds(record, context, horizon, seesEnd)) return {record, Stop::kBroke, context};
      record += kRecordSize[type];
    }
    return {horizon, seesEnd ? Stop::kEnd : Stop::kHorizon, context};
  }

  // A header that begins a recording: it fits where it stands, and the
  // framing from it reaches a marker that anchors. The file's own first
  // header, or one of the same logger, also stands where the framing after
  // it runs unbroken to the end of the input.
  bool headerAnchors(const uint8_t* at, const uint8_t* horizon, bool seesEnd) const {
    if (*at != kFileHeader || static_cast<size_t>(horizon - at) < kRecordSize[kFileHeader]) return false;
    FramingContext context = context_;
    const bool known = context.sameLogger(Record<kFileHeader>::read(at + 1));
    if (!holds(at, context, horizon, seesEnd)) return false;
    const Walk walked = walk(at + kRecordSize[kFileHeader], horizon, seesEnd, context);
    if (endsTheInput(walked, horizon, seesEnd) && known) return true;
    for (const uint8_t* record = at + kRecordSize[kFileHeader]; record < walked.end;) {
      if (*record == kSecondMarker) return markerAnchors(record, horizon, seesEnd).has_value();
      record += *record == kDataRecord ? kDataRecordSize : kRecordSize[*record];
    }
    return false;
  }

  // A file that begins with a marker and runs unbroken to its end: a
  // recording too short for whole seconds, read on from another.
  bool wholeFileFrom(const uint8_t* at, const uint8_t* horizon, bool seesEnd) const {
    return offsetOf(at) == 0 && *at == kSecondMarker && endsTheInput(walk(at, horizon, seesEnd, context_), horizon, seesEnd);
  }

  // A walk that reached the end of the input, or the zeros of a card's
  // unwritten end.
  static bool endsTheInput(const Walk& walked, const uint8_t* horizon, bool seesEnd) {
    if (walked.stop == Stop::kEnd) return true;
    return walked.stop == Stop::kBroke && seesEnd && static_cast<size_t>(horizon - walked.end) >= kRecordSize[kFileHeader] &&
           tailIsZeros(walked.end, horizon);
  }

  // The first anchor in [from, horizon).
  const uint8_t* findAnchor(const uint8_t* from, const uint8_t* horizon, bool seesEnd) const {
    for (const uint8_t* at = from; at < horizon; ++at) {
      if ((*at == kSecondMarker && markerAnchors(at, horizon, seesEnd)) || headerAnchors(at, horizon, seesEnd)) return at;
    }
    return nullptr;
  }

  // ---- Finding the framing again ----

  // Out of step, or at the file's start: reading goes on from the first
  // anchor, with the records that lead exactly into it.
  const uint8_t* findFraming(const uint8_t* at, const uint8_t* horizon, bool seesEnd) {
    if (offsetOf(at) == 0 && !pendingSkip_) {
      if (headerBeginsFile(at, horizon, seesEnd)) {
        handOn(at, at + kRecordSize[kFileHeader]);
        synced_ = true;
        return at + kRecordSize[kFileHeader];
      }
      if (wholeFileFrom(at, horizon, seesEnd)) {
        synced_ = true;
        return at;
      }
    }
    const uint8_t* const anchor = findAnchor(at, horizon, seesEnd);
    if (anchor == nullptr) return giveUp(at, horizon, seesEnd);
    explain(at, anchor, false);
    synced_ = true;
    return anchor;
  }

  // The framing broke after `trusted`: the records between it and the next
  // anchor are looked into.
  const uint8_t* repair(const uint8_t* trusted, const uint8_t* horizon, bool seesEnd) {
    const uint8_t* const anchor = findAnchor(trusted + 1, horizon, seesEnd);
    if (anchor == nullptr) {
      const uint8_t* const kept = keepPrefix(trusted, horizon, seesEnd);
      synced_ = false;
      return giveUp(kept, horizon, seesEnd);
    }
    explain(trusted, anchor, true);
    synced_ = true;
    return anchor;
  }

  // No anchor within the bytes looked at: those of the first half are
  // skipped, or all of them at the end of the input.
  const uint8_t* giveUp(const uint8_t* at, const uint8_t* horizon, bool seesEnd) {
    startSkip(at);
    if (!seesEnd) return at + std::max<ptrdiff_t>((horizon - at) / 2, 1);
    // Zeros that end the input are the card's unwritten end, not damage.
    const auto last = std::find_if(std::make_reverse_iterator(horizon), std::make_reverse_iterator(at),
                                   [](uint8_t b) { return b != 0; });
    const uint8_t* const zeros = last.base();
    if (static_cast<size_t>(horizon - zeros) >= kRecordSize[kFileHeader]) {
      tellSkipped(offsetOf(zeros));
      zeroRun_ = offsetOf(zeros);
      return zeros;
    }
    return horizon;
  }

  // Keeps the records of the framing from `trusted` that vouch for being
  // there, up to the break; returns where they end.
  const uint8_t* keepPrefix(const uint8_t* trusted, const uint8_t* horizon, bool seesEnd) {
    const Walk walked = walk(trusted, horizon, seesEnd, context_, &found_);
    return deliver(found_, trusted, vouchedEnds(found_, trusted, walked.end).back());
  }

  // Where the records found from `start` may end next to skipped bytes:
  // `start`, and the end of each record before `limit` that vouches.
  std::vector<const uint8_t*> vouchedEnds(const std::vector<Found>& records, const uint8_t* start,
                                          const uint8_t* limit) const {
    std::vector<const uint8_t*> ends{start};
    FramingContext context = context_;
    const uint8_t* previousData = nullptr;
    for (const Found& record : records) {
      if (record.at >= limit) break;
      if (*record.at == kDataRecord) {
        for (uint64_t i = 0; i < record.count; ++i) {
          const uint8_t* const data = record.at + i * kDataRecordSize;
          if (data + kDataRecordSize > limit) return ends;
          if (dataVouches(data, previousData, context)) ends.push_back(data + kDataRecordSize);
          previousData = data;
        }
        continue;
      }
      if (record.end() > limit) break;
      const FramingContext before = context;
      (void)tells(record.at, context);
      if (vouches(record.at, before)) ends.push_back(record.end());
    }
    return ends;
  }

  // A data record vouches where its quaternion has unit length (if the
  // file's have) and its values run on from its neighbour's.
  static bool dataVouches(const uint8_t* data, const uint8_t* neighbour, const FramingContext& context) {
    if (context.quats.holds() && !hasUnitLength(data + 1)) return false;
    if (neighbour != nullptr) return runOn(data + 1, neighbour + 1);
    return context.quats.holds();
  }

  // What a record that stands tells of the context.
  static bool tells(const uint8_t* at, FramingContext& context) {
    if (*at == kSecondMarker) context.setMarker(Record<kSecondMarker>::read(at + 1).time);
    if (*at == kFileHeader) {
      context.header = Record<kFileHeader>::read(at + 1);
      context.forgetMarker();
    }
    return true;
  }

  // Whether a record other than data vouches for standing right before
  // damage, with the context before it. Next to damage a header is no more
  // than its fields.
  static bool vouches(const uint8_t* at, const FramingContext& before) {
    bool vouched = false;
    if (*at == kFileHeader) return vouched;
    visitRecordBody(*at, at + 1, [&](auto body) { vouched = FramingRules<decltype(body)::kType>::vouches(body, before); });
    return vouched;
  }

  // Between `from` (where the framing was last trusted, or out of step) and
  // an anchor: keeps the records that follow on from `from` (when
  // `followsOn`) and those that lead exactly into the anchor, each vouched
  // for next to what is skipped, and skips the bytes between.
  void explain(const uint8_t* from, const uint8_t* anchor, bool followsOn) {
    const auto length = static_cast<size_t>(anchor - from);
    const TimesAround times = timesAround(anchor);
    // leads_[p]: the records from from + p lead exactly into the anchor.
    leads_.assign(length + 1, 0);
    leads_[length] = 1;
    vouched_.assign(length + 1, 0);
    vouched_[length] = 1;
    for (size_t p = length; p-- > 0;) {
      const uint8_t* const at = from + p;
      const size_t size = leadingSize(at, anchor, times);
      if (size == 0 || !leads_[p + size]) continue;
      leads_[p] = 1;
      vouched_[p] = vouchesLeading(at, p + size < length ? at + size : nullptr, vouched_[p + size] != 0, times) ? 1 : 0;
    }
    // The first place at or after each p from which vouched records lead
    // into the anchor.
    firstFrom_.assign(length + 1, length);
    for (size_t p = length; p-- > 0;) firstFrom_[p] = vouched_[p] && leads_[p] ? p : firstFrom_[p + 1];
    // Unbroken from `from` to the anchor: nothing to skip.
    if (leads_[0] && (followsOn || offsetOf(from) == 0 || !pendingSkip_)) {
      handOn(from, anchor);
      return;
    }
    // The records that follow on: where they may end.
    std::vector<const uint8_t*> ends{from};
    if (followsOn) {
      const Walk walked = walk(from, anchor, false, context_, &found_);
      ends = vouchedEnds(found_, from, walked.end);
    }
    // The split that keeps the most bytes.
    const uint8_t* bestEnd = from;
    size_t bestStart = firstFrom_[0];
    size_t bestKept = length - bestStart;
    for (const uint8_t* end : ends) {
      const auto p = static_cast<size_t>(end - from);
      const size_t start = firstFrom_[p];
      const size_t kept = p + (length - start);
      if (kept > bestKept || (kept == bestKept && end > bestEnd)) {
        bestKept = kept;
        bestEnd = end;
        bestStart = start;
      }
    }
    handOn(from, bestEnd);
    startSkip(bestEnd);
    if (bestStart < length) handOn(from + bestStart, anchor);
  }

  TimesAround timesAround(const uint8_t* anchor) const {
    constexpr int64_t kAny = int64_t{1} << 40;
    TimesAround times{-kAny, kAny};
    std::optional<int64_t> high;
    if (*anchor == kSecondMarker) high = Record<kSecondMarker>::read(anchor + 1).time;
    if (*anchor == kFileHeader) high = Record<kFileHeader>::read(anchor + 1).time;
    if (const std::optional<int64_t> now = context_.now(); now) {
      times.low = *now;
    } else if (high) {
      times.low = *high - kMostGapSeconds;
    }
    if (high) times.high = *high;
    if (times.high < times.low) times.low = times.high - kMostGapSeconds;
    return times;
  }

  // The size of the record at `at` if it can lead into the anchor: it fits
  // before it, and stands amid damage; 0 otherwise.
  size_t leadingSize(const uint8_t* at, const uint8_t* anchor, const TimesAround& times) const {
    const uint8_t type = *at;
    if (type >= kRecordTypes || static_cast<size_t>(anchor - at) < kRecordSize[type]) return 0;
    const size_t size = kRecordSize[type];
    if (type == kDataRecord) return !context_.quats.holds() || hasUnitLength(at + 1) ? size : 0;
    if (type == kFileHeader) {
      const FileHeader header = Record<kFileHeader>::read(at + 1);
      const bool fits = plausibleFields(header) &&
                        (context_.sameLogger(header) || std::llabs(int64_t{header.time} - times.high) <= kMostHeaderSkew);
      return fits ? size : 0;
    }
    bool held = false;
    visitRecordBody(type, at + 1, [&](auto body) {
      held = FramingRules<decltype(body)::kType>::holdsAmidDamage(body, context_, times);
    });
    return held ? size : 0;
  }

  // Whether a record that leads into the anchor vouches for standing next
  // to skipped bytes, with the record after it.
  bool vouchesLeading(const uint8_t* at, const uint8_t* next, bool nextVouched, const TimesAround& times) const {
    if (*at == kDataRecord) return dataVouches(at, next != nullptr && *next == kDataRecord ? next : nullptr, context_);
    if (*at == kFileHeader) return leadingSize(at, at + kRecordSize[kFileHeader], times) > 0;
    const NextRecord after{next != nullptr, next != nullptr && *next == kDataRecord, nextVouched};
    bool vouched = false;
    visitRecordBody(*at, at + 1, [&](auto body) {
      vouched = FramingRules<decltype(body)::kType>::vouchesAmidDamage(body, context_, times, after);
    });
    return vouched;
  }

  // ---- Zeros: a sector wiped, or the end of a card never written ----

  // Whether `at` begins a run of zeros long enough not to be a record's, or
  // zeros that end the input.
  static bool startsZeros(const uint8_t* at, const uint8_t* end, bool atEnd) {
    const auto left = static_cast<size_t>(end - at);
    if (left >= kZeroRun) return std::all_of(at, at + kZeroRun, [](uint8_t b) { return b == 0; });
    return atEnd && left >= kRecordSize[kFileHeader] && tailIsZeros(at, end);
  }
  static bool tailIsZeros(const uint8_t* at, const uint8_t* end) {
    return at < end && std::all_of(at, end, [](uint8_t b) { return b == 0; });
  }


  // The records between the last that vouched and a run of zeros: kept if
  // the zeros are the card's unwritten end, skipped if a sector was wiped.
  void hold(const uint8_t* from, const uint8_t* to) {
    held_.assign(from, to);
    heldOffset_ = offsetOf(from);
  }
  void releaseHeld() {
    if (held_.empty()) return;
    scanning::scanBlock(held_.data(), held_.data() + held_.size(), heldOffset_, view_, scanning::Unguarded{});
    held_.clear();
  }
  void dropHeld() {
    if (held_.empty()) return;
    if (!pendingSkip_) pendingSkip_ = heldOffset_;
    held_.clear();
  }

  // Passes a run of zeros: to the end of the input (the unwritten end of a
  // card), or to where the framing is found again.
  const uint8_t* passZeros(const uint8_t* at, const uint8_t* end, bool atEnd) {
    const uint8_t* const nonZero = std::find_if(at, end, [](uint8_t b) { return b != 0; });
    if (nonZero == end) {
      if (atEnd) {
        releaseHeld();
        endInZeros(offsetOf(end));
      }
      return end;
    }
    // The framing is found again after it, or at a new recording's header,
    // whose type byte and more may be zeros.
    dropHeld();
    if (!pendingSkip_) pendingSkip_ = zeroRun_;
    zeroRun_.reset();
    synced_ = false;
    return nonZero - std::min<ptrdiff_t>(nonZero - at, kRecordSize[kFileHeader] - 1);
  }

  // Zeros from a record's start to the end of the input: the card's end
  // that was never written.
  void endInZeros(uint64_t end) {
    const uint64_t start = *zeroRun_;
    zeroRun_.reset();
    view_.unwritten(end - start, start);
  }

  // ---- What is told ----

  void startSkip(const uint8_t* at) {
    if (!pendingSkip_) pendingSkip_ = offsetOf(at);
  }
  void tellSkipped(uint64_t to) {
    if (!pendingSkip_) return;
    const uint64_t from = *pendingSkip_;
    pendingSkip_.reset();
    if (to > from) view_.skipped(from, to - from);
  }

  View& view_;
  FramingContext context_;
  const uint8_t* begin_ = nullptr;
  uint64_t offset_ = 0;
  const MappedFile* mapping_ = nullptr;
  bool synced_ = false;
  std::optional<uint64_t> zeroRun_;      // where a run of zeros began
  std::optional<uint64_t> pendingSkip_;  // where skipped bytes not yet told begin
  std::vector<Found> found_;
  std::vector<uint8_t> held_;
  uint64_t heldOffset_ = 0;
  std::vector<uint8_t> leads_;
  std::vector<uint8_t> vouched_;
  std::vector<size_t> firstFrom_;
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
    view.piece(bytes.begin, offset);
    rest = salvager.process(bytes.begin, bytes.end, offset, atEnd, input.mapping());
    if (atEnd) return {};
    offset += static_cast<uint64_t>(rest - bytes.begin);
  }
}

}  // namespace zolt

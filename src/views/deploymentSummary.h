// Gathering a deployment summary: the figures of a file, and of the run the
// file belongs to, updated record by record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "core/recordCatalogue.h"
#include "core/timedView.h"
#include "views/squaredNorms.h"
#include "zolt/summary.h"

namespace zolt {

// A summary and what it must remember of the records before.
struct SummaryTally {
  Summary summary;

  void fileHeader(uint16_t headerRate);
  // A second that follows `previous` (none for the first), which held
  // `previousSamples` data records.
  void second(int32_t time, std::optional<int32_t> previous, uint64_t previousSamples);
  void dataRecords(size_t count, const SquaredNorms& norms);
  void unknownByte(uint64_t offset);
};

// Feeds every record to a file's tally and to its run's.
class SummaryView : public TimedViewBase {
 public:
  SummaryView(SummaryTally& file, SummaryTally& run);

  void record(TimedRecord<kFileHeader> record);
  void second(const SecondStep& step);
  void samples(const Samples& samples);
  void record(TimedRecord<kPressureRecord> record);
  void record(TimedRecord<kSystemRecord> record);
  // Every other record is counted, and its bytes.
  template <RecordType Type>
  void record(TimedRecord<Type> /*record*/) {
    both(Type, [](SummaryTally&) {});
  }
  void unknownType(uint8_t type, uint64_t offset);
  void cutRecord(const uint8_t* bytes, size_t size, uint64_t offset);
  void unwritten(uint64_t size, uint64_t offset);
  void skipped(uint64_t offset, uint64_t size);

 private:
  template <typename Update>
  void both(uint8_t type, Update update) {
    for (SummaryTally* tally : {&file_, &run_}) {
      tally->summary.bytes += kRecordSize[type];
      ++tally->summary.records[type];
      update(*tally);
    }
  }

  SummaryTally& file_;
  SummaryTally& run_;
  uint64_t runOffset_;  // where this file starts in the run's bytes
};

}  // namespace zolt

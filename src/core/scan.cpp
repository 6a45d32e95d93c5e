// The public scan: each record decoded into its typed value for the caller's
// sink, with its offset.
#include "core/readInput.h"
#include "core/recordCatalogue.h"
#include "zolt/records.h"

namespace zolt {

namespace {

class TypedView : public TimedViewBase {
 public:
  explicit TypedView(RecordSink& sink) : sink_(sink) {}

  template <RecordType Type>
  void record(TimedRecord<Type> record) {
    sink_.take(record.read(), record.offset);
  }
  void samples(const Samples& samples) {
    for (size_t i = 0; i < samples.count; ++i) {
      sink_.take(RecordBody<kDataRecord>{samples.records + i * kDataRecordSize + 1}.read(),
                 samples.offset + i * kDataRecordSize);
    }
  }
  void unknownType(uint8_t type, uint64_t offset) { sink_.unknownType(type, offset); }
  void cutRecord(const uint8_t* bytes, size_t size, uint64_t offset) { sink_.cutRecord(bytes[0], size, offset); }
  void unwritten(uint64_t size, uint64_t offset) { sink_.unwritten(size, offset); }
  void skipped(uint64_t offset, uint64_t size) { sink_.skipped(offset, size); }

 private:
  RecordSink& sink_;
};

}  // namespace

FileOutcome scan(const Input& input, RecordSink& sink, const ScanOptions& options) {
  TypedView view(sink);
  RunClock clock;
  return readInput(input, clock, view, options.keepGoing, options.salvage);
}

}  // namespace zolt

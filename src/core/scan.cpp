// The public scan: each record decoded into its typed value for the caller's
// sink, with its offset.
#include "core/readInput.h"
#include "core/recordCatalogue.h"
#include "zolt/records.h"

namespace zolt {

namespace {

class TypedView {
 public:
  explicit TypedView(RecordSink& sink) : sink_(sink) {}

  void piece(const uint8_t* begin, uint64_t offset) {
    begin_ = begin;
    offset_ = offset;
  }
  void record(RecordBody<kFileHeader> body) { sink_.fileHeader(body.read(), offsetOf(body)); }
  void record(RecordBody<kSecondMarker> body) { sink_.secondMarker(body.read(), offsetOf(body)); }
  void dataRecords(const uint8_t* records, size_t count) {
    for (const uint8_t* record = records; count > 0; --count, record += kDataRecordSize) {
      sink_.data(RecordBody<kDataRecord>{record + 1}.read(), offsetOf(record));
    }
  }
  void record(RecordBody<kPressureRecord> body) { sink_.pressure(body.read(), offsetOf(body)); }
  void record(RecordBody<kIndexRecord> body) { sink_.index(body.read(), offsetOf(body)); }
  void record(RecordBody<kSystemRecord> body) { sink_.system(body.read(), offsetOf(body)); }
  void unknownType(uint8_t type, uint64_t offset) { sink_.unknownType(type, offset); }
  void cutRecord(const uint8_t* bytes, size_t size, uint64_t offset) { sink_.cutRecord(bytes[0], size, offset); }
  void unwritten(uint64_t size, uint64_t offset) { sink_.unwritten(size, offset); }
  void skipped(uint64_t offset, uint64_t size) { sink_.skipped(offset, size); }

 private:
  uint64_t offsetOf(const uint8_t* record) const { return offset_ + static_cast<uint64_t>(record - begin_); }
  template <RecordType Type>
  uint64_t offsetOf(RecordBody<Type> body) const {
    return offsetOf(body.bytes - 1);
  }

  RecordSink& sink_;
  const uint8_t* begin_ = nullptr;
  uint64_t offset_ = 0;
};

}  // namespace

FileOutcome scan(const Input& input, RecordSink& sink, const ScanOptions& options) {
  TypedView view(sink);
  return readInput(input, view, options.keepGoing, options.salvage);
}

}  // namespace zolt

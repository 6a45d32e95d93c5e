// The public scan: each record decoded into its typed value for the caller's
// sink, with its offset.
#include "core/readInput.h"
#include "core/recordFormat.h"
#include "zolt/records.h"

namespace zolt {

size_t recordSize(uint8_t type) { return type < kRecordTypes ? kRecordSize[type] : 0; }

namespace {

class TypedView {
 public:
  explicit TypedView(RecordSink& sink) : sink_(sink) {}

  void piece(const uint8_t* begin, uint64_t offset) {
    begin_ = begin;
    offset_ = offset;
  }
  void fileHeader(const uint8_t* body) { sink_.fileHeader(readFileHeader(body), offsetOf(body - 1)); }
  void secondMarker(const uint8_t* body) { sink_.secondMarker({readMarkerTime(body)}, offsetOf(body - 1)); }
  void dataRecords(const uint8_t* records, size_t count) {
    for (const uint8_t* record = records; count > 0; --count, record += kDataRecordSize) {
      sink_.data(readData(record + 1), offsetOf(record));
    }
  }
  void pressure(const uint8_t* body) { sink_.pressure({readPressureCounts(body)}, offsetOf(body - 1)); }
  void index(const uint8_t* body) { sink_.index(readIndex(body), offsetOf(body - 1)); }
  void system(const uint8_t* body) { sink_.system(readSystem(body), offsetOf(body - 1)); }
  void unknownType(uint8_t type, uint64_t offset) { sink_.unknownType(type, offset); }
  void cutRecord(const uint8_t* bytes, size_t size, uint64_t offset) { sink_.cutRecord(bytes[0], size, offset); }
  void unwritten(uint64_t size, uint64_t offset) { sink_.unwritten(size, offset); }

 private:
  uint64_t offsetOf(const uint8_t* record) const { return offset_ + static_cast<uint64_t>(record - begin_); }

  RecordSink& sink_;
  const uint8_t* begin_ = nullptr;
  uint64_t offset_ = 0;
};

}  // namespace

FileOutcome scan(const Input& input, RecordSink& sink, const KeepGoing& keepGoing) {
  TypedView view(sink);
  return readInput(input, view, keepGoing);
}

}  // namespace zolt

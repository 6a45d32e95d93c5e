// Walks a record file and hands each record to a view: the one loop over the
// input, which knows nothing of what the view makes of it.
//
// A view is any type with these members; each body starts after the type
// byte, and offsets count bytes from the start of the file:
//
//   void fileHeader(const uint8_t* body);
//   void secondMarker(const uint8_t* body);
//   void dataRecords(const uint8_t* records, size_t count);  // whole records, type byte first
//   void pressure(const uint8_t* body);
//   void index(const uint8_t* body);
//   void system(const uint8_t* body);
//   void unknownType(uint8_t type, uint64_t offset);
//   void cutRecord(const uint8_t* bytes, size_t size, uint64_t offset);  // the input ended inside it
//
// and, if it wants them:
//
//   Error failure() const;  // asked between pieces: an error ends the scan
//   void piece(const uint8_t* begin, uint64_t offset);  // where each piece starts
//
// The view is a template parameter, so each call is made directly and the
// loop costs no more than if it printed the report itself.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/inputBlocks.h"
#include "core/recordFormat.h"
#include "zolt/records.h"

namespace zolt {

namespace scanning {

// The end of the run of whole data records that starts at `record`.
inline const uint8_t* endOfDataRun(const uint8_t* record, const uint8_t* end) {
  // Four at a time while the run lasts: one test instead of four.
  constexpr std::ptrdiff_t kStride = 4 * kDataRecordSize;
  while (end - record >= kStride &&
         ((record[0] ^ kDataRecord) | (record[kDataRecordSize] ^ kDataRecord) |
          (record[2 * kDataRecordSize] ^ kDataRecord) | (record[3 * kDataRecordSize] ^ kDataRecord)) == 0) {
    record += kStride;
  }
  while (end - record >= static_cast<std::ptrdiff_t>(kDataRecordSize) && *record == kDataRecord) {
    record += kDataRecordSize;
  }
  return record;
}

// Hands over every whole record and unknown type byte in [at, end) and
// returns where the first incomplete record starts (`end` when none).
template <typename View>
const uint8_t* scanBlock(const uint8_t* at, const uint8_t* const end, uint64_t offset, View& view) {
  const uint8_t* const begin = at;
  while (at < end) {
    const uint8_t type = *at;
    if (type >= kRecordTypes) {
      view.unknownType(type, offset + static_cast<uint64_t>(at - begin));
      ++at;
      continue;
    }
    if (static_cast<size_t>(end - at) < kRecordSize[type]) break;
    const uint8_t* const body = at + 1;
    switch (type) {
      case kFileHeader: view.fileHeader(body); break;
      case kSecondMarker: view.secondMarker(body); break;
      case kDataRecord: {
        const uint8_t* const runEnd = endOfDataRun(at, end);
        view.dataRecords(at, static_cast<size_t>(runEnd - at) / kDataRecordSize);
        at = runEnd;
        continue;
      }
      case kPressureRecord: view.pressure(body); break;
      case kIndexRecord: view.index(body); break;
      default: view.system(body); break;
    }
    at += kRecordSize[type];
  }
  return at;
}

}  // namespace scanning

// Hands every record of `input` to `view`, in order, and tells why the
// scan ended early, if it did: a failed read, the view's failure(), or the
// caller's wish to stop. A record cut short by the end of the input goes to
// the view's cutRecord.
template <typename View>
Error scanRecords(InputBlocks& input, View& view, const KeepGoing& keepGoing = {}) {
  uint64_t offset = 0;
  const uint8_t* rest = nullptr;
  for (;;) {
    if constexpr (requires { view.failure(); }) {
      if (const Error failure = view.failure(); failure.failed()) return failure;
    }
    if (keepGoing && !keepGoing()) return {Errc::kStopped, 0};
    const InputBlocks::Bytes bytes = input.next(rest);
    const auto size = static_cast<size_t>(bytes.end - bytes.begin);
    if (input.ended()) {
      if (size > 0) view.cutRecord(bytes.begin, size, offset);
      return input.error();
    }
    if constexpr (requires { view.piece(bytes.begin, offset); }) view.piece(bytes.begin, offset);
    rest = scanning::scanBlock(bytes.begin, bytes.end, offset, view);
    offset += static_cast<uint64_t>(rest - bytes.begin);
  }
}

// Hands one whole record to the view as the scanner would have.
template <typename View>
void deliverRecord(const uint8_t* record, View& view) {
  scanning::scanBlock(record, record + kRecordSize[*record], 0, view);
}

}  // namespace zolt

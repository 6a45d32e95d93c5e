// Walks a record file and hands each record to a view: the one loop over the
// input, which knows nothing of what the view makes of it.
//
// A view is a type that meets RecordView below: it takes every record type
// of the catalogue as a RecordBody (a body starts after the type byte),
// runs of whole data records at once, type bytes that name no record and a
// record the end of the input cut short. If it wants them, it also has
//
//   Error failure() const;  // asked between pieces: an error ends the scan
//   void piece(const uint8_t* begin, uint64_t offset);  // where each piece starts
//
// The view is a template parameter, so each call is made directly and the
// loop costs no more than if it printed the report itself. A view that must
// show every record has no catch-all member, so that a record type added to
// the catalogue does not build until the view handles it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>

#include "core/inputBlocks.h"
#include "core/recordCatalogue.h"
#include "zolt/records.h"

namespace zolt {

template <typename View, size_t... Types>
constexpr bool takesEachBody(std::index_sequence<Types...> /*types*/) {
  return ((Types == kDataRecord ||
           requires(View& view) { view.record(RecordBody<static_cast<RecordType>(Types)>{nullptr}); }) &&
          ...);
}

template <typename View>
concept RecordView = takesEachBody<View>(std::make_index_sequence<kRecordTypes>{}) &&
                     requires(View& view, const uint8_t* bytes, size_t count, uint64_t offset, uint8_t type) {
                       view.dataRecords(bytes, count);  // whole records, type byte first
                       view.unknownType(type, offset);
                       view.cutRecord(bytes, count, offset);  // the input ended inside it
                     };

namespace scanning {

// The end of the run of whole data records that starts at `record`.
inline const uint8_t* endOfDataRun(const uint8_t* record, const uint8_t* end) {
  // Four at a time while the run lasts: one test instead of four. The
  // processor fetches ahead by itself only within a page, and a file's
  // pages lie anywhere: asking a page ahead hides the wait at each one.
  constexpr std::ptrdiff_t kStride = 4 * kDataRecordSize;
  constexpr std::ptrdiff_t kPrefetchDistance = 4096;
  while (end - record >= kStride &&
         ((record[0] ^ kDataRecord) | (record[kDataRecordSize] ^ kDataRecord) |
          (record[2 * kDataRecordSize] ^ kDataRecord) | (record[3 * kDataRecordSize] ^ kDataRecord)) == 0) {
    __builtin_prefetch(record + kPrefetchDistance);
    record += kStride;
  }
  while (end - record >= static_cast<std::ptrdiff_t>(kDataRecordSize) && *record == kDataRecord) {
    record += kDataRecordSize;
  }
  return record;
}

// Bytes that are simply there.
struct Unguarded {
  static bool holds(const uint8_t* /*last*/) { return true; }
  static const uint8_t* lostFrom() { return nullptr; }  // never asked
};

// Bytes of a mapping, whose pages the file may lose under the scan: no
// record is handed over unless its last byte can be read as the file's own.
struct MappingGuard {
  const MappedFile& file;
  bool holds(const uint8_t* last) const { return file.holds(last); }
  const uint8_t* lostFrom() const { return file.lostFrom(); }
};

// Hands over every whole record and unknown type byte in [at, end) and
// returns where the first incomplete record starts (`end` when none), or
// the first record the guard does not hold.
template <RecordView View, typename Guard>
const uint8_t* scanBlock(const uint8_t* at, const uint8_t* const end, uint64_t offset, View& view,
                         const Guard& guard) {
  const uint8_t* const begin = at;
  while (at < end) {
    const uint8_t type = *at;
    if (type >= kRecordTypes) {
      if (!guard.holds(at)) return at;
      view.unknownType(type, offset + static_cast<uint64_t>(at - begin));
      ++at;
      continue;
    }
    if (static_cast<size_t>(end - at) < kRecordSize[type]) break;
    if (!guard.holds(at + kRecordSize[type] - 1)) return at;
    if (type == kDataRecord) {
      const uint8_t* runEnd = endOfDataRun(at, end);
      if (!guard.holds(runEnd - 1)) {
        runEnd = at + static_cast<size_t>(guard.lostFrom() - at) / kDataRecordSize * kDataRecordSize;
      }
      view.dataRecords(at, static_cast<size_t>(runEnd - at) / kDataRecordSize);
      at = runEnd;
      continue;
    }
    visitRecordBody(type, at + 1, [&](auto body) { view.record(body); });
    at += kRecordSize[type];
  }
  return at;
}

}  // namespace scanning

// Why a read should stop before its next piece, if it should: the view's
// failure(), or the caller's wish.
template <typename View>
Error reasonToStop(const View& view, const KeepGoing& keepGoing) {
  if constexpr (requires { view.failure(); }) {
    if (Error failure = view.failure(); failure.failed()) return failure;
  }
  if (keepGoing && !keepGoing()) return {Errc::kStopped, 0};
  return {};
}

// Hands every record of `input` to `view`, in order, and tells why the
// scan ended early, if it did: a failed read, the view's failure(), or the
// caller's wish to stop. A record cut short by the end of the input goes to
// the view's cutRecord.
template <RecordView View>
Error scanRecords(InputBlocks& input, View& view, const KeepGoing& keepGoing = {}) {
  uint64_t offset = 0;
  const uint8_t* rest = nullptr;
  for (;;) {
    if (Error stop = reasonToStop(view, keepGoing); stop.failed()) return stop;
    const InputBlocks::Bytes bytes = input.next(rest);
    const auto size = static_cast<size_t>(bytes.end - bytes.begin);
    if (input.ended()) {
      if (size > 0) view.cutRecord(bytes.begin, size, offset);
      return input.error();
    }
    if constexpr (requires { view.piece(bytes.begin, offset); }) view.piece(bytes.begin, offset);
    if (const MappedFile* mapping = input.mapping(); mapping != nullptr) {
      rest = scanning::scanBlock(bytes.begin, bytes.end, offset, view, scanning::MappingGuard{*mapping});
    } else {
      rest = scanning::scanBlock(bytes.begin, bytes.end, offset, view, scanning::Unguarded{});
    }
    offset += static_cast<uint64_t>(rest - bytes.begin);
  }
}

// Hands one whole record to the view as the scanner would have.
template <RecordView View>
void deliverRecord(const uint8_t* record, View& view) {
  scanning::scanBlock(record, record + kRecordSize[*record], 0, view, scanning::Unguarded{});
}

}  // namespace zolt

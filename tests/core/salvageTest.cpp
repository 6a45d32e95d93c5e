// Salvage keeps the records of a damaged recording that the damage did not
// touch, and nothing else, whatever the damage and wherever it falls; it
// names what it skipped; on an undamaged file it is the literal reading;
// and what it keeps does not hang on how the input comes in blocks.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <thread>

#include "fixtures.h"
#include "zolt/zolt.h"

namespace {

using namespace zolt;

// The type bytes of the file format.
enum : uint8_t { kFileHeader, kSecondMarker, kDataRecord, kPressureRecord, kIndexRecord, kSystemRecord };

struct Kept {
  uint64_t offset;
  uint8_t type;
  friend bool operator==(const Kept&, const Kept&) = default;
  friend void PrintTo(const Kept& kept, std::ostream* out) { *out << int{kept.type} << "@" << kept.offset; }
};

// The records a scan hands over, and what it skipped.
class Seen : public RecordSink {
 public:
  std::vector<Kept> records;
  std::vector<Stretch> stretches;
  uint64_t unknown = 0;

  void fileHeader(const FileHeader&, uint64_t at) override { records.push_back({at, kFileHeader}); }
  void secondMarker(const SecondMarker&, uint64_t at) override { records.push_back({at, kSecondMarker}); }
  void data(const DataRecord&, uint64_t at) override { records.push_back({at, kDataRecord}); }
  void pressure(const PressureRecord&, uint64_t at) override { records.push_back({at, kPressureRecord}); }
  void index(const IndexRecord&, uint64_t at) override { records.push_back({at, kIndexRecord}); }
  void system(const SystemRecord&, uint64_t at) override { records.push_back({at, kSystemRecord}); }
  void unknownType(uint8_t, uint64_t) override { ++unknown; }
  void skipped(uint64_t offset, uint64_t size) override { stretches.push_back({offset, size}); }
};

Seen scanned(const Input& input, bool salvage) {
  Seen seen;
  const FileOutcome outcome = scan(input, seen, {{}, salvage});
  EXPECT_TRUE(outcome.ok()) << describe(outcome.error);
  return seen;
}

Seen scanned(const Bytes& file, bool salvage) { return scanned(Input::memory(file, "recording"), salvage); }

// The bundled minute `copies` times over, each copy a minute later: a
// recording longer than a block.
Bytes longRecording(int copies) {
  const Bytes minute = sampleRecording();
  const Seen records = scanned(minute, false);
  const uint64_t seconds = records.records[2].offset;  // after the header and the index entry
  Bytes file(minute.begin(), minute.end());
  for (int copy = 1; copy < copies; ++copy) {
    const size_t start = file.size();
    file.insert(file.end(), minute.begin() + static_cast<std::ptrdiff_t>(seconds), minute.end());
    for (const Kept& record : records.records) {
      if (record.offset < seconds || (record.type != kSecondMarker && record.type != kSystemRecord)) continue;
      uint8_t* const time = file.data() + start + (record.offset - seconds) + 2;
      uint32_t value = uint32_t{time[0]} << 24 | uint32_t{time[1]} << 16 | uint32_t{time[2]} << 8 | time[3];
      value += static_cast<uint32_t>(60 * copy);
      for (int i = 0; i < 4; ++i) time[i] = static_cast<uint8_t>(value >> (24 - 8 * i));
    }
  }
  return file;
}

// Damage done to a file: the bytes it touched, and where a byte of the
// damaged file lay in the undamaged one (none for a byte it added).
struct Damaged {
  Bytes file;
  uint64_t from;
  uint64_t to;
  std::function<std::optional<uint64_t>(uint64_t)> original;
};

using DamageKind = Damaged (*)(const Bytes&, uint64_t at, uint8_t type);

std::optional<uint64_t> same(uint64_t offset) { return offset; }

Damaged typeChanged(const Bytes& file, uint64_t at, uint8_t type) {
  Bytes damaged = file;
  damaged[at] = static_cast<uint8_t>((type + 3) % kRecordTypes);
  return {damaged, at, at + 1, same};
}
Damaged byteDeleted(const Bytes& file, uint64_t at, uint8_t /*type*/) {
  Bytes damaged = file;
  damaged.erase(damaged.begin() + static_cast<std::ptrdiff_t>(at + 1));
  return {damaged, at + 1, at + 2, [at](uint64_t offset) { return offset <= at ? offset : offset + 1; }};
}
Damaged byteInserted(const Bytes& file, uint64_t at, uint8_t /*type*/) {
  Bytes damaged = file;
  damaged.insert(damaged.begin() + static_cast<std::ptrdiff_t>(at + 1), uint8_t{kDataRecord});
  // A record read from the added byte on is the record it was added to,
  // if its bytes are.
  return {damaged, at + 1, at + 2, [at](uint64_t offset) { return offset <= at + 1 ? offset - (offset == at + 1) : offset - 1; }};
}
Damaged bitFlipped(const Bytes& file, uint64_t at, uint8_t /*type*/) {
  Bytes damaged = file;
  damaged[at + 2] ^= 0x10;
  return {damaged, at + 2, at + 3, same};
}
Damaged sectorZeroed(const Bytes& file, uint64_t at, uint8_t /*type*/) {
  Bytes damaged = file;
  const uint64_t to = std::min<uint64_t>(at + 512, file.size());
  std::fill(damaged.begin() + static_cast<std::ptrdiff_t>(at), damaged.begin() + static_cast<std::ptrdiff_t>(to), 0);
  return {damaged, at, to, same};
}
Damaged sectorRandom(const Bytes& file, uint64_t at, uint8_t /*type*/) {
  Bytes damaged = file;
  std::mt19937 random(static_cast<uint32_t>(at));
  const uint64_t to = std::min<uint64_t>(at + 512, file.size());
  for (uint64_t i = at; i < to; ++i) damaged[i] = static_cast<uint8_t>(random());
  return {damaged, at, to, same};
}
Damaged blockCut(const Bytes& file, uint64_t at, uint8_t /*type*/) {
  Bytes damaged = file;
  const uint64_t to = std::min<uint64_t>(at + 4096, file.size());
  damaged.erase(damaged.begin() + static_cast<std::ptrdiff_t>(at), damaged.begin() + static_cast<std::ptrdiff_t>(to));
  return {damaged, at, to, [at, to](uint64_t offset) { return offset < at ? offset : offset + (to - at); }};
}

// How a salvaged reading of a damaged file compares with the undamaged
// file's records.
struct Comparison {
  uint64_t lostUntouched = 0;  // records the damage did not touch, not kept
  // A pressure reading just before the damage: its bytes cannot be told
  // from the first bytes of a record whose type byte was hit.
  uint64_t lostBeforeDamage = 0;
  uint64_t invented = 0;  // kept, but no record of the undamaged file
};

Comparison compare(const Bytes& file, const Seen& before, const Damaged& damage, const Seen& after) {
  auto touched = [&](const Kept& record) {
    return record.offset < damage.to && record.offset + recordSize(record.type) > damage.from;
  };
  std::vector<Kept> kept;
  Comparison comparison;
  for (const Kept& record : after.records) {
    const std::optional<uint64_t> at = damage.original(record.offset);
    const uint64_t size = recordSize(record.type);
    const bool whole = at && *at + size <= file.size() &&
                       std::equal(file.begin() + static_cast<std::ptrdiff_t>(*at),
                                  file.begin() + static_cast<std::ptrdiff_t>(*at + size),
                                  damage.file.begin() + static_cast<std::ptrdiff_t>(record.offset));
    const Kept original{at.value_or(UINT64_MAX), record.type};
    const auto found = std::lower_bound(before.records.begin(), before.records.end(), original,
                                        [](const Kept& a, const Kept& b) { return a.offset < b.offset; });
    const bool isRecord = found != before.records.end() && *found == original;
    // A record the damage fell in may come out changed: no checksum tells.
    if (isRecord && (whole || touched(original))) {
      kept.push_back(original);
    } else {
      ++comparison.invented;
    }
  }
  std::sort(kept.begin(), kept.end(), [](const Kept& a, const Kept& b) { return a.offset < b.offset; });
  for (size_t i = 0; i < before.records.size(); ++i) {
    const Kept& record = before.records[i];
    const auto found = std::lower_bound(kept.begin(), kept.end(), record,
                                        [](const Kept& a, const Kept& b) { return a.offset < b.offset; });
    if (touched(record) || (found != kept.end() && *found == record)) continue;
    const bool beforeDamage =
        record.type == kPressureRecord && i + 1 < before.records.size() && touched(before.records[i + 1]);
    ++(beforeDamage ? comparison.lostBeforeDamage : comparison.lostUntouched);
  }
  return comparison;
}

// The first record of `type` after `after` records of it.
uint64_t nth(const Seen& records, uint8_t type, size_t after) {
  for (const Kept& record : records.records) {
    if (record.type == type && after-- == 0) return record.offset;
  }
  return UINT64_MAX;
}

TEST(Salvage, KeepsEveryRecordTheDamageDidNotTouch) {
  const Bytes file = longRecording(3);
  const Seen before = scanned(file, false);
  struct Place {
    const char* what;
    uint64_t at;
  };
  const Place places[] = {
      {"the file header", 0},
      {"the first marker", nth(before, kSecondMarker, 0)},
      {"a marker", nth(before, kSecondMarker, 70)},
      {"a run of data records", nth(before, kDataRecord, 9050)},
      {"a pressure record", nth(before, kPressureRecord, 100)},
      {"a system record", nth(before, kSystemRecord, 7)},
      {"the index entry", nth(before, kIndexRecord, 0)},
      {"the last record", before.records.back().offset},
  };
  struct Kind {
    const char* what;
    DamageKind damage;
  };
  const Kind kinds[] = {{"type byte changed", typeChanged}, {"one byte deleted", byteDeleted},
                        {"one byte inserted", byteInserted}, {"one bit flipped", bitFlipped},
                        {"512-byte sector zeroed", sectorZeroed}, {"512-byte sector random", sectorRandom},
                        {"4 KiB cut out", blockCut}};
  for (const Place& place : places) {
    ASSERT_NE(place.at, UINT64_MAX) << place.what;
    const uint8_t type = file[place.at];
    for (const Kind& kind : kinds) {
      SCOPED_TRACE(std::string(kind.what) + " at " + place.what);
      const Damaged damaged = kind.damage(file, place.at, type);
      const Comparison comparison = compare(file, before, damaged, scanned(damaged.file, true));
      EXPECT_EQ(comparison.invented, 0U);
      EXPECT_EQ(comparison.lostUntouched, 0U);
      EXPECT_LE(comparison.lostBeforeDamage, 1U);
    }
  }
}

// A data record whose type byte reads as a header's starts no recording,
// wherever it lies against the pieces the input is read in: a header is
// judged by the markers after it, which lie beyond the bytes looked at from
// a place near a piece's end.
TEST(Salvage, ADataRecordReadAsAHeaderStartsNoRecording) {
  const Bytes file = longRecording(3);
  const Seen before = scanned(file, false);
  for (size_t n = 100; n < 17000; n += 397) {
    const uint64_t at = nth(before, kDataRecord, n);
    SCOPED_TRACE("data record " + std::to_string(n) + " at " + std::to_string(at));
    Bytes damaged = file;
    damaged[at] = kFileHeader;
    const Comparison comparison = compare(file, before, {damaged, at, at + 1, same}, scanned(damaged, true));
    EXPECT_EQ(comparison.invented, 0U);
    EXPECT_EQ(comparison.lostUntouched, 0U);
  }
}

// A still logger's slowly changing values, misframed, read as headers alike
// enough to pass for one logger's: after a wiped sector, two such headers
// must not start a recording that re-times the rest of the file.
TEST(Salvage, HeadersAlikeByChanceAfterDamageStartNoRecording) {
  const Bytes file = longRecording(3);
  const Seen before = scanned(file, false);
  const uint8_t alike[18] = {kFileHeader, 0xA8, 0x25, 0xD8, 0xD2, 0x0E, 0x17, 0x81, 0x02,
                             0x00,        0x07, 0x8A, 0x00, 0x00, 0xD6, 0x01, 0x0B, 0x32};
  for (size_t n = 300; n < 17000; n += 1931) {
    const uint64_t sector = nth(before, kDataRecord, n) / 512 * 512;
    size_t after = n;
    while (nth(before, kDataRecord, after) < sector + 512) ++after;
    SCOPED_TRACE("sector at " + std::to_string(sector));
    Bytes damaged = file;
    std::fill(damaged.begin() + static_cast<std::ptrdiff_t>(sector), damaged.begin() + static_cast<std::ptrdiff_t>(sector + 512), 0);
    const uint64_t end = nth(before, kDataRecord, after);
    for (uint64_t copy = 0; copy < 2; ++copy) std::copy(std::begin(alike), std::end(alike), damaged.begin() + static_cast<std::ptrdiff_t>(end + 18 * copy));
    const Comparison comparison = compare(file, before, {damaged, sector, end + 36, same}, scanned(damaged, true));
    EXPECT_EQ(comparison.invented, 0U);
  }
}

// Bytes read out of step just before a recording, as short recordings of
// another logger whose markers lie a few seconds from their headers: the
// recording after them vouches for none of them.
TEST(Salvage, ShortRecordingsOutOfStepBeforeARecordingStartNone) {
  const Bytes minute = sampleRecording();
  Bytes file = minute;
  file.insert(file.end(), minute.begin(), minute.end());
  const Seen before = scanned(file, false);
  const auto header = [](uint32_t time) {
    return Bytes{kFileHeader, 0, 0, 2, 0x03, 0xE7, 0, 20, static_cast<uint8_t>(time >> 24), static_cast<uint8_t>(time >> 16),
                 static_cast<uint8_t>(time >> 8), static_cast<uint8_t>(time), 0, 0, 0, 0, 0x27, 0x10};
  };
  const auto marker = [](uint32_t time) {
    return Bytes{kSecondMarker, 0, static_cast<uint8_t>(time >> 24), static_cast<uint8_t>(time >> 16),
                 static_cast<uint8_t>(time >> 8), static_cast<uint8_t>(time)};
  };
  Bytes stray;
  for (const Bytes& record : {header(5), marker(7), header(9), marker(12)}) stray.insert(stray.end(), record.begin(), record.end());
  Bytes damaged(minute.begin(), minute.end());
  damaged.insert(damaged.end(), stray.begin(), stray.end());
  damaged.insert(damaged.end(), minute.begin(), minute.end());
  const uint64_t at = minute.size();
  const uint64_t added = stray.size();
  const Damaged damage{damaged, at, at + 1, [at, added](uint64_t offset) -> std::optional<uint64_t> {
                         if (offset < at) return offset;
                         if (offset < at + added) return std::nullopt;
                         return offset - added;
                       }};
  EXPECT_EQ(compare(file, before, damage, scanned(damaged, true)).invented, 0U);
}

// A wiped sector is told as one stretch: from the first record it touched
// to the end of the last.
TEST(Salvage, TellsTheStretchItSkipped) {
  const Bytes file = longRecording(3);
  const Seen before = scanned(file, false);
  for (const uint64_t at : {nth(before, kSecondMarker, 70), nth(before, kDataRecord, 9050) + 7,
                            nth(before, kSystemRecord, 7)}) {
    SCOPED_TRACE("zeros from " + std::to_string(at));
    const Damaged damaged = sectorZeroed(file, at, file[at]);
    uint64_t first = UINT64_MAX;
    uint64_t last = 0;
    for (const Kept& record : before.records) {
      if (record.offset >= damaged.to || record.offset + recordSize(record.type) <= damaged.from) continue;
      first = std::min(first, record.offset);
      last = std::max(last, record.offset + recordSize(record.type));
    }
    const std::vector<Stretch> told{{first, last - first}};
    EXPECT_EQ(scanned(damaged.file, true).stretches, told);
  }
}

// The data rows of a file whose header was wiped, timed as before it was:
// by the rate its whole seconds show.
TEST(Salvage, TimesTheDataOfAFileThatLostItsHeaderByItsSeconds) {
  const Bytes file = longRecording(2);
  auto times = [](const Bytes& bytes, bool salvage = true) {
    TableOptions options;
    options.salvage = salvage;
    TableRun run(TableKind::kData, options);
    EXPECT_TRUE(run.add(Input::memory(bytes)).ok());
    const Table table = run.take();
    const std::span<const int64_t> values = table.column("time")->values<int64_t>();
    return std::vector<int64_t>(values.end() - 1000, values.end());
  };
  EXPECT_EQ(times(sectorZeroed(file, 0, file[0]).file), times(file));
  // A file that begins without a header, undamaged, is read as it is.
  const Bytes headerless(file.begin() + 50, file.end());
  EXPECT_EQ(times(headerless), times(headerless, false));
  EXPECT_NE(times(headerless), times(file));
}

// Recordings written one after another in a file, each clock starting
// again at its own header: each is kept whole, whatever lies between.
TEST(Salvage, KeepsARecordingThatFollowsAnother) {
  const Bytes minute = sampleRecording();
  const Seen alone = scanned(minute, false);
  const uint64_t cut = nth(alone, kDataRecord, 2000);  // a pressure reading would be lost: see compare()
  const Bytes firstPart(minute.begin(), minute.begin() + static_cast<std::ptrdiff_t>(cut));
  std::mt19937 random(7);
  Bytes garbage(3000);
  for (uint8_t& byte : garbage) byte = static_cast<uint8_t>(random());
  struct Case {
    const char* what;
    Bytes between;
  };
  const Case cases[] = {{"nothing", {}}, {"zeros", Bytes(300000, 0)}, {"random bytes", garbage}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const Bytes file = concat({firstPart, c.between, minute});
    std::vector<Kept> expected;
    for (const Kept& record : alone.records) {
      if (record.offset < cut) expected.push_back(record);
    }
    for (const Kept& record : alone.records) expected.push_back({record.offset + file.size() - minute.size(), record.type});
    const Seen salvaged = scanned(file, true);
    EXPECT_EQ(salvaged.records.size(), expected.size());
    const auto [got, wanted] = std::mismatch(salvaged.records.begin(), salvaged.records.end(), expected.begin(), expected.end());
    if (got != salvaged.records.end()) ADD_FAILURE() << testing::PrintToString(*got) << " for " << testing::PrintToString(*wanted);
  }
}

TEST(Salvage, AnUndamagedFileIsReadAsItIs) {
  for (const Bytes& file : {longRecording(3), kEveryType, concat({kEveryType, Bytes(40, 0)}), Bytes{}}) {
    const Seen plain = scanned(file, false);
    const Seen salvaged = scanned(file, true);
    EXPECT_EQ(salvaged.records, plain.records);
    EXPECT_TRUE(salvaged.stretches.empty());
  }
}

// The same damaged file from memory, read from a descriptor, mapped, and
// through a pipe a few bytes at a time: the same records and stretches.
TEST(Salvage, KeepsTheSameWhateverTheReadSize) {
  Bytes file = longRecording(4);
  for (const uint64_t at : {uint64_t{131000}, uint64_t{131072 - 3}, uint64_t{262144 + 40}, uint64_t{300001}}) {
    file = sectorRandom(file, at, 0).file;
  }
  file = blockCut(file, 200000, 0).file;
  const Seen fromMemory = scanned(file, true);
  ASSERT_FALSE(fromMemory.stretches.empty());
  Scratch scratch;
  const std::string path = scratch.path() + "/" + scratch.file("damaged.zlt", file);
  const Seen read = scanned(Input::path(path), true);
  const Seen mapped = scanned(Input::mappedPath(path), true);
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  std::thread writer([&] {
    for (size_t at = 0; at < file.size(); at += 997) {
      const size_t size = std::min<size_t>(997, file.size() - at);
      if (write(ends[1], file.data() + at, size) != static_cast<ssize_t>(size)) break;
      if (at % (997 * 16) == 0) std::this_thread::yield();
    }
    close(ends[1]);
  });
  const Seen piped = scanned(Input::descriptor(ends[0], "-"), true);
  writer.join();
  close(ends[0]);
  for (const Seen* other : {&read, &mapped, &piped}) {
    EXPECT_EQ(other->records, fromMemory.records);
    EXPECT_EQ(other->stretches, fromMemory.stretches);
  }
}

}  // namespace

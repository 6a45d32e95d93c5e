// What damage costs, with and without salvage: copies of a recording are
// damaged in each of seven ways at random places, and every table of each
// copy is held to the undamaged file's, record by record, by its values.
//
//   corruption <recording> [trials per kind] [seed]
//
// For each kind of damage and each way of reading: how many records that
// the damage did not touch are lost (median, 99th percentile, most), in
// how many trials no row is invented (a row that is no record of the
// undamaged file), and invented rows per 10,000 rows over all trials. A
// record the damage fell in may come out changed, which nothing without a
// checksum can tell; such rows, at the damaged bytes, are counted apart.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "zolt/zolt.h"

namespace {

using namespace zolt;
using Bytes = std::vector<uint8_t>;

// One row of a table, by a hash of its values, and where its record lies.
struct Row {
  uint64_t key;
  uint64_t offset;
};

// Every record's offset, by table, in the order of the tables' rows.
class Offsets : public RecordSink {
 public:
  std::vector<uint64_t> of[kTableKinds];
  void fileHeader(const FileHeader& /*record*/, uint64_t at) override { of[0].push_back(at); }
  void secondMarker(const SecondMarker& /*record*/, uint64_t at) override { of[1].push_back(at); }
  void data(const DataRecord& /*record*/, uint64_t at) override { of[2].push_back(at); }
  void pressure(const PressureRecord& /*record*/, uint64_t at) override { of[3].push_back(at); }
  void index(const IndexRecord& /*record*/, uint64_t at) override { of[4].push_back(at); }
  void system(const SystemRecord& /*record*/, uint64_t at) override { of[5].push_back(at); }
};

// FNV-1a over the row's values, with its table.
uint64_t keyOf(const Table& table, size_t row, size_t kind) {
  uint64_t key = 14695981039346656037ull ^ kind;
  const auto put = [&](const void* value, size_t size) {
    for (size_t i = 0; i < size; ++i) key = (key ^ static_cast<const uint8_t*>(value)[i]) * 1099511628211ull;
  };
  for (const Column& column : table.columns) {
    switch (column.definition().type) {
      case ColumnType::kInt64: put(&column.values<int64_t>()[row], 8); break;
      case ColumnType::kFloat64: put(&column.values<double>()[row], 8); break;
      case ColumnType::kText: put(column.texts()[row].data(), column.texts()[row].size() + 1); break;
      default: break;
    }
  }
  return key;
}

std::vector<Row> rowsOf(const Bytes& file, bool salvage) {
  std::vector<Row> rows;
  Offsets offsets;
  scan(Input::memory(file), offsets, {{}, salvage});
  for (size_t kind = 0; kind < kTableKinds; ++kind) {
    TableOptions options;
    options.columns = csvColumns(static_cast<TableKind>(kind));
    options.salvage = salvage;
    TableRun run(static_cast<TableKind>(kind), options);
    run.add(Input::memory(file));
    const Table table = run.take();
    for (size_t row = 0; row < table.rows; ++row) {
      rows.push_back({keyOf(table, row, kind), row < offsets.of[kind].size() ? offsets.of[kind][row] : 0});
    }
  }
  return rows;
}

// The framing of the undamaged file: where each record starts and ends.
struct Span {
  uint64_t begin;
  uint64_t end;
};

enum Kind { kTypeChanged, kByteDeleted, kByteInserted, kBitFlipped, kSectorZeroed, kSectorRandom, kBlockCut, kKinds };
const char* const kKindNames[kKinds] = {"type byte changed", "one byte deleted", "one byte inserted", "one bit flipped",
                                        "512-byte sector zeroed", "512-byte sector random", "4 KiB cut out"};

struct Damaged {
  Bytes bytes;
  uint64_t touchedBegin, touchedEnd;  // in the undamaged file's offsets
  uint64_t damagedBegin, damagedEnd;  // in the damaged file's
};

Damaged damage(const Bytes& file, const std::vector<Span>& records, Kind kind, std::mt19937_64& random) {
  Damaged out{file, 0, 0, 0, 0};
  const auto at = [&](uint64_t most) { return std::uniform_int_distribution<uint64_t>(0, most - 1)(random); };
  switch (kind) {
    case kTypeChanged: {
      const Span record = records[at(records.size())];
      const uint8_t was = file[record.begin];
      uint8_t now = was;
      while (now == was) now = static_cast<uint8_t>(at(kRecordTypes));
      out.bytes[record.begin] = now;
      out.touchedBegin = out.damagedBegin = record.begin;
      out.touchedEnd = out.damagedEnd = record.begin + 1;
      break;
    }
    case kByteDeleted: {
      const uint64_t x = at(file.size());
      out.bytes.erase(out.bytes.begin() + static_cast<std::ptrdiff_t>(x));
      out.touchedBegin = x, out.touchedEnd = x + 1, out.damagedBegin = x, out.damagedEnd = x;
      break;
    }
    case kByteInserted: {
      const uint64_t x = at(file.size());
      out.bytes.insert(out.bytes.begin() + static_cast<std::ptrdiff_t>(x), static_cast<uint8_t>(at(256)));
      out.touchedBegin = x, out.touchedEnd = x + 1, out.damagedBegin = x, out.damagedEnd = x + 1;
      break;
    }
    case kBitFlipped: {
      const uint64_t x = at(file.size());
      out.bytes[x] ^= static_cast<uint8_t>(1u << at(8));
      out.touchedBegin = out.damagedBegin = x, out.touchedEnd = out.damagedEnd = x + 1;
      break;
    }
    case kSectorZeroed:
    case kSectorRandom: {
      const uint64_t x = at(file.size() / 512) * 512;
      for (uint64_t i = x; i < x + 512 && i < file.size(); ++i) out.bytes[i] = kind == kSectorZeroed ? 0 : static_cast<uint8_t>(at(256));
      out.touchedBegin = out.damagedBegin = x, out.touchedEnd = out.damagedEnd = x + 512;
      break;
    }
    case kBlockCut: {
      const uint64_t x = at(file.size() / 4096) * 4096;
      const uint64_t end = std::min<uint64_t>(x + 4096, file.size());
      out.bytes.erase(out.bytes.begin() + static_cast<std::ptrdiff_t>(x), out.bytes.begin() + static_cast<std::ptrdiff_t>(end));
      out.touchedBegin = x, out.touchedEnd = end, out.damagedBegin = x, out.damagedEnd = x;
      break;
    }
    case kKinds: break;
  }
  return out;
}

// A record's size with its type byte, at most.
constexpr uint64_t kLargestRecordBytes = 32;

struct Trial {
  uint64_t lost = 0;
  uint64_t invented = 0;
  uint64_t changedInPlace = 0;
  uint64_t rows = 0;
};

// The reference rows' keys, sorted.
std::vector<uint64_t> referenceKeys;

Trial compare(const std::vector<Row>& reference, const std::vector<Span>& records, const Damaged& damaged,
              std::vector<Row> got) {
  // The records the damage touched are not owed, but may come out as they were.
  std::vector<uint64_t> touched;
  const auto first = std::lower_bound(reference.begin(), reference.end(), damaged.touchedBegin, [](const Row& row, uint64_t at) {
    return row.offset + kLargestRecordBytes <= at;
  });
  for (auto row = first; row != reference.end() && row->offset < damaged.touchedEnd; ++row) {
    const auto record = std::upper_bound(records.begin(), records.end(), row->offset,
                                         [](uint64_t offset, const Span& span) { return offset < span.begin; }) - 1;
    if (record->begin < damaged.touchedEnd && damaged.touchedBegin < record->end) touched.push_back(row->key);
  }
  std::sort(touched.begin(), touched.end());
  std::sort(got.begin(), got.end(), [](const Row& a, const Row& b) { return a.key < b.key; });
  Trial trial;
  trial.rows = got.size();
  size_t owed = 0;
  for (const Row& row : got) {
    while (owed < referenceKeys.size() && referenceKeys[owed] < row.key) ++owed, ++trial.lost;
    if (owed < referenceKeys.size() && referenceKeys[owed] == row.key) {
      ++owed;
      continue;
    }
    if (row.offset + kLargestRecordBytes > damaged.damagedBegin && row.offset < damaged.damagedEnd + 1) {
      ++trial.changedInPlace;
    } else {
      ++trial.invented;
    }
  }
  trial.lost += referenceKeys.size() - owed;
  // A touched record missing is no loss.
  std::vector<uint64_t> gotKeys;
  gotKeys.reserve(got.size());
  std::transform(got.begin(), got.end(), std::back_inserter(gotKeys), [](const Row& row) { return row.key; });
  for (const uint64_t key : touched) {
    const bool kept = std::binary_search(gotKeys.begin(), gotKeys.end(), key);
    if (!kept) --trial.lost;
  }
  return trial;
}

uint64_t percentile(std::vector<uint64_t> values, double fraction) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(fraction * static_cast<double>(values.size())))];
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    (void)std::fprintf(stderr, "usage: corruption <recording> [trials per kind] [seed]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const Bytes file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const int trials = argc > 2 ? static_cast<int>(std::strtol(argv[2], nullptr, 10)) : 200;
  std::mt19937_64 random(argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 20261209);
  std::vector<Span> records;
  for (uint64_t at = 0; at < file.size();) {
    const uint64_t size = std::max<uint64_t>(recordSize(file[at]), 1);
    records.push_back({at, at + size});
    at += size;
  }
  std::vector<Row> reference = rowsOf(file, false);
  std::stable_sort(reference.begin(), reference.end(), [](const Row& a, const Row& b) { return a.offset < b.offset; });
  std::transform(reference.begin(), reference.end(), std::back_inserter(referenceKeys),
                 [](const Row& row) { return row.key; });
  std::sort(referenceKeys.begin(), referenceKeys.end());
  const bool tell = std::getenv("CORRUPTION_TELL") != nullptr;
  uint16_t rate = 0;
  {
    SummaryRun run;
    run.add(Input::memory(file));
    rate = run.file().rate.value_or(0);
  }
  std::printf("%s: %zu bytes, %zu rows, rate %u; %d trials of each kind\n", argv[1], file.size(), reference.size(), rate,
              trials);
  std::printf("%-24s %-8s %6s %6s %6s %8s %10s %8s\n", "damage", "reading", "lost", "p99", "most", "clean", "inv/10k",
              "changed");
  const char* const only = std::getenv("CORRUPTION_KIND");  // one kind's number, for looking into it
  for (int kind = 0; kind < kKinds; ++kind) {
    std::vector<Damaged> copies;
    copies.reserve(static_cast<size_t>(trials));
    for (int trial = 0; trial < trials; ++trial) copies.push_back(damage(file, records, static_cast<Kind>(kind), random));
    if (only != nullptr && std::strtol(only, nullptr, 10) != kind) continue;
    for (const bool salvage : {false, true}) {
      std::vector<uint64_t> lost;
      uint64_t clean = 0;
      uint64_t invented = 0;
      uint64_t changed = 0;
      uint64_t rows = 0;
      for (const Damaged& copy : copies) {
        const Trial trial = compare(reference, records, copy, rowsOf(copy.bytes, salvage));
        if (tell && salvage && (trial.lost > 0 || trial.invented > 0)) {
          std::printf("  %s at %llu (%02X to %02X): lost %llu, invented %llu\n", kKindNames[kind],
                      static_cast<unsigned long long>(copy.touchedBegin), file[copy.touchedBegin],
                      copy.bytes[copy.touchedBegin], static_cast<unsigned long long>(trial.lost),
                      static_cast<unsigned long long>(trial.invented));
          if (std::getenv("CORRUPTION_KEEP")) {
            std::ofstream(std::string(std::getenv("CORRUPTION_KEEP")) + "/" + std::to_string(kind) + "-" +
                              std::to_string(copy.touchedBegin) + ".dat",
                          std::ios::binary)
                .write(reinterpret_cast<const char*>(copy.bytes.data()), static_cast<std::streamsize>(copy.bytes.size()));
          }
        }
        lost.push_back(trial.lost);
        clean += trial.invented == 0 ? 1 : 0;
        invented += trial.invented;
        changed += trial.changedInPlace;
        rows += trial.rows;
      }
      std::printf("%-24s %-8s %6llu %6llu %6llu %7.1f%% %10.2f %8llu\n", kKindNames[kind], salvage ? "salvage" : "plain",
                  static_cast<unsigned long long>(percentile(lost, 0.5)),
                  static_cast<unsigned long long>(percentile(lost, 0.99)),
                  static_cast<unsigned long long>(*std::max_element(lost.begin(), lost.end())),
                  100.0 * static_cast<double>(clean) / trials, 1e4 * static_cast<double>(invented) / static_cast<double>(rows),
                  static_cast<unsigned long long>(changed));
    }
  }
  return 0;
}

// What damage costs, with and without salvage: copies of a recording are
// damaged in each of seven ways at random places, and every table of each
// copy is held to the undamaged file's, record by record, by its values.
//
//   corruption <recording> [trials per kind] [seed]
//
// For each kind of damage and each way of reading: how many records that
// the damage did not touch are lost (median, 99th percentile, most), of
// them how many data records and pressure readings (median, 99th
// percentile), in how many trials no row is invented (a row that is no
// record of the undamaged file, or one with its values at another time or
// sample number), and invented rows per 100,000 rows over all trials. A
// record the damage fell in may come out changed, which nothing without a
// checksum can tell; such rows, at the damaged bytes, are counted apart.
// Each salvaged line ends with the targets it misses.
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
  size_t table;
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
      rows.push_back({keyOf(table, row, kind), row < offsets.of[kind].size() ? offsets.of[kind][row] : 0, kind});
    }
  }
  return rows;
}


enum Kind { kTypeChanged, kByteDeleted, kByteInserted, kBitFlipped, kSectorZeroed, kSectorRandom, kBlockCut, kKinds };
const char* const kKindNames[kKinds] = {"type byte changed", "one byte deleted", "one byte inserted", "one bit flipped",
                                        "512-byte sector zeroed", "512-byte sector random", "4 KiB cut out"};

struct Damaged {
  Bytes bytes;
  uint64_t touchedBegin, touchedEnd;  // in the undamaged file's offsets
  uint64_t damagedBegin, damagedEnd;  // in the damaged file's
};

// `recordStarts`: the framing of the undamaged file, where each record starts.
Damaged damage(const Bytes& file, const std::vector<uint64_t>& recordStarts, Kind kind, std::mt19937_64& random) {
  Damaged out{file, 0, 0, 0, 0};
  const auto at = [&](uint64_t most) { return std::uniform_int_distribution<uint64_t>(0, most - 1)(random); };
  switch (kind) {
    case kTypeChanged: {
      const uint64_t record = recordStarts[at(recordStarts.size())];
      const uint8_t was = file[record];
      uint8_t now = was;
      while (now == was) now = static_cast<uint8_t>(at(kRecordTypes));
      out.bytes[record] = now;
      out.touchedBegin = out.damagedBegin = record;
      out.touchedEnd = out.damagedEnd = record + 1;
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

constexpr size_t kDataTable = static_cast<size_t>(TableKind::kData);
constexpr size_t kPressureTable = static_cast<size_t>(TableKind::kPressure);

struct Trial {
  uint64_t lost = 0;  // of every table
  uint64_t lostOf[kTableKinds] = {};
  uint64_t invented = 0;
  uint64_t changedInPlace = 0;
  uint64_t rows = 0;
};

bool touchedBy(const Row& row, const Damaged& damaged) {
  const uint64_t end = row.offset + recordSize(static_cast<uint8_t>(row.table));
  return row.offset < damaged.touchedEnd && damaged.touchedBegin < end;
}

// Matches rows by their values, time and sample number included, a group
// of equal rows at a time (readings of one second may be alike): the rows
// got answer first for the records the damage did not touch, and the
// untouched ones left over are lost; rows got beyond a group's, or of no
// group, are invented, unless they lie at the damaged bytes.
Trial compare(const std::vector<Row>& referenceByKey, const Damaged& damaged, std::vector<Row> got) {
  std::sort(got.begin(), got.end(), [](const Row& a, const Row& b) { return a.key < b.key; });
  Trial trial;
  trial.rows = got.size();
  const auto atDamage = [&](const Row& row) {
    return row.offset + kLargestRecordBytes > damaged.damagedBegin && row.offset < damaged.damagedEnd + 1;
  };
  auto owed = referenceByKey.begin();
  auto have = got.begin();
  while (owed != referenceByKey.end() || have != got.end()) {
    const uint64_t key = owed == referenceByKey.end()                         ? have->key
                         : have == got.end() || owed->key < have->key ? owed->key
                                                                       : have->key;
    uint64_t untouched[kTableKinds] = {};
    uint64_t group = 0;
    for (; owed != referenceByKey.end() && owed->key == key; ++owed, ++group) {
      if (!touchedBy(*owed, damaged)) ++untouched[owed->table];
    }
    uint64_t answers = 0;
    uint64_t inPlace = 0;
    for (; have != got.end() && have->key == key; ++have, ++answers) inPlace += atDamage(*have) ? uint64_t{1} : uint64_t{0};
    // Equal rows are of one table, bar a clash of hashes.
    for (size_t table = 0; table < kTableKinds; ++table) {
      const uint64_t lost = untouched[table] > answers ? untouched[table] - answers : 0;
      trial.lost += lost;
      trial.lostOf[table] += lost;
    }
    const uint64_t extra = answers > group ? answers - group : 0;
    trial.changedInPlace += std::min(extra, inPlace);
    trial.invented += extra - std::min(extra, inPlace);
  }
  return trial;
}

uint64_t percentile(std::vector<uint64_t> values, double fraction) {
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(fraction * static_cast<double>(values.size())))];
}

// What salvage is held to, from the undamaged recording.
struct Targets {
  uint64_t dataLost;      // at the 99th percentile: one second's records
  uint64_t pressureLost;  // likewise
  double cleanShare = 0.995;
  double inventedPer100k = 1;
};

struct Figures {
  std::vector<uint64_t> lost, dataLost, pressureLost;
  uint64_t clean = 0, invented = 0, changed = 0, rows = 0;
};

std::string missed(const Figures& figures, const Targets& targets, int trials) {
  std::string misses;
  const auto miss = [&](bool met, const char* what) {
    if (!met) misses += std::string(misses.empty() ? "" : ", ") + what;
  };
  miss(percentile(figures.dataLost, 0.5) == 0, "data median");
  miss(percentile(figures.dataLost, 0.99) <= targets.dataLost, "data p99");
  miss(percentile(figures.pressureLost, 0.5) == 0, "pressure median");
  miss(percentile(figures.pressureLost, 0.99) <= targets.pressureLost, "pressure p99");
  miss(static_cast<double>(figures.clean) >= targets.cleanShare * trials, "clean");
  miss(1e5 * static_cast<double>(figures.invented) <= targets.inventedPer100k * static_cast<double>(figures.rows),
       "invented");
  return misses.empty() ? "none" : misses;
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
  std::vector<uint64_t> recordStarts;
  for (uint64_t at = 0; at < file.size(); at += std::max<uint64_t>(recordSize(file[at]), 1)) recordStarts.push_back(at);
  std::vector<Row> reference = rowsOf(file, false);
  std::stable_sort(reference.begin(), reference.end(), [](const Row& a, const Row& b) { return a.key < b.key; });
  uint64_t rowsOfTable[kTableKinds] = {};
  for (const Row& row : reference) ++rowsOfTable[row.table];
  const bool tell = std::getenv("CORRUPTION_TELL") != nullptr;
  uint16_t rate = 0;
  {
    SummaryRun run;
    run.add(Input::memory(file));
    rate = run.file().rate.value_or(0);
  }
  // A file without a header: its seconds tell its rate.
  const uint64_t seconds = std::max<uint64_t>(rowsOfTable[static_cast<size_t>(TableKind::kMarker)], 1);
  const Targets targets{rate != 0 ? rate : (rowsOfTable[kDataTable] + seconds / 2) / seconds,
                        std::max<uint64_t>((rowsOfTable[kPressureTable] + seconds - 1) / seconds, 1)};
  std::printf("%s: %zu bytes, %zu rows, rate %u; %d trials of each kind\n", argv[1], file.size(), reference.size(), rate,
              trials);
  std::printf("targets for salvage: untouched data records lost median 0, p99 <= %llu; pressure readings lost median "
              "0, p99 <= %llu; clean >= %.1f%%; invented <= %.0f per 100,000 rows\n",
              static_cast<unsigned long long>(targets.dataLost), static_cast<unsigned long long>(targets.pressureLost),
              100 * targets.cleanShare, targets.inventedPer100k);
  std::printf("%-24s %-8s %6s %6s %6s %6s %6s %6s %6s %8s %10s %8s  %s\n", "damage", "reading", "lost", "p99", "most",
              "data", "p99", "press", "p99", "clean", "inv/100k", "changed", "targets missed");
  const char* const only = std::getenv("CORRUPTION_KIND");  // one kind's number, for looking into it
  for (int kind = 0; kind < kKinds; ++kind) {
    std::vector<Damaged> copies;
    copies.reserve(static_cast<size_t>(trials));
    for (int trial = 0; trial < trials; ++trial) {
      copies.push_back(damage(file, recordStarts, static_cast<Kind>(kind), random));
    }
    if (only != nullptr && std::strtol(only, nullptr, 10) != kind) continue;
    for (const bool salvage : {false, true}) {
      Figures figures;
      for (const Damaged& copy : copies) {
        const Trial trial = compare(reference, copy, rowsOf(copy.bytes, salvage));
        if (tell && salvage && (trial.lost > 0 || trial.invented > 0)) {
          std::printf("  %s at %llu (%02X to %02X): lost %llu (data %llu, pressure %llu), invented %llu\n",
                      kKindNames[kind], static_cast<unsigned long long>(copy.touchedBegin), file[copy.touchedBegin],
                      copy.bytes[copy.touchedBegin], static_cast<unsigned long long>(trial.lost),
                      static_cast<unsigned long long>(trial.lostOf[kDataTable]),
                      static_cast<unsigned long long>(trial.lostOf[kPressureTable]),
                      static_cast<unsigned long long>(trial.invented));
          if (std::getenv("CORRUPTION_KEEP")) {
            std::ofstream(std::string(std::getenv("CORRUPTION_KEEP")) + "/" + std::to_string(kind) + "-" +
                              std::to_string(copy.touchedBegin) + ".dat",
                          std::ios::binary)
                .write(reinterpret_cast<const char*>(copy.bytes.data()), static_cast<std::streamsize>(copy.bytes.size()));
          }
        }
        figures.lost.push_back(trial.lost);
        figures.dataLost.push_back(trial.lostOf[kDataTable]);
        figures.pressureLost.push_back(trial.lostOf[kPressureTable]);
        figures.clean += trial.invented == 0 ? 1 : 0;
        figures.invented += trial.invented;
        figures.changed += trial.changedInPlace;
        figures.rows += trial.rows;
      }
      const auto at = [](const std::vector<uint64_t>& values, double fraction) {
        return static_cast<unsigned long long>(percentile(values, fraction));
      };
      const double inventedPer100k =
          1e5 * static_cast<double>(figures.invented) / static_cast<double>(std::max(figures.rows, uint64_t{1}));
      std::printf("%-24s %-8s %6llu %6llu %6llu %6llu %6llu %6llu %6llu %7.1f%% %10.2f %8llu  %s\n", kKindNames[kind],
                  salvage ? "salvage" : "plain", at(figures.lost, 0.5), at(figures.lost, 0.99), at(figures.lost, 1),
                  at(figures.dataLost, 0.5), at(figures.dataLost, 0.99), at(figures.pressureLost, 0.5),
                  at(figures.pressureLost, 0.99), 100.0 * static_cast<double>(figures.clean) / trials, inventedPer100k,
                  static_cast<unsigned long long>(figures.changed),
                  salvage ? missed(figures, targets, trials).c_str() : "");
      (void)std::fflush(stdout);
    }
  }
  return 0;
}

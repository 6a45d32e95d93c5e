// The records a second that the picture and the page draw, against the data
// table's rows grouped by the second of their time, on the sample recording
// whole and damaged in ways that cost seconds their markers.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "html/pageSeries.h"
#include "views/plotRun.h"
#include "zolt/csv.h"
#include "zolt/sink.h"

namespace {

using namespace zolt;

std::vector<uint8_t> sample() {
  std::ifstream in(std::string(SOURCE_DIR) + "/examples/d0001.dat", std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The least and greatest count of data rows in a second of the table.
std::pair<uint64_t, uint64_t> rowsPerSecond(const Input& input) {
  StringSink sink;
  CsvOptions options;
  options.salvage = true;
  CsvRun csv(sink, options);
  EXPECT_TRUE(csv.add(input).ok());
  EXPECT_TRUE(csv.finish().ok());
  std::map<std::string, uint64_t> seconds;
  const std::string& text = sink.text;
  for (size_t line = text.find('\n') + 1; line < text.size(); line = text.find('\n', line) + 1) {
    ++seconds[text.substr(line, 19)];  // 2026-12-01T00:00:00
  }
  uint64_t least = UINT64_MAX;
  uint64_t greatest = 0;
  for (const auto& [second, rows] : seconds) {
    least = std::min(least, rows);
    greatest = std::max(greatest, rows);
  }
  return {least, greatest};
}

std::pair<uint64_t, uint64_t> plotted(const Input& input) {
  PlotGathering run;
  EXPECT_TRUE(gatherPlot(run, input, {}, true).ok());
  double least = 1e9;
  double greatest = 0;
  for (int64_t column = run.columns.first(); column <= run.columns.last(); ++column) {
    const Envelope& counts = run.columns.column(column).series[kSeriesRecordsPerSecond];
    if (counts.count == 0) continue;
    least = std::min(least, counts.min);
    greatest = std::max(greatest, counts.max);
  }
  return {static_cast<uint64_t>(least), static_cast<uint64_t>(greatest)};
}

std::pair<uint64_t, uint64_t> paged(const Input& input) {
  PageRun run(TimeWindow{}, 1000000, 100000);
  EXPECT_TRUE(gatherForPage(run, input, {}, true).ok());
  const std::span<const int32_t> counts = run[PageGroup::kSeconds].least(0);
  if (counts.empty()) return {0, 0};
  return {static_cast<uint64_t>(*std::min_element(counts.begin(), counts.end())),
          static_cast<uint64_t>(*std::max_element(counts.begin(), counts.end()))};
}

TEST(RecordsPerSecond, PictureAndPageHoldTheTablesLeastAndGreatest) {
  struct Damage {
    const char* what;
    size_t at;      // in thousandths of the file
    size_t length;  // bytes overwritten with 0xFF, or 0 for none
    size_t cut;     // bytes taken out there
  };
  const Damage damages[] = {
      {"whole", 0, 0, 0},
      {"a marker overwritten", 300, 40, 0},
      {"13 bytes taken out", 500, 0, 13},
      {"both, and a sector of noise", 700, 512, 7},
  };
  const std::vector<uint8_t> whole = sample();
  for (const Damage& damage : damages) {
    std::vector<uint8_t> bytes = whole;
    const size_t at = bytes.size() * damage.at / 1000;
    std::fill_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), damage.length, uint8_t{0xFF});
    bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(at + damage.length),
                bytes.begin() + static_cast<std::ptrdiff_t>(at + damage.length + damage.cut));
    const Input input = Input::memory(bytes, "d.dat");
    const auto rows = rowsPerSecond(input);
    EXPECT_EQ(plotted(input), rows) << damage.what;
    EXPECT_EQ(paged(input), rows) << damage.what;
  }
}

}  // namespace

// The typed tables hold exactly what the CSV tables say: every row, every
// time to the microsecond and every value bit for bit as the text reads
// back, for realistic and damaged runs, with and without a window.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sstream>

#include "fixtures.h"
#include "runDecode.h"
#include "zolt/csv.h"
#include "zolt/tables.h"

namespace {

using namespace zolt;

TableOptions chosen(const TimeWindow& window, ColumnSet columns) {
  TableOptions options;
  options.window = window;
  options.columns = columns;
  return options;
}

const std::string kHeader = "00 00 0002 012C 0003 51465A90 007B 0036EE80 ";  // rate 3
const std::string kRate0 = "00 00 0002 012C 0000 51465A90 007B 0036EE80 ";
const std::string kMarker = "01 00 51465A90 ";
const std::string kMarker2 = "01 00 51465A91 ";
const std::string kData = "02 FF8000 010000 000001 4000 0000 E000 2000 ";
const std::string kOther = "02 7FFFFF 800000 FFFFFF 7FFF 8000 C000 FFFF ";
const std::string kPressure = "03 00 1C90 ";
const std::string kIndex = "04 00 51465A90 007B 000004D2 12345678 6130 0000000000000000000000000000 ";
const std::string kSystem = "05 00 51465A91 C142 6590 1C90 3333 B220 B225 ";

// Runs of files, each as one run of the command line would take them.
std::vector<std::vector<Bytes>> runs() {
  return {
      {sampleRecording()},
      {hexBytes(kData + kPressure + kHeader + kMarker + kData + kOther + kData + kData + kPressure + kIndex +
                kSystem + kMarker2 + kData + "0B" + kOther + "05 00 51")},
      {hexBytes(kHeader + kMarker + kData), hexBytes(kData + kMarker2 + kData + kData)},  // the rate carries over
      {hexBytes(kRate0 + kMarker + kData + kData + kPressure)},
  };
}

std::vector<std::string> split(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string field; std::getline(in, field, ',');) fields.push_back(field);
  if (!line.empty() && line.back() == ',') fields.emplace_back();
  return fields;
}

std::string csvOf(const std::vector<Bytes>& files, TableKind kind, const TimeWindow& window) {
  StringSink sink;
  CsvRun run(sink, {kind, window, {}});
  for (const Bytes& file : files) run.add(Input::memory(file));
  EXPECT_TRUE(run.finish().ok());
  return sink.text;
}

// One cell of the table as the CSV writes it, read back as a reader would.
void expectCell(const Column& column, size_t row, const std::string& text) {
  switch (column.definition().type) {
    case ColumnType::kFloat64: {
      const double value = column.values<double>()[row];
      const double back = std::strtod(text.c_str(), nullptr);
      EXPECT_EQ(std::memcmp(&value, &back, sizeof value), 0) << column.definition().name << " " << text << " " << value;
      break;
    }
    case ColumnType::kInt64:
      if (column.definition().name == "time") {
        const int64_t time = column.values<int64_t>()[row];
        EXPECT_EQ(text.empty() ? kNoTime : parseIsoTime(text).value_or(-1), time) << text;
      } else {
        EXPECT_EQ(std::to_string(column.values<int64_t>()[row]), text) << column.definition().name;
      }
      break;
    case ColumnType::kText: EXPECT_EQ(escapedName(column.texts()[row]), text); break;
    default: FAIL() << "not a column of the CSV table";
  }
}

TEST(Tables, TypedColumnsHoldWhatTheCsvSays) {
  const TimeWindow windows[] = {{}, {int64_t{1363565200} * 1000000 + 333334, int64_t{1363565201} * 1000000, true}};
  for (const TimeWindow& window : windows) {
    for (const std::vector<Bytes>& files : runs()) {
      for (size_t kind = 0; kind < kTableKinds; ++kind) {
        const auto table = static_cast<TableKind>(kind);
        SCOPED_TRACE(std::string(tableName(table)) + (window.given ? " windowed" : ""));
        TableRun run(table, chosen(window, csvColumns(table)));
        for (const Bytes& file : files) EXPECT_TRUE(run.add(Input::memory(file)).ok());
        const Table typed = run.take();
        std::stringstream csv(csvOf(files, table, window));
        std::string line;
        std::getline(csv, line);
        std::vector<std::string> names = split(line);
        ASSERT_EQ(names.size(), typed.columns.size());
        size_t row = 0;
        for (; std::getline(csv, line); ++row) {
          const std::vector<std::string> cells = split(line);
          ASSERT_LT(row, typed.rows);
          for (size_t i = 0; i < names.size(); ++i) {
            ASSERT_EQ(typed.columns[i].definition().name, names[i]);
            expectCell(typed.columns[i], row, cells[i]);
          }
        }
        EXPECT_EQ(row, typed.rows);
      }
    }
  }
}

TEST(Tables, CountsTimesInNanosecondsAndChosenColumns) {
  const Bytes file = hexBytes(kHeader + kMarker + kData + kOther + kSystem);
  TableOptions inNanoseconds = chosen({}, allColumns(TableKind::kData));
  inNanoseconds.nanoseconds = true;
  TableRun run(TableKind::kData, inNanoseconds);
  ASSERT_TRUE(run.add(Input::memory(file)).ok());
  const Table data = run.take();
  ASSERT_EQ(data.rows, 2u);
  EXPECT_EQ(data.column("time")->values<int64_t>()[1], (int64_t{1363565200} * 1000000 + 333333) * 1000);
  EXPECT_EQ(data.column("acc_x_counts")->values<int32_t>()[1], 0x7FFFFF);
  EXPECT_EQ(data.column("quat_1_counts")->values<int16_t>()[1], -32768);
  EXPECT_EQ(data.column("acc_x")->values<double>()[1], 0x7FFFFF * data.column("acc_x_counts")->definition().scale);

  TableRun system(TableKind::kSystem, chosen({}, ColumnSet{1} << *columnNumber(TableKind::kSystem, "hum_counts")));
  ASSERT_TRUE(system.add(Input::memory(file)).ok());
  const Table counts = system.take();
  ASSERT_EQ(counts.columns.size(), 1u);
  EXPECT_EQ(counts.columns[0].values<uint16_t>()[0], 0xB225);
}

TEST(Tables, ARunMovedFromSaysSoInsteadOfCrashing) {
  TableRun run(TableKind::kData, {});
  TableRun taken = std::move(run);
  EXPECT_EQ(run.add(Input::memory(sampleRecording())).error.code, Errc::kInvalidArgument);  // NOLINT(bugprone-use-after-move)
  EXPECT_EQ(run.take().rows, 0u);  // NOLINT(bugprone-use-after-move)
  ASSERT_TRUE(taken.add(Input::memory(sampleRecording())).ok());
  EXPECT_EQ(taken.take().rows, 6000u);
}

}  // namespace

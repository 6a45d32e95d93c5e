// Batches of a run, put end to end, are the table one TableRun gives, bit
// for bit, wherever their edges fall (inside a file, between files); a
// failed input ends them after the rows before it; dropping them mid-run
// stops the reading.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "fixtures.h"
#include "views/tableBatches.h"
#include "zolt/tables.h"

namespace {

using namespace zolt;

const std::string kHeader = "00 00 0002 012C 0003 51465A90 007B 0036EE80 ";  // rate 3
const std::string kMarker = "01 00 51465A90 ";
const std::string kMarker2 = "01 00 51465A91 ";
const std::string kData = "02 FF8000 010000 000001 4000 0000 E000 2000 ";
const std::string kPressure = "03 00 1C90 ";
const std::string kIndex = "04 00 51465A90 007B 000004D2 12345678 6130 0000000000000000000000000000 ";

// The files must outlive the inputs.
std::vector<Input> inputsOf(const std::vector<Bytes>& files) {
  std::vector<Input> inputs;
  for (const Bytes& file : files) inputs.push_back(Input::memory(file));
  return inputs;
}
std::vector<Input> inputsOf(std::vector<Bytes>&& files) = delete;

Table wholeTable(TableKind kind, const TableOptions& options, const std::vector<Input>& inputs) {
  TableRun run(kind, options);
  for (const Input& input : inputs) run.add(input);
  return run.take();
}

// Every batch, end to end; fails the test on a batch over `batchRows`.
std::vector<Table> allBatches(TableBatches& batches, size_t batchRows) {
  std::vector<Table> taken;
  for (;;) {
    Batch batch = batches.next(std::chrono::milliseconds(10000));
    if (batch.state != Batch::State::kRows) {
      EXPECT_EQ(batch.state, Batch::State::kEnd);
      return taken;
    }
    EXPECT_LE(batch.rows.rows, batchRows);
    EXPECT_GT(batch.rows.rows, 0U);
    taken.push_back(std::move(batch.rows));
  }
}

void expectSameRows(const Table& whole, const std::vector<Table>& batches) {
  size_t row = 0;
  for (const Table& batch : batches) {
    ASSERT_EQ(batch.columns.size(), whole.columns.size());
    for (size_t c = 0; c < whole.columns.size(); ++c) {
      const Column& want = whole.columns[c];
      const Column& got = batch.columns[c];
      ASSERT_EQ(got.size(), batch.rows);
      ASSERT_LE(row + batch.rows, want.size());
      if (want.definition().type == ColumnType::kText) {
        for (size_t i = 0; i < batch.rows; ++i) EXPECT_EQ(got.texts()[i], want.texts()[row + i]);
      } else {
        const size_t size = elementSize(want.definition().type);
        EXPECT_EQ(std::memcmp(got.values<char>().data(), want.values<char>().data() + row * size, batch.rows * size), 0)
            << want.definition().name << " from row " << row;
      }
    }
    row += batch.rows;
  }
  EXPECT_EQ(row, whole.rows);
}

TEST(TableBatches, EndToEndAreTheWholeTableWhereverTheirEdgesFall) {
  const std::vector<Bytes> files = {sampleRecording(), hexBytes(kHeader + kMarker + kData + kData + kPressure),
                                    hexBytes(kData + kIndex + kMarker2 + kData + kData + kData)};
  struct Case {
    TableKind kind;
    ColumnSet columns;
    bool nanoseconds;
  };
  for (const Case& each : {Case{TableKind::kData, allColumns(TableKind::kData), false},
                           Case{TableKind::kData, ColumnSet{1} << 4, true}, Case{TableKind::kIndex, ~ColumnSet{0}, false},
                           Case{TableKind::kPressure, csvColumns(TableKind::kPressure), true}}) {
    TableOptions options;
    options.columns = each.columns;
    options.nanoseconds = each.nanoseconds;
    const std::vector<Input> inputs = inputsOf(files);
    const Table whole = wholeTable(each.kind, options, inputs);
    // 7 and 5999 put edges inside files, 6000 at the end of the sample's
    // data; one batch holds everything.
    for (const size_t batchRows : {size_t{7}, size_t{5999}, size_t{6000}, size_t{70000}}) {
      TableBatches batches(each.kind, options, batchRows, inputsOf(files));
      SCOPED_TRACE(testing::Message() << tableName(each.kind) << " in batches of " << batchRows);
      expectSameRows(whole, allBatches(batches, batchRows));
      ASSERT_EQ(batches.outcomes().size(), files.size());
    }
  }
}

TEST(TableBatches, ABatchGathersTheRowsOfManyChunks) {
  // 72000 rows: more than the stream gathers at a time.
  const std::vector<Bytes> files(12, sampleRecording());
  TableOptions options;
  options.columns = csvColumns(TableKind::kData);
  const Table whole = wholeTable(TableKind::kData, options, inputsOf(files));
  TableBatches batches(TableKind::kData, options, 70001, inputsOf(files));
  const std::vector<Table> taken = allBatches(batches, 70001);
  ASSERT_EQ(taken.size(), 2U);
  EXPECT_EQ(taken[0].rows, 70001U);
  expectSameRows(whole, taken);
}

TEST(TableBatches, AFailedInputEndsThemAfterTheRowsBeforeIt) {
  const Bytes first = hexBytes(kHeader + kMarker + kData + kData + kData + "02 FF");
  TableOptions options;
  const std::vector<Input> inputs = {Input::memory(first), Input::path("/nonexistent/folder/d0001.dat"),
                                     Input::memory(first)};
  TableBatches batches(TableKind::kData, options, 2, inputs);
  const std::vector<Table> taken = allBatches(batches, 2);
  ASSERT_EQ(taken.size(), 2U);
  EXPECT_EQ(taken[0].rows + taken[1].rows, 3U);
  const std::vector<FileOutcome> outcomes = batches.outcomes();
  ASSERT_EQ(outcomes.size(), 2U);
  EXPECT_TRUE(outcomes[0].ok());
  EXPECT_EQ(outcomes[0].damage.cutSize, 2U);
  EXPECT_FALSE(outcomes[1].ok());
}

TEST(TableBatches, DroppedMidRunTheyStopTheReading) {
  const std::vector<Bytes> files(3, sampleRecording());
  TableOptions options;
  auto batches = std::make_unique<TableBatches>(TableKind::kData, options, 1, inputsOf(files));
  ASSERT_EQ(batches->next(std::chrono::milliseconds(10000)).state, Batch::State::kRows);
  batches.reset();  // would wait for ever if the reading went on
  TableBatches none(TableKind::kData, options, 10, {});
  EXPECT_EQ(none.next(std::chrono::milliseconds(0)).state, Batch::State::kEnd);
}

}  // namespace

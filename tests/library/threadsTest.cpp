// Two threads decoding different files at once, in every view, give exactly
// what one thread gives: nothing the views keep is shared.
#include <gtest/gtest.h>

#include <thread>

#include "fixtures.h"
#include "runDecode.h"
#include "zolt/zolt.h"

namespace {

using namespace zolt;

TableOptions chosen(const TimeWindow& window, ColumnSet columns) {
  TableOptions options;
  options.window = window;
  options.columns = columns;
  return options;
}

// A day between markers, so that every line of the other file falls on
// another date than this one's.
Bytes dayHopper() {
  Bytes file = hexBytes("00 00 0002 012C 0002 51465A90 007B 0036EE80");
  for (uint32_t step = 0; step < 3000; ++step) {
    const uint32_t time = 0x51465A90u + step * 86401u;
    const Bytes marker = {1, 0, static_cast<uint8_t>(time >> 24), static_cast<uint8_t>(time >> 16),
                          static_cast<uint8_t>(time >> 8), static_cast<uint8_t>(time)};
    file.insert(file.end(), marker.begin(), marker.end());
    for (int sample = 0; sample < 2; ++sample) {
      const Bytes data = {2, 0, 1, static_cast<uint8_t>(step), 0x80, 0, 0, 0, 0, 0, 0x40, 0, 0, 0, 0x20, 0, 0, 0};
      file.insert(file.end(), data.begin(), data.end());
    }
    const Bytes system = {5, 0, static_cast<uint8_t>(time >> 24), static_cast<uint8_t>(time >> 16),
                          static_cast<uint8_t>(time >> 8), static_cast<uint8_t>(time), 0xC1, 0x42, 0x65, 0x90,
                          0x1C, static_cast<uint8_t>(step), 0x33, 0x33, 0xB2, 0x20, 0xB2, 0x25};
    file.insert(file.end(), system.begin(), system.end());
  }
  return file;
}

std::string tableText(const Table& table) {
  std::string text = std::to_string(table.rows);
  for (const Column& column : table.columns) {
    text += column.definition().name;
    if (column.definition().type == ColumnType::kText) {
      for (const std::string& name : column.texts()) text += name;
    } else {
      const auto* bytes = static_cast<const char*>(static_cast<const void*>(column.values<uint8_t>().data()));
      text.append(bytes, column.size() * elementSize(column.definition().type));
    }
  }
  return text;
}

// Everything every view makes of one file.
std::string everyView(const Bytes& file) {
  const Input input = Input::memory(file, "f");
  const TimeWindow window = {int64_t{1363565210} * 1000000, int64_t{1796083230} * 1000000, true};
  StringSink sink;
  for (const ReportSwitches switches : {ReportSwitches{}, ReportSwitches{true}, ReportSwitches{false, true},
                                        ReportSwitches{false, false, true}, ReportSwitches{false, false, false, true}}) {
    Report(sink, {switches, {}}).add(input);
  }
  for (size_t kind = 0; kind < kTableKinds; ++kind) {
    for (const TimeWindow& each : {TimeWindow{}, window}) {
      CsvRun csv(sink, {static_cast<TableKind>(kind), each, {}});
      csv.add(input);
      TableRun table(static_cast<TableKind>(kind), chosen(each, allColumns(static_cast<TableKind>(kind))));
      table.add(input);
      sink.text += tableText(table.take());
    }
  }
  for (const InfoFormat format : {InfoFormat::kText, InfoFormat::kJson}) {
    InfoRun info(sink, {format, {}});
    info.add(input);
  }
  PlotRun plot;
  plot.add(input);
  return sink.text + plot.render().value();
}

TEST(Threads, TwoThreadsGiveWhatOneGives) {
  const Bytes files[2] = {sampleRecording(), dayHopper()};
  const std::string alone[2] = {everyView(files[0]), everyView(files[1])};
  ASSERT_NE(alone[0], alone[1]);
  std::string together[2][3];
  std::thread other([&] {
    for (std::string& each : together[1]) each = everyView(files[1]);
  });
  for (std::string& each : together[0]) each = everyView(files[0]);
  other.join();
  for (int file = 0; file < 2; ++file) {
    for (const std::string& each : together[file]) EXPECT_TRUE(each == alone[file]) << "file " << file;
  }
}

}  // namespace

// libFuzzer entry: the first byte picks the view, the rest is a record file,
// decoded from memory and from a descriptor, which must agree. Selector
// values below 16 are the report under the switches of their bits (d, t, s,
// p); 0xF0 and above the deployment check (JSON when odd); 0xE0 to 0xEF the
// picture (windowed when odd); 0xD0 to 0xDF the typed tables (windowed when
// odd); 0xC0 to 0xCF the same views salvaged (a CSV table, the check,
// the picture, a typed table); the others pick a CSV table, with a time
// window when their top bit is set.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "zolt/zolt.h"

namespace {

using namespace zolt;

constexpr int kTables = 6;
constexpr size_t kMostPlotBytes = 1000000;
constexpr TimeWindow kWindow = {int64_t{1796083210} * 1000000, int64_t{1796083230} * 1000000, true};

int memoryFile(std::span<const uint8_t> bytes) {
  const int fd = memfd_create("record-file", MFD_CLOEXEC);
  if (fd < 0 || write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) ||
      lseek(fd, 0, SEEK_SET) != 0) {
    std::perror("memfd_create");
    std::abort();
  }
  return fd;
}

// Everything a view of the records salvage keeps writes.
std::string salvagedViewOf(uint8_t selector, const Input& input) {
  StringSink sink;
  const uint8_t view = selector & 0x0F;
  if (view < kTables) {
    CsvRun run(sink, {static_cast<TableKind>(view), TimeWindow{}, {}, true});
    run.add(input);
    (void)run.finish();
  } else if (view < 8) {
    InfoRun run(sink, {view == 7 ? InfoFormat::kJson : InfoFormat::kText, {}, true});
    run.add(input);
    (void)run.finish();
  } else if (view < 10) {
    PlotRun run({view == 9 ? kWindow : TimeWindow{}, {}, true});
    run.add(input);
    const Result<std::string> svg = run.render();
    if (svg.ok() && svg.value().size() > kMostPlotBytes) std::abort();
    if (svg.ok()) sink.text = svg.value();
  } else {
    TableOptions options;
    options.salvage = true;
    TableRun run(static_cast<TableKind>(view % kTables), options);
    run.add(input);
    const Table table = run.take();
    for (const Column& column : table.columns) {
      if (column.size() != table.rows) std::abort();
    }
    sink.text = std::to_string(table.rows);
  }
  return sink.text;
}

// Everything a view writes, and how it ended.
std::string viewOf(uint8_t selector, const Input& input) {
  StringSink sink;
  if ((selector & 0xF0) == 0xC0) return salvagedViewOf(selector, input);
  if (selector < 16) {
    const ReportSwitches switches{(selector & 1) != 0, (selector & 2) != 0, (selector & 8) != 0, (selector & 4) != 0};
    Report report(sink, {switches, {}});
    report.add(input);
  } else if (selector >= 0xF0) {
    InfoRun run(sink, {(selector & 1) != 0 ? InfoFormat::kJson : InfoFormat::kText, {}});
    run.add(input);
    (void)run.finish();
  } else if (selector >= 0xE0) {
    PlotRun run({(selector & 1) != 0 ? kWindow : TimeWindow{}, {}});
    run.add(input);
    const Result<std::string> svg = run.render();
    if (svg.ok() && svg.value().size() > kMostPlotBytes) std::abort();
    if (svg.ok()) sink.text = svg.value();
  } else if (selector >= 0xD0) {
    TableOptions options;
    if ((selector & 1) != 0) options.window = kWindow;
    const auto kind = static_cast<TableKind>(selector % kTables);
    TableRun run(kind, options);
    run.add(input);
    const Table table = run.take();
    for (const Column& column : table.columns) {
      if (column.size() != table.rows) std::abort();
    }
    sink.text = std::to_string(table.rows);
  } else {
    const auto table = static_cast<TableKind>((selector - 16) % kTables);
    CsvRun run(sink, {table, (selector & 0x80) != 0 ? kWindow : TimeWindow{}, {}});
    run.add(input);
    (void)run.finish();
  }
  return sink.text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::span<const uint8_t> file(data + 1, size - 1);
  const std::string fromMemory = viewOf(data[0], Input::memory(file, "fuzz"));
  const int fd = memoryFile(file);
  const std::string fromDescriptor = viewOf(data[0], Input::descriptor(fd, "fuzz"));
  close(fd);
  if (fromMemory != fromDescriptor) std::abort();
  return 0;
}

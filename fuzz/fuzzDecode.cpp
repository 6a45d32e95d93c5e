// libFuzzer entry: the first byte picks the view, the rest is a record file,
// decoded through the same path as a named file. Selector values below 16
// are the report under the switches of their bits (d, t, s, p); 0xF0 and
// above the deployment check (JSON when odd); 0xE0 to 0xEF the picture
// (windowed when odd), drawn and thrown away; the others pick a CSV table,
// with a time window when their top bit is set.
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "csvTables.h"
#include "decode.h"
#include "deploymentInfo.h"
#include "plotRun.h"
#include "reportWriter.h"

namespace {

constexpr int kTables = 6;
constexpr size_t kMostPlotBytes = 1000000;
constexpr int64_t kWindowFrom = int64_t{1796083210} * 1000000;
constexpr int64_t kWindowTo = int64_t{1796083230} * 1000000;

uint16_t switchFrom(uint8_t selector, unsigned bit) { return (selector >> bit & 1) != 0 ? 0xFFFF : 0; }

int memoryFile() {
  const int fd = memfd_create("record-file", MFD_CLOEXEC);
  if (fd < 0) {
    std::perror("memfd_create");
    std::abort();
  }
  return fd;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The output itself is of no interest here, only that making it is sound.
  const int null = open("/dev/null", O_WRONLY);
  dup2(null, STDOUT_FILENO);
  close(null);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t selector = data[0];
  static const int fd = memoryFile();
  static char name[64];
  std::snprintf(name, sizeof name, "/proc/self/fd/%d", fd);
  if (ftruncate(fd, 0) != 0 || pwrite(fd, data + 1, size - 1, 0) != static_cast<ssize_t>(size - 1)) {
    std::abort();
  }
  if (selector < 16) {
    printDataRecs = switchFrom(selector, 0);
    totalsOnly = switchFrom(selector, 1);
    sysRecOnly = switchFrom(selector, 2);
    pressOnly = switchFrom(selector, 3);
    decodeFile(name);
  } else if (selector >= 0xF0) {
    InfoRun run((selector & 1) != 0 ? InfoFormat::kJson : InfoFormat::kText);
    run.describeFile(name);
    run.describeRun();
  } else if (selector >= 0xE0) {
    PlotRun run((selector & 1) != 0 ? TimeWindow{kWindowFrom, kWindowTo, true} : TimeWindow{});
    run.addFile(name);
    if (renderPlot(run.columns(), run.facts()).size() > kMostPlotBytes) std::abort();
  } else {
    const auto table = static_cast<CsvTable>((selector - 16) % kTables);
    // A window around the sample recording's minute, or none.
    const TimeWindow window = (selector & 0x80) != 0 ? TimeWindow{kWindowFrom, kWindowTo, true} : TimeWindow{};
    CsvRun run(table, window);
    run.writeHeaderRow();
    run.convertFile(name);
  }
  reportOut().flush();
  return 0;
}

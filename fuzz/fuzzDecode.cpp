// libFuzzer entry: the first byte picks the view, the rest is a record file,
// decoded from memory and from a descriptor, which must agree. Selector
// values below 16 are the report under the switches of their bits (d, t, s,
// p); 0xF0 and above the deployment check (JSON when odd); 0xE0 to 0xEF the
// picture (windowed when odd); 0xD0 to 0xDF the typed tables (windowed when
// odd); 0xC0 to 0xCF the same views salvaged (a CSV table, the check,
// the picture, a typed table); 0xB0 to 0xBF build an undamaged recording
// from the rest, whose salvage must be its plain reading in every table;
// the others pick a CSV table, with a time window when their top bit is set.
#include <fuzzer/FuzzedDataProvider.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "core/recordCatalogue.h"
#include "zolt/zolt.h"

namespace {

using namespace zolt;

constexpr int kTables = static_cast<int>(std::size(kCatalogue));
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

// A record file as a logger writes it, its fields and counts chosen by the
// fuzzer's bytes: one or more recordings, each a file header, maybe index
// entries, then seconds of a marker, data records about the header's rate
// a second, pressure readings among them and system records of the
// marker's time. The clock moves on by at least a second from marker to
// marker, now and then by days.
class RecordingBuilder {
 public:
  explicit RecordingBuilder(std::span<const uint8_t> bytes) : in_(bytes.data(), bytes.size()) {}

  std::vector<uint8_t> build() {
    const int recordings = in_.ConsumeIntegralInRange(1, 3);
    for (int i = 0; i < recordings && in_.remaining_bytes() > 0; ++i) recording();
    return out_;
  }

 private:
  void byte(unsigned value) { out_.push_back(static_cast<uint8_t>(value)); }
  void word(unsigned value) {
    byte(value >> 8);
    byte(value);
  }
  void longWord(uint32_t value) {
    word(value >> 16);
    word(value & 0xFFFF);
  }

  void recording() {
    const auto rate = in_.ConsumeIntegralInRange<uint16_t>(1, 64);
    int64_t time = in_.ConsumeIntegral<int32_t>();
    byte(kFileHeader);
    byte(0);
    word(in_.ConsumeIntegral<uint16_t>());  // version
    word(in_.ConsumeIntegral<uint16_t>());  // logger
    word(rate);
    longWord(static_cast<uint32_t>(time));
    word(in_.ConsumeIntegralInRange<uint16_t>(0, 999));
    longWord(in_.ConsumeIntegral<uint32_t>());
    for (int entries = in_.ConsumeIntegralInRange(0, 2); entries > 0; --entries) index(time);
    const bool unitQuaternions = in_.ConsumeBool();
    const auto pressureEvery = in_.ConsumeIntegralInRange<uint16_t>(0, rate);
    const int systemEvery = in_.ConsumeIntegralInRange(0, 10);
    const int seconds = in_.ConsumeIntegralInRange(0, 12);
    for (int second = 0; second < seconds && in_.remaining_bytes() > 0; ++second) {
      if (second > 0) {
        const int64_t step = nextStep();
        if (time + step > INT32_MAX || time + step < INT32_MIN) return;
        time += step;
      }
      byte(kSecondMarker);
      byte(0);
      longWord(static_cast<uint32_t>(time));
      if (systemEvery != 0 && second % systemEvery == 0) system(time);
      const unsigned count = in_.ConsumeIntegralInRange(0, 7) != 0 ? rate : in_.ConsumeIntegralInRange(0, 2 * rate);
      for (unsigned sample = 0; sample < count; ++sample) {
        data(unitQuaternions);
        if (pressureEvery != 0 && (sample + 1) % pressureEvery == 0) {
          byte(kPressureRecord);
          byte(0);
          word(in_.ConsumeIntegral<uint16_t>());
        }
      }
    }
  }

  int64_t nextStep() {
    if (in_.ConsumeIntegralInRange(0, 15) == 0) return in_.ConsumeIntegralInRange(-86400, 0);
    if (in_.ConsumeIntegralInRange(0, 7) != 0) return 1;
    return in_.ConsumeIntegralInRange<int64_t>(1, int64_t{40} * 86400);
  }

  void index(int64_t time) {
    byte(kIndexRecord);
    byte(0);
    longWord(static_cast<uint32_t>(time));
    word(in_.ConsumeIntegralInRange<uint16_t>(0, 999));
    longWord(in_.ConsumeIntegral<uint32_t>());
    longWord(in_.ConsumeIntegral<uint32_t>());
    static constexpr char kNameBytes[] = "abcdefghijklmnopqrstuvwxyz0123456789._-";
    const size_t length = in_.ConsumeIntegralInRange<size_t>(1, kFileNameSize - 1);
    for (size_t i = 0; i < kFileNameSize; ++i) {
      byte(i < length ? kNameBytes[in_.ConsumeIntegralInRange<size_t>(0, sizeof kNameBytes - 2)] : 0);
    }
  }

  void system(int64_t time) {
    byte(kSystemRecord);
    byte(0);
    longWord(static_cast<uint32_t>(time));
    for (int reading = 0; reading < 6; ++reading) word(in_.ConsumeIntegral<uint16_t>());
  }

  void data(bool unitQuaternion) {
    byte(kDataRecord);
    for (int axis = 0; axis < 3; ++axis) {
      const auto counts = static_cast<uint32_t>(in_.ConsumeIntegralInRange(-(1 << 23), (1 << 23) - 1));
      byte(counts >> 16);
      byte(counts >> 8);
      byte(counts);
    }
    if (!unitQuaternion) {
      for (int part = 0; part < 4; ++part) word(in_.ConsumeIntegral<uint16_t>());
      return;
    }
    // A unit quaternion from three angles' worth of bytes, as the logger's
    // counts of 1/16384 round it.
    const double parts[4] = {1, in_.ConsumeFloatingPointInRange(-1.0, 1.0), in_.ConsumeFloatingPointInRange(-1.0, 1.0),
                       in_.ConsumeFloatingPointInRange(-1.0, 1.0)};
    double length = 0;
    for (const double part : parts) length += part * part;
    for (const double part : parts) {
      word(static_cast<uint16_t>(static_cast<int16_t>(std::lround(16384 * part / std::sqrt(length)))));
    }
  }

  FuzzedDataProvider in_;
  std::vector<uint8_t> out_;
};

// Salvage of an undamaged recording is its plain reading, table by table.
void salvageKeepsAnUndamagedRecording(std::span<const uint8_t> bytes) {
  const std::vector<uint8_t> file = RecordingBuilder(bytes).build();
  for (int table = 0; table < kTables; ++table) {
    std::string readings[2];
    for (const bool salvage : {false, true}) {
      StringSink sink;
      CsvRun run(sink, {static_cast<TableKind>(table), TimeWindow{}, {}, salvage});
      run.add(Input::memory(file, "fuzz"));
      (void)run.finish();
      readings[salvage ? 1 : 0] = sink.text;
    }
    if (readings[0] != readings[1]) {
      (void)std::fprintf(stderr, "salvage of an undamaged recording of %zu bytes is not its plain reading: table %d\n",
                         file.size(), table);
      // The recording itself, for a look with decode.
      if (const char* const keep = std::getenv("FUZZ_RECORDING_OUT")) {
        if (FILE* const out = std::fopen(keep, "wb")) {
          (void)std::fwrite(file.data(), 1, file.size(), out);
          (void)std::fclose(out);
        }
      }
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::span<const uint8_t> file(data + 1, size - 1);
  if ((data[0] & 0xF0) == 0xB0) {
    salvageKeepsAnUndamagedRecording(file);
    return 0;
  }
  const std::string fromMemory = viewOf(data[0], Input::memory(file, "fuzz"));
  const int fd = memoryFile(file);
  const std::string fromDescriptor = viewOf(data[0], Input::descriptor(fd, "fuzz"));
  close(fd);
  if (fromMemory != fromDescriptor) std::abort();
  return 0;
}

// Tables for analysis tools: one CSV table of one record type over every
// input of a run, with exact values and ISO 8601 times in UTC.
#include "text/exactFormat.h"
#include "core/readInput.h"
#include "core/sampleClock.h"
#include "views/tableRows.h"
#include "text/textFormat.h"
#include "text/textOut.h"
#include "zolt/csv.h"
#include "zolt/units.h"

namespace zolt {

namespace {

constexpr std::string_view kHeaderRows[] = {
    "time,ver,id,rate,duration_s\n",
    "time\n",
    "time,sample,acc_x,acc_y,acc_z,quat_0,quat_1,quat_2,quat_3\n",
    "time,counts,volts,ext_press_bar\n",
    "time,duration_s,max_val,file\n",
    "time,batt_V,vmodem_V,ext_press_bar,int_press_psia,temp_degC,hum_pct\n",
};

constexpr size_t kRowRoom = 512;  // more than any row
constexpr int kMaxValBits = 16;
constexpr int kVoltsBits = 17;  // counts * 2.5 / 65536 = counts * 5 / 2^17

// A CSV field: quoted only when it holds a comma or a double quote, which
// is then doubled.
char* putCsvField(char* out, std::string_view text) {
  if (text.find_first_of(",\"") == std::string_view::npos) return putText(out, text);
  *out++ = '"';
  for (const char c : text) {
    if (c == '"') *out++ = '"';
    *out++ = c;
  }
  *out++ = '"';
  return out;
}

char* putEngValue(char* out, AdcChannel channel, uint16_t counts) {
  return putShortest(out, adcEngValue(channel, counts, nullptr));
}

// Each kept row as a line of text.
class CsvRows {
 public:
  explicit CsvRows(TextOut& out) : out_(out) {}

  void header(int64_t time, const FileHeader& header) {
    char* out = putTime(reserveRow(), time, 3);
    out = putUnsigned(putText(out, ","), header.ver);
    out = putUnsigned(putText(out, ","), header.id);
    out = putUnsigned(putText(out, ","), header.rate);
    out = putExactThousandths(putText(out, ","), header.durationMs);
    endRow(out);
  }

  void marker(int64_t time) { endRow(putTime(reserveRow(), time, 3)); }

  void data(int64_t markerTime, uint16_t rate, uint64_t firstSample, const uint8_t* records, size_t count) {
    SampleClock clock(firstSample, rate);
    for (size_t i = 0; i < count; ++i, clock.step()) {
      const int64_t time = markerTime == kNoTime ? kNoTime : markerTime + clock.offset();
      const DataRecord record = readData(records + i * kDataRecordSize + 1);
      char* out = putTime(reserveRow(), time, 6);
      out = putUnsigned(putText(out, ","), firstSample + i);
      endRow(putInertialFields(out, record.acc, record.quat));
    }
  }

  void pressure(int64_t time, uint16_t counts) {
    char* out = putTime(reserveRow(), time, 3);
    out = putUnsigned(putText(out, ","), counts);
    out = putExactFraction(putText(out, ","), int64_t{counts} * 5, kVoltsBits);
    out = putEngValue(putText(out, ","), kExtPressure, counts);
    endRow(out);
  }

  void index(int64_t time, const IndexRecord& index) {
    char escaped[escapedNameRoom(kFileNameSize)];
    const char* escapedEnd = putEscapedName(escaped, index.file);
    char* out = putTime(reserveRow(), time, 3);
    out = putExactThousandths(putText(out, ","), index.durationMs);
    out = putExactFraction(putText(out, ","), index.maxVal, kMaxValBits);
    out = putCsvField(putText(out, ","), std::string_view(escaped, static_cast<size_t>(escapedEnd - escaped)));
    endRow(out);
  }

  void system(int64_t time, const SystemRecord& system) {
    char* out = putTime(reserveRow(), time, 3);
    out = putShortest(putText(out, ","), supplyVolts(system.batt));
    out = putShortest(putText(out, ","), supplyVolts(system.vmodem));
    out = putEngValue(putText(out, ","), kExtPressure, system.extPress);
    out = putEngValue(putText(out, ","), kIntPressure, system.intPress);
    out = putEngValue(putText(out, ","), kTemperature, system.temp);
    out = putEngValue(putText(out, ","), kHumidity, system.hum);
    endRow(out);
  }

  Error failure() const { return out_.failure(); }

 private:
  char* putTime(char* out, int64_t micros, int decimals) {
    return micros == kNoTime ? out : putIsoTime(out, micros, decimals, seconds_);
  }
  char* reserveRow() { return out_.reserve(kRowRoom); }
  void endRow(char* out) { out_.commit(putText(out, "\n")); }

  TextOut& out_;
  SecondCache seconds_;
};

}  // namespace

struct CsvRun::Impl {
  TableKind table;
  TimeWindow window;
  TextOut out;
  uint16_t rate = 0;  // from the latest file header of the run
};

CsvRun::CsvRun(TableKind table, const TimeWindow& window, Sink& sink)
    : impl_(std::make_unique<Impl>(Impl{table, window, TextOut(sink), 0})) {}

CsvRun::~CsvRun() = default;

Error CsvRun::writeHeaderRow() {
  try {
    impl_->out.text(kHeaderRows[static_cast<size_t>(impl_->table)]);
  } catch (const std::bad_alloc&) {
    return outOfMemory();
  }
  return impl_->out.flush();
}

FileOutcome CsvRun::file(const Input& input, const KeepGoing& keepGoing) {
  Impl& run = *impl_;
  CsvRows rows(run.out);
  TableRowsView<CsvRows> view(run.table, run.window, run.rate, rows);
  FileOutcome outcome = readInput(input, view, keepGoing);
  run.rate = view.rate();
  // The rows come before anything the caller says of the input.
  if (const Error written = run.out.flush(); written.failed()) outcome.error = written;
  return outcome;
}

}  // namespace zolt

#include "csvTables.h"

#include <cstring>

#include "calendar.h"
#include "complain.h"
#include "decode.h"
#include "exactFormat.h"
#include "namedInput.h"
#include "recordScanner.h"
#include "reportWriter.h"
#include "sampleClock.h"
#include "textFormat.h"

const char* const kCsvTableNames = "header, marker, data, pressure, index, system";

namespace {

constexpr std::string_view kTableNames[] = {"header", "marker", "data", "pressure", "index", "system"};

constexpr std::string_view kHeaderRows[] = {
    "time,ver,id,rate,duration_s\n",
    "time\n",
    "time,sample,acc_x,acc_y,acc_z,quat_0,quat_1,quat_2,quat_3\n",
    "time,counts,volts,ext_press_bar\n",
    "time,duration_s,max_val,file\n",
    "time,batt_V,vmodem_V,ext_press_bar,int_press_psia,temp_degC,hum_pct\n",
};

constexpr int64_t kNoTime = INT64_MIN;
constexpr size_t kRowRoom = 512;  // more than any row
constexpr int kMaxValBits = 16;
constexpr int kVoltsBits = 17;  // counts * 2.5 / 65536 = counts * 5 / 2^17

int64_t microsOf(int32_t seconds, uint32_t ms = 0) {
  return (int64_t{seconds} * 1000 + ms) * 1000;
}

char* putTime(char* out, int64_t micros, int decimals) {
  return micros == kNoTime ? out : putIsoTime(out, micros, decimals);
}

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

// The rows of one file. What the tables share across files (the rate)
// comes from and goes back to the run.
class CsvView {
 public:
  CsvView(CsvTable table, const TimeWindow& window, uint16_t rate) : table_(table), window_(window), rate_(rate) {}

  uint16_t rate() const { return rate_; }
  uint64_t unknownBytes() const { return unknownBytes_; }
  uint64_t firstUnknownOffset() const { return firstUnknownOffset_; }
  bool hasCutRecord() const { return cutSize_ != 0; }
  uint64_t cutOffset() const { return cutOffset_; }
  size_t cutSize() const { return cutSize_; }
  uint8_t cutType() const { return cutType_; }

  void fileHeader(const uint8_t* body) {
    const FileHeaderFields header = readFileHeader(body);
    rate_ = header.rate;
    const int64_t time = microsOf(header.time, header.ms);
    if (table_ != CsvTable::kHeader || !keeps(time)) return;
    char* out = putTime(reserveRow(), time, 3);
    out = putUnsigned(putText(out, ","), header.ver);
    out = putUnsigned(putText(out, ","), header.id);
    out = putUnsigned(putText(out, ","), header.rate);
    out = putExactThousandths(putText(out, ","), header.dur);
    endRow(out);
  }

  void secondMarker(const uint8_t* body) {
    const uint8_t* at = body;
    skipPadByte(at);
    markerTime_ = microsOf(readTimestamp(at));
    sample_ = 0;
    if (table_ != CsvTable::kMarker || !keeps(markerTime_)) return;
    endRow(putTime(reserveRow(), markerTime_, 3));
  }

  void dataRecords(const uint8_t* records, size_t count) {
    if (table_ == CsvTable::kData) writeDataRows(records, count);
    sample_ += count;
  }

  void pressure(const uint8_t* body) {
    const uint8_t* at = body;
    skipPadByte(at);
    const uint16_t counts = readWord(at);
    if (table_ != CsvTable::kPressure || !keeps(markerTime_)) return;
    char* out = putTime(reserveRow(), markerTime_, 3);
    out = putUnsigned(putText(out, ","), counts);
    out = putExactFraction(putText(out, ","), int64_t{counts} * 5, kVoltsBits);
    out = putEngValue(putText(out, ","), kExtPressure, counts);
    endRow(out);
  }

  void index(const uint8_t* body) {
    if (table_ != CsvTable::kIndex) return;
    const IndexFields index = readIndex(body);
    const int64_t time = microsOf(index.time, index.ms);
    if (!keeps(time)) return;
    char escaped[escapedNameRoom(kFileNameSize)];
    const char* escapedEnd = putEscapedName(escaped, indexedFileName(index));
    char* out = putTime(reserveRow(), time, 3);
    out = putExactThousandths(putText(out, ","), index.dur);
    out = putExactFraction(putText(out, ","), index.maxVal, kMaxValBits);
    out = putCsvField(putText(out, ","), std::string_view(escaped, static_cast<size_t>(escapedEnd - escaped)));
    endRow(out);
  }

  void system(const uint8_t* body) {
    if (table_ != CsvTable::kSystem) return;
    const SystemFields system = readSystem(body);
    const int64_t time = microsOf(system.time);
    if (!keeps(time)) return;
    char* out = putTime(reserveRow(), time, 3);
    out = putShortest(putText(out, ","), supplyVolts(system.batt));
    out = putShortest(putText(out, ","), supplyVolts(system.vmodem));
    out = putEngValue(putText(out, ","), kExtPressure, system.extPress);
    out = putEngValue(putText(out, ","), kIntPressure, system.intPress);
    out = putEngValue(putText(out, ","), kTemperature, system.temp);
    out = putEngValue(putText(out, ","), kHumidity, system.hum);
    endRow(out);
  }

  void unknownType(uint8_t /*type*/, uint64_t offset) {
    if (unknownBytes_++ == 0) firstUnknownOffset_ = offset;
  }

  // Zeros in place of the missing bytes would be invented data: the record
  // is only told of.
  void cutRecord(const uint8_t* bytes, size_t size, uint64_t offset) {
    cutType_ = bytes[0];
    cutSize_ = size;
    cutOffset_ = offset;
  }

 private:
  bool keeps(int64_t time) const {
    if (time == kNoTime) return !window_.given;
    return time >= window_.from && time < window_.to;
  }

  static char* reserveRow() { return reportOut().reserve(kRowRoom); }
  static void endRow(char* out) { reportOut().commit(putText(out, "\n")); }

  void writeDataRows(const uint8_t* records, size_t count) {
    SampleClock clock(sample_, rate_);
    for (size_t i = 0; i < count; ++i, clock.step()) {
      const int64_t time = markerTime_ == kNoTime ? kNoTime : markerTime_ + clock.offset();
      if (keeps(time)) writeDataRow(time, sample_ + i, records + i * kDataRecordSize + 1);
    }
  }

  static void writeDataRow(int64_t time, uint64_t sample, const uint8_t* body) {
    char* out = putTime(reserveRow(), time, 6);
    out = putUnsigned(putText(out, ","), sample);
    const int32_t acc[kAccAxes] = {accCount(body + accOffset(0)), accCount(body + accOffset(1)),
                                   accCount(body + accOffset(2))};
    const int16_t quat[kQuatParts] = {quatCount(body + quatOffset(0)), quatCount(body + quatOffset(1)),
                                      quatCount(body + quatOffset(2)), quatCount(body + quatOffset(3))};
    endRow(putInertialFields(out, acc, quat));
  }

  CsvTable table_;
  const TimeWindow& window_;
  uint16_t rate_;
  int64_t markerTime_ = kNoTime;  // of the latest second marker in this file
  uint64_t sample_ = 0;           // data records since that marker
  uint64_t unknownBytes_ = 0;
  uint64_t firstUnknownOffset_ = 0;
  uint64_t cutOffset_ = 0;
  size_t cutSize_ = 0;
  uint8_t cutType_ = 0;
};

void reportDamage(const std::string& name, const CsvView& view) {
  if (view.unknownBytes() > 0 || view.hasCutRecord()) reportOut().flush();  // the rows before it come first
  if (view.unknownBytes() > 0) {
    complain("%s: %llu bytes of unknown record type, the first at offset %llu", name.c_str(),
             static_cast<unsigned long long>(view.unknownBytes()),
             static_cast<unsigned long long>(view.firstUnknownOffset()));
  }
  if (view.hasCutRecord()) {
    complain("%s: record of type %u cut short at offset %llu (%zu of %zu bytes), not written", name.c_str(),
             view.cutType(), static_cast<unsigned long long>(view.cutOffset()), view.cutSize(),
             kRecordSize[view.cutType()]);
  }
}

}  // namespace

std::optional<CsvTable> csvTableNamed(std::string_view name) {
  for (size_t i = 0; i < std::size(kTableNames); ++i) {
    if (kTableNames[i] == name) return static_cast<CsvTable>(i);
  }
  return std::nullopt;
}

void CsvRun::writeHeaderRow() const { reportOut().text(kHeaderRows[static_cast<size_t>(table_)]); }

bool CsvRun::convertFile(const char* name) {
  CsvView view(table_, window_, rate_);
  const bool whole = scanNamedInput(name, view);
  rate_ = view.rate();
  reportDamage(shownName(name), view);
  return whole;
}

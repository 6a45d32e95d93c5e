// The report: the Decoder state, one handler per record type, and the view
// that hands the scanner's records to them.
#include <cstring>

#include "core/readInput.h"
#include "core/recordFormat.h"
#include "text/textFormat.h"
#include "text/textOut.h"
#include "zolt/report.h"
#include "zolt/units.h"

namespace zolt {

namespace {

constexpr size_t kLineRoom = 256;  // more than any line without a file name

class ReportView {
 public:
  ReportView(ReportSwitches switches, Sink& sink) : switches_(switches), out_(sink) {}

  FileOutcome decodeFile(std::string_view name, const Input& input);

  // The scanner's view.
  void fileHeader(const uint8_t* body) { printFileHdr(body); }
  void secondMarker(const uint8_t* body) { printSecMarker(body); }
  void pressure(const uint8_t* body) { printPressure(body); }
  void index(const uint8_t* body) { printIndexRcd(body); }
  void system(const uint8_t* body) { printSysRcd(body); }
  void unknownType(uint8_t type, uint64_t /*offset*/) { reportUnknownType(type); }
  // Data records come a hundred to the second; when they are only counted,
  // a run of them is counted in one go.
  void dataRecords(const uint8_t* records, size_t count);
  // The report decodes a record cut short as if its missing bytes were zero.
  void cutRecord(const uint8_t* bytes, size_t size, uint64_t offset);
  Error failure() const { return out_.failure(); }

 private:
  bool anySwitchOn() const {
    return switches_.printDataRecs || switches_.totalsOnly || switches_.pressOnly || switches_.sysRecOnly;
  }
  bool printsDataInFull() const {
    return switches_.printDataRecs && !(switches_.totalsOnly || switches_.pressOnly || switches_.sysRecOnly);
  }

  void printFileHdr(const uint8_t* body);
  void printSecMarker(const uint8_t* body);
  void printData(const uint8_t* body);
  void printPressure(const uint8_t* body);
  void printIndexRcd(const uint8_t* body);
  void printSysRcd(const uint8_t* body);
  void checkDataRecs();

  void printDataInFull(const uint8_t* body);
  void reportUnknownType(uint8_t type);
  void reportAboutFile(std::string_view before, std::string_view name, std::string_view after);
  void reportClosingLine(std::string_view name);
  static char* putEngValue(char* out, AdcChannel channel, uint16_t counts, int width, int decimals) {
    return putFixed(out, double{adcEngValue(channel, counts, nullptr)}, width, decimals);
  }

  ReportSwitches switches_;
  TextOut out_;
  DateCache dates_;
  uint32_t numDataRecs_ = 0;  // data records not yet shown in a count line
  uint32_t totDataRecs_ = 0;  // data records in the current file
  uint32_t duration_ = 0;     // ms, from the latest file header of the run
};

void ReportView::checkDataRecs() {
  if (anySwitchOn() || numDataRecs_ == 0) return;
  char* out = out_.reserve(kLineRoom);
  out = putUnsigned(out, numDataRecs_);
  out_.commit(putText(out, " Data Records\n"));
  numDataRecs_ = 0;
}

void ReportView::printDataInFull(const uint8_t* body) {
  const DataRecord record = readData(body);
  out_.commit(putInertialData(out_.reserve(kLineRoom), record.acc, record.quat));
}

void ReportView::reportUnknownType(uint8_t type) {
  char* out = out_.reserve(kLineRoom);
  out = putText(out, "Unknown Record type: ");
  out = putUnsigned(out, type);
  out_.commit(putText(out, "\n"));
}

void ReportView::reportAboutFile(std::string_view before, std::string_view name, std::string_view after) {
  out_.text(before);
  out_.text(name);
  out_.text(after);
}

void ReportView::reportClosingLine(std::string_view name) {
  reportAboutFile("File ", name, ": ");
  char* out = out_.reserve(kLineRoom);
  out = putUnsigned(out, totDataRecs_);
  out = putText(out, " data records in ");
  out = putSeconds(out, duration_);
  out_.commit(putText(out, " seconds\n"));
}

void ReportView::dataRecords(const uint8_t* records, size_t count) {
  if (count == 1) {
    printData(records + 1);
    return;
  }
  totDataRecs_ += static_cast<uint32_t>(count);
  if (!printsDataInFull()) {
    numDataRecs_ += static_cast<uint32_t>(count);
    return;
  }
  for (const uint8_t* record = records; count > 0; --count, record += kDataRecordSize) printDataInFull(record + 1);
}

void ReportView::cutRecord(const uint8_t* bytes, size_t size, uint64_t /*offset*/) {
  uint8_t record[kLargestRecord] = {};
  std::memcpy(record, bytes, size);
  deliverRecord(record, *this);
}

void ReportView::printFileHdr(const uint8_t* body) {
  const FileHeader header = readFileHeader(body);
  duration_ = header.durationMs;
  char* out = out_.reserve(kLineRoom);
  out = putUnsigned(putText(out, "FileHdr ver="), header.ver);
  out = putUnsigned(putText(out, " ID="), header.id);
  out = putUnsigned(putText(out, " rate="), header.rate);
  out = putCalendar(putText(out, " "), header.time, dates_);
  out = putSigned3(putText(out, "."), static_cast<int16_t>(header.ms));
  out = putSeconds(putText(out, " dur="), duration_);
  out_.commit(putText(out, "\n"));
}

void ReportView::printData(const uint8_t* body) {
  ++totDataRecs_;
  if (printsDataInFull()) {
    printDataInFull(body);
  } else {
    ++numDataRecs_;
  }
}

void ReportView::printSecMarker(const uint8_t* body) {
  checkDataRecs();
  const int32_t time = readMarkerTime(body);
  if (switches_.totalsOnly || switches_.pressOnly || switches_.sysRecOnly) return;
  char* out = out_.reserve(kLineRoom);
  out = putCalendar(putText(out, "Second Marker "), time, dates_);
  out_.commit(putText(out, "\n"));
}

void ReportView::printIndexRcd(const uint8_t* body) {
  checkDataRecs();
  const IndexRecord record = readIndex(body);
  const auto maxVal = static_cast<float>(record.maxVal / 65536.0);
  if (switches_.totalsOnly) return;
  char* out = out_.reserve(kLineRoom);
  out = putCalendar(putText(out, "Index "), record.time, dates_);
  out = putSigned3(putText(out, "."), static_cast<int16_t>(record.ms));
  out = putSeconds(putText(out, " dur="), record.durationMs);
  out = putFixed(putText(out, " maxVal="), double{maxVal}, 0, 4);
  out = putText(putText(out, " file="), record.file);
  out_.commit(putText(out, "\n"));
}

void ReportView::printPressure(const uint8_t* body) {
  checkDataRecs();
  const uint16_t counts = readPressureCounts(body);
  if (switches_.totalsOnly || switches_.sysRecOnly) return;
  char* out = out_.reserve(kLineRoom);
  out = putUnsigned(putText(out, "Ext Pressure "), counts);
  out = putFixed(putText(out, " counts "), converterVolts(counts), 5, 2);
  out = putEngValue(putText(out, " volts "), kExtPressure, counts, 6, 3);
  out_.commit(putText(out, " bar\n"));
}

void ReportView::printSysRcd(const uint8_t* body) {
  checkDataRecs();
  const SystemRecord record = readSystem(body);
  if (switches_.totalsOnly || switches_.pressOnly) return;
  char* out = out_.reserve(kLineRoom);
  out = putCalendar(putText(out, "Sys Rcd "), record.time, dates_);
  out = putFixed(putText(out, " Batt "), supplyVolts(record.batt), 5, 2);
  out = putFixed(putText(out, "V Vmodem "), supplyVolts(record.vmodem), 5, 2);
  out = putEngValue(putText(out, "V ExtPress "), kExtPressure, record.extPress, 6, 3);
  out = putEngValue(putText(out, " bar IntPress "), kIntPressure, record.intPress, 5, 2);
  out = putEngValue(putText(out, " psia Temp "), kTemperature, record.temp, 4, 1);
  out = putEngValue(putText(out, " degC Hum "), kHumidity, record.hum, 4, 1);
  out_.commit(putText(out, "%\n"));
}

FileOutcome ReportView::decodeFile(std::string_view name, const Input& input) {
  FileOutcome outcome;
  try {
    InputBlocks blocks(input);
    if (blocks.openError().failed()) {
      reportAboutFile("Could not open file ", name, "\n");
      outcome.error = blocks.openError();
    } else {
      reportAboutFile("\nDecoding file ", name, ":\n");
      totDataRecs_ = 0;
      outcome = scanLiterally(blocks, *this);
      checkDataRecs();
      if (outcome.error.code == Errc::kCannotRead || outcome.error.code == Errc::kShrank) {
        reportAboutFile("Could not read file ", name, "\n");
      }
      if (totDataRecs_ != 0) reportClosingLine(name);
    }
  } catch (const std::bad_alloc&) {
    outcome.error = outOfMemory();
  }
  if (const Error written = out_.flush(); written.failed()) outcome.error = written;
  return outcome;
}

}  // namespace

struct Report::Impl {
  ReportView view;
};

Report::Report(ReportSwitches switches, Sink& sink) : impl_(std::make_unique<Impl>(Impl{{switches, sink}})) {}

Report::~Report() = default;

FileOutcome Report::file(std::string_view name, const Input& input) { return impl_->view.decodeFile(name, input); }

}  // namespace zolt

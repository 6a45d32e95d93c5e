// The report: the Decoder state, one handler per record type, and the view
// that hands the scanner's records to them.
#include <cerrno>
#include <cstring>
#include <utility>

#include "core/readInput.h"
#include "core/readings.h"
#include "core/recordCatalogue.h"
#include "text/textFormat.h"
#include "text/textOut.h"
#include "zolt/report.h"

namespace zolt {

namespace {

constexpr size_t kLineRoom = 256;  // more than any line without a file name

class ReportView {
 public:
  ReportView(ReportSwitches switches, Sink& sink, KeepGoing keepGoing)
      : switches_(switches), out_(sink), keepGoing_(std::move(keepGoing)) {}

  FileOutcome decodeFile(const Input& input);

  // The scanner's view: a line of its own for every record type.
  void record(RecordBody<kFileHeader> body) { printFileHdr(body.bytes); }
  void record(RecordBody<kSecondMarker> body) { printSecMarker(body.bytes); }
  void record(RecordBody<kPressureRecord> body) { printPressure(body.bytes); }
  void record(RecordBody<kIndexRecord> body) { printIndexRcd(body.bytes); }
  void record(RecordBody<kSystemRecord> body) { printSysRcd(body.bytes); }
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
  ReportSwitches switches_;
  TextOut out_;
  KeepGoing keepGoing_;
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
  const DataRecord record = Record<kDataRecord>::read(body);
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
  const FileHeader header = Record<kFileHeader>::read(body);
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
  const int32_t time = Record<kSecondMarker>::read(body).time;
  if (switches_.totalsOnly || switches_.pressOnly || switches_.sysRecOnly) return;
  char* out = out_.reserve(kLineRoom);
  out = putCalendar(putText(out, "Second Marker "), time, dates_);
  out_.commit(putText(out, "\n"));
}

void ReportView::printIndexRcd(const uint8_t* body) {
  checkDataRecs();
  const IndexRecord record = Record<kIndexRecord>::read(body);
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
  const uint16_t counts = Record<kPressureRecord>::read(body).counts;
  if (switches_.totalsOnly || switches_.sysRecOnly) return;
  const PressureReadings readings = pressureReadings(counts);
  char* out = out_.reserve(kLineRoom);
  out = putUnsigned(putText(out, "Ext Pressure "), counts);
  out = putFixed(putText(out, " counts "), readings.volts, 5, 2);
  out = putFixed(putText(out, " volts "), readings.bar, 6, 3);
  out_.commit(putText(out, " bar\n"));
}

void ReportView::printSysRcd(const uint8_t* body) {
  checkDataRecs();
  const SystemRecord record = Record<kSystemRecord>::read(body);
  if (switches_.totalsOnly || switches_.pressOnly) return;
  const SystemReadings readings = systemReadings(record);
  char* out = out_.reserve(kLineRoom);
  out = putCalendar(putText(out, "Sys Rcd "), record.time, dates_);
  out = putFixed(putText(out, " Batt "), readings.battV, 5, 2);
  out = putFixed(putText(out, "V Vmodem "), readings.vmodemV, 5, 2);
  out = putFixed(putText(out, "V ExtPress "), readings.extPressBar, 6, 3);
  out = putFixed(putText(out, " bar IntPress "), readings.intPressPsia, 5, 2);
  out = putFixed(putText(out, " psia Temp "), readings.tempDegC, 4, 1);
  out = putFixed(putText(out, " degC Hum "), readings.humPct, 4, 1);
  out_.commit(putText(out, "%\n"));
}

FileOutcome ReportView::decodeFile(const Input& input) {
  const std::string_view name = input.name();
  FileOutcome outcome;
  try {
    InputBlocks blocks(input);
    if (blocks.openError().failed()) {
      reportAboutFile("Could not open file ", name, "\n");
      outcome.error = blocks.openError();
    } else {
      reportAboutFile("\nDecoding file ", name, ":\n");
      totDataRecs_ = 0;
      outcome = scanLiterally(blocks, *this, keepGoing_);
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

Report::Report(Sink& sink, ReportOptions options)
    : impl_(std::make_unique<Impl>(Impl{{options.switches, sink, std::move(options.keepGoing)}})) {}

Report::~Report() = default;
Report::Report(Report&&) noexcept = default;
Report& Report::operator=(Report&&) noexcept = default;

FileOutcome Report::add(const Input& input) {
  if (impl_ == nullptr) return {{Errc::kInvalidArgument, EINVAL}, {}};
  return impl_->view.decodeFile(input);
}

Error Report::finish() { return impl_ == nullptr ? Error{Errc::kInvalidArgument, EINVAL} : Error{}; }

}  // namespace zolt

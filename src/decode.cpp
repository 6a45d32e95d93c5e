// The report: the Decoder state, one handler per record type, and the view
// that hands the scanner's records to them.
#include "decode.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "recordScanner.h"
#include "reportWriter.h"
#include "textFormat.h"

uint16_t printDataRecs = 0;
uint16_t totalsOnly = 0;
uint16_t pressOnly = 0;
uint16_t sysRecOnly = 0;

namespace {

uint32_t numDataRecs = 0;  // data records not yet shown in a count line
uint32_t totDataRecs = 0;  // data records in the current file
uint32_t duration = 0;     // ms, from the latest file header of the run

constexpr size_t kLineRoom = 256;  // more than any line without a file name

bool anySwitchOn() { return (printDataRecs | totalsOnly | pressOnly | sysRecOnly) != 0; }

bool printsDataInFull() {
  return printDataRecs != 0 && (totalsOnly | pressOnly | sysRecOnly) == 0;
}

void checkDataRecs() {
  if (anySwitchOn() || numDataRecs == 0) return;
  char* out = reportOut().reserve(kLineRoom);
  out = putUnsigned(out, numDataRecs);
  reportOut().commit(putText(out, " Data Records\n"));
  numDataRecs = 0;
}

char* putEngValue(char* out, AdcChannel channel, uint16_t counts, int width, int decimals) {
  return putFixed(out, double{adcEngValue(channel, counts, nullptr)}, width, decimals);
}

void printDataInFull(const uint8_t* body) {
  const int32_t acc[kAccAxes] = {accCount(body + accOffset(0)), accCount(body + accOffset(1)),
                                 accCount(body + accOffset(2))};
  const int16_t quat[kQuatParts] = {quatCount(body + quatOffset(0)), quatCount(body + quatOffset(1)),
                                    quatCount(body + quatOffset(2)), quatCount(body + quatOffset(3))};
  reportOut().commit(putInertialData(reportOut().reserve(kLineRoom), acc, quat));
}

void reportUnknownType(uint8_t type) {
  char* out = reportOut().reserve(kLineRoom);
  out = putText(out, "Unknown Record type: ");
  out = putUnsigned(out, type);
  reportOut().commit(putText(out, "\n"));
}

void reportAboutFile(std::string_view before, const char* name, std::string_view after) {
  reportOut().text(before);
  reportOut().text(name);
  reportOut().text(after);
}

void reportClosingLine(const char* name) {
  reportAboutFile("File ", name, ": ");
  char* out = reportOut().reserve(kLineRoom);
  out = putUnsigned(out, totDataRecs);
  out = putText(out, " data records in ");
  out = putSeconds(out, duration);
  reportOut().commit(putText(out, " seconds\n"));
}

struct ReportView {
  static void fileHeader(const uint8_t* body) { printFileHdr(body); }
  static void secondMarker(const uint8_t* body) { printSecMarker(body); }
  static void pressure(const uint8_t* body) { printPressure(body); }
  static void index(const uint8_t* body) { printIndexRcd(body); }
  static void system(const uint8_t* body) { printSysRcd(body); }
  static void unknownType(uint8_t type, uint64_t /*offset*/) { reportUnknownType(type); }

  // Data records come a hundred to the second; when they are only counted,
  // a run of them is counted in one go.
  static void dataRecords(const uint8_t* records, size_t count) {
    totDataRecs += static_cast<uint32_t>(count);
    if (!printsDataInFull()) {
      numDataRecs += static_cast<uint32_t>(count);
      return;
    }
    for (const uint8_t* record = records; count > 0; --count, record += kDataRecordSize) {
      printDataInFull(record + 1);
    }
  }

  // The report decodes a record cut short as if its missing bytes were zero.
  void cutRecord(const uint8_t* bytes, size_t size, uint64_t /*offset*/) {
    uint8_t record[kLargestRecord] = {};
    std::memcpy(record, bytes, size);
    deliverRecord(record, *this);
  }
};

}  // namespace

void printFileHdr(const uint8_t* body) {
  const FileHeaderFields header = readFileHeader(body);
  duration = header.dur;
  char* out = reportOut().reserve(kLineRoom);
  out = putUnsigned(putText(out, "FileHdr ver="), header.ver);
  out = putUnsigned(putText(out, " ID="), header.id);
  out = putUnsigned(putText(out, " rate="), header.rate);
  out = putCalendar(putText(out, " "), header.time);
  out = putSigned3(putText(out, "."), static_cast<int16_t>(header.ms));
  out = putSeconds(putText(out, " dur="), duration);
  reportOut().commit(putText(out, "\n"));
}

void printData(const uint8_t* body) {
  ++totDataRecs;
  if (printsDataInFull()) {
    printDataInFull(body);
  } else {
    ++numDataRecs;
  }
}

void printSecMarker(const uint8_t* body) {
  checkDataRecs();
  const uint8_t* at = body;
  skipPadByte(at);
  const int32_t time = readTimestamp(at);
  if ((totalsOnly | pressOnly | sysRecOnly) != 0) return;
  char* out = reportOut().reserve(kLineRoom);
  out = putCalendar(putText(out, "Second Marker "), time);
  reportOut().commit(putText(out, "\n"));
}

void printIndexRcd(const uint8_t* body) {
  checkDataRecs();
  const IndexFields index = readIndex(body);
  const auto maxVal = static_cast<float>(index.maxVal / 65536.0);
  if (totalsOnly != 0) return;
  char* out = reportOut().reserve(kLineRoom);
  out = putCalendar(putText(out, "Index "), index.time);
  out = putSigned3(putText(out, "."), static_cast<int16_t>(index.ms));
  out = putSeconds(putText(out, " dur="), index.dur);
  out = putFixed(putText(out, " maxVal="), double{maxVal}, 0, 4);
  out = putText(putText(out, " file="), indexedFileName(index));
  reportOut().commit(putText(out, "\n"));
}

void printPressure(const uint8_t* body) {
  checkDataRecs();
  const uint8_t* at = body;
  skipPadByte(at);
  const uint16_t counts = readWord(at);
  if ((totalsOnly | sysRecOnly) != 0) return;
  char* out = reportOut().reserve(kLineRoom);
  out = putUnsigned(putText(out, "Ext Pressure "), counts);
  out = putFixed(putText(out, " counts "), converterVolts(counts), 5, 2);
  out = putEngValue(putText(out, " volts "), kExtPressure, counts, 6, 3);
  reportOut().commit(putText(out, " bar\n"));
}

void printSysRcd(const uint8_t* body) {
  checkDataRecs();
  const SystemFields system = readSystem(body);
  if ((totalsOnly | pressOnly) != 0) return;
  char* out = reportOut().reserve(kLineRoom);
  out = putCalendar(putText(out, "Sys Rcd "), system.time);
  out = putFixed(putText(out, " Batt "), supplyVolts(system.batt), 5, 2);
  out = putFixed(putText(out, "V Vmodem "), supplyVolts(system.vmodem), 5, 2);
  out = putEngValue(putText(out, "V ExtPress "), kExtPressure, system.extPress, 6, 3);
  out = putEngValue(putText(out, " bar IntPress "), kIntPressure, system.intPress, 5, 2);
  out = putEngValue(putText(out, " psia Temp "), kTemperature, system.temp, 4, 1);
  out = putEngValue(putText(out, " degC Hum "), kHumidity, system.hum, 4, 1);
  reportOut().commit(putText(out, "%\n"));
}

// "-" stands for standard input, as in other tools; a file of that name is
// reached as "./-". The duplicate lets it be closed like any other.
int openInput(const char* name) {
  if (std::strcmp(name, "-") == 0) return fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
  return open(name, O_RDONLY | O_CLOEXEC);
}

int decodeFile(const char* name) {
  const int fd = openInput(name);
  if (fd < 0) {
    reportAboutFile("Could not open file ", name, "\n");
    return -1;
  }
  reportAboutFile("\nDecoding file ", name, ":\n");
  totDataRecs = 0;
  ReportView view;
  const int readError = scanRecords(fd, view);
  checkDataRecs();
  if (readError != 0) reportAboutFile("Could not read file ", name, "\n");
  close(fd);
  if (totDataRecs != 0) reportClosingLine(name);
  return readError != 0 ? -1 : 0;
}

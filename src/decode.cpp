// Record stream decoder: the Decoder state, the per-file record loop and one
// handler per record type.
//
// A record file is a plain sequence of records, each a type byte followed by
// a body whose length the type fixes. Integers are big-endian.
//
//   type 0  file header    pad u8, ver u16, ID u16, rate u16, time s32, ms u16, dur u32
//   type 1  second marker  pad u8, time s32
//   type 2  data record    acc x, y, z s24q16 (3 bytes each), quat 0..3 s16q14
//   type 3  pressure       pad u8, counts u16
//   type 4  index          pad u8, time s32, ms u16, dur u32, maxVal u32 (1/65536), file 16 bytes
//   type 5  system         pad u8, time s32, Batt, Vmodem, ExtPress, IntPress, Temp, Hum u16
//
// time counts seconds since 1970-01-01 00:00:00 UTC; s24q16 and s16q14 are
// two's complement with 16 and 14 fraction bits.
#include "decode.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

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

constexpr int kRecordTypes = 6;
constexpr uint8_t kDataType = 2;
constexpr size_t kDataBodySize = 17;
constexpr size_t kFileNameSize = 16;
constexpr size_t kLineRoom = 256;  // more than any line without a file name

enum AdcChannel : uint16_t { kExtPressure = 2, kIntPressure = 3, kTemperature = 4, kHumidity = 5 };

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

void skipPadByte(RecordReader& in) { in.take(1); }

// The logger's clock is a signed 32-bit count of seconds, shown in UTC
// whatever the zone of the machine reading it.
int32_t readTimestamp(RecordReader& in) { return static_cast<int32_t>(readLong(in)); }

int32_t accCount(const uint8_t* bytes) {
  const auto pattern = static_cast<uint32_t>(bytes[0] << 24 | bytes[1] << 16 | bytes[2] << 8);
  return static_cast<int32_t>(pattern) >> 8;
}

int16_t quatCount(const uint8_t* bytes) { return static_cast<int16_t>(bytes[0] << 8 | bytes[1]); }

double converterVolts(uint16_t counts) { return counts * 2.5 / 65536.0; }

// The supply voltages go through a divider of 12.11 that the firmware applies
// in double precision, unlike the single-precision channel table.
double supplyVolts(uint16_t counts) { return counts * 12.11 * 2.5 / 65536.0; }

char* putEngValue(char* out, AdcChannel channel, uint16_t counts, int width, int decimals) {
  return putFixed(out, double{adcEngValue(channel, counts, nullptr)}, width, decimals);
}

void printDataInFull(const uint8_t* body) {
  char* out = reportOut().reserve(kLineRoom);
  out = putText(out, "Inertial Data  acc:");
  for (size_t axis = 0; axis < 3; ++axis) {
    *out++ = ' ';
    out = putAcc(out, accCount(body + 3 * axis));
  }
  out = putText(out, "  quat:");
  for (size_t part = 0; part < 4; ++part) {
    *out++ = ' ';
    out = putQuat(out, quatCount(body + 9 + 2 * part));
  }
  reportOut().commit(putText(out, "\n"));
}

// Data records come a hundred to the second between other records; when they
// are only counted, a run of them already in the buffer is counted in one go.
uint32_t skipBufferedDataRecords(RecordReader& in) {
  constexpr size_t kRecordSize = 1 + kDataBodySize;
  const uint8_t* const start = in.cursor();
  const uint8_t* const end = start + in.buffered();
  const uint8_t* record = start;
  // Four at a time while the run lasts: one test instead of four.
  constexpr std::ptrdiff_t kStride = 4 * kRecordSize;
  while (end - record >= kStride &&
         ((record[0] ^ kDataType) | (record[kRecordSize] ^ kDataType) |
          (record[2 * kRecordSize] ^ kDataType) | (record[3 * kRecordSize] ^ kDataType)) == 0) {
    record += kStride;
  }
  while (end - record >= static_cast<std::ptrdiff_t>(kRecordSize) && *record == kDataType) {
    record += kRecordSize;
  }
  const auto skipped = static_cast<size_t>(record - start);
  in.advance(skipped);
  return static_cast<uint32_t>(skipped / kRecordSize);
}

void reportUnknownType(int type) {
  char* out = reportOut().reserve(kLineRoom);
  out = putText(out, "Unknown Record type: ");
  out = putUnsigned(out, static_cast<uint64_t>(type));
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

// "-" stands for standard input, as in other tools; a file of that name is
// reached as "./-". The duplicate lets it be closed like any other.
int openInput(const char* name) {
  if (std::strcmp(name, "-") == 0) return fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0);
  return open(name, O_RDONLY | O_CLOEXEC);
}

using RecordHandler = void (*)(RecordReader&);
constexpr RecordHandler rcdFunc[kRecordTypes] = {
    printFileHdr, printSecMarker, printData, printPressure, printIndexRcd, printSysRcd,
};

void decodeRecords(RecordReader& in) {
  for (int type; (type = in.nextByte()) >= 0;) {
    if (type < kRecordTypes) {
      rcdFunc[type](in);
    } else {
      reportUnknownType(type);
    }
  }
}

}  // namespace

void printFileHdr(RecordReader& in) {
  skipPadByte(in);
  const uint16_t ver = readWord(in);
  const uint16_t id = readWord(in);
  const uint16_t rate = readWord(in);
  const int32_t time = readTimestamp(in);
  const uint16_t ms = readWord(in);
  duration = readLong(in);
  char* out = reportOut().reserve(kLineRoom);
  out = putUnsigned(putText(out, "FileHdr ver="), ver);
  out = putUnsigned(putText(out, " ID="), id);
  out = putUnsigned(putText(out, " rate="), rate);
  out = putCalendar(putText(out, " "), time);
  out = putSigned3(putText(out, "."), static_cast<int16_t>(ms));
  out = putSeconds(putText(out, " dur="), duration);
  reportOut().commit(putText(out, "\n"));
}

void printData(RecordReader& in) {
  const uint8_t* body = in.take(kDataBodySize);
  if (printsDataInFull()) {
    ++totDataRecs;
    printDataInFull(body);
    return;
  }
  const uint32_t records = 1 + skipBufferedDataRecords(in);
  totDataRecs += records;
  numDataRecs += records;
}

void printSecMarker(RecordReader& in) {
  checkDataRecs();
  skipPadByte(in);
  const int32_t time = readTimestamp(in);
  if ((totalsOnly | pressOnly | sysRecOnly) != 0) return;
  char* out = reportOut().reserve(kLineRoom);
  out = putCalendar(putText(out, "Second Marker "), time);
  reportOut().commit(putText(out, "\n"));
}

void printIndexRcd(RecordReader& in) {
  checkDataRecs();
  skipPadByte(in);
  const int32_t time = readTimestamp(in);
  const uint16_t ms = readWord(in);
  const uint32_t dur = readLong(in);
  const auto maxVal = static_cast<float>(readLong(in) / 65536.0);
  const uint8_t* file = in.take(kFileNameSize);
  if (totalsOnly != 0) return;
  // The last byte of the name field is never part of the name.
  const auto* name = reinterpret_cast<const char*>(file);
  const std::string_view shown(name, ::strnlen(name, kFileNameSize - 1));
  char* out = reportOut().reserve(kLineRoom);
  out = putCalendar(putText(out, "Index "), time);
  out = putSigned3(putText(out, "."), static_cast<int16_t>(ms));
  out = putSeconds(putText(out, " dur="), dur);
  out = putFixed(putText(out, " maxVal="), double{maxVal}, 0, 4);
  out = putText(putText(out, " file="), shown);
  reportOut().commit(putText(out, "\n"));
}

void printPressure(RecordReader& in) {
  checkDataRecs();
  skipPadByte(in);
  const uint16_t counts = readWord(in);
  if ((totalsOnly | sysRecOnly) != 0) return;
  char* out = reportOut().reserve(kLineRoom);
  out = putUnsigned(putText(out, "Ext Pressure "), counts);
  out = putFixed(putText(out, " counts "), converterVolts(counts), 5, 2);
  out = putEngValue(putText(out, " volts "), kExtPressure, counts, 6, 3);
  reportOut().commit(putText(out, " bar\n"));
}

void printSysRcd(RecordReader& in) {
  checkDataRecs();
  skipPadByte(in);
  const int32_t time = readTimestamp(in);
  const uint16_t batt = readWord(in);
  const uint16_t vmodem = readWord(in);
  const uint16_t extPress = readWord(in);
  const uint16_t intPress = readWord(in);
  const uint16_t temp = readWord(in);
  const uint16_t hum = readWord(in);
  if ((totalsOnly | pressOnly) != 0) return;
  char* out = reportOut().reserve(kLineRoom);
  out = putCalendar(putText(out, "Sys Rcd "), time);
  out = putFixed(putText(out, " Batt "), supplyVolts(batt), 5, 2);
  out = putFixed(putText(out, "V Vmodem "), supplyVolts(vmodem), 5, 2);
  out = putEngValue(putText(out, "V ExtPress "), kExtPressure, extPress, 6, 3);
  out = putEngValue(putText(out, " bar IntPress "), kIntPressure, intPress, 5, 2);
  out = putEngValue(putText(out, " psia Temp "), kTemperature, temp, 4, 1);
  out = putEngValue(putText(out, " degC Hum "), kHumidity, hum, 4, 1);
  reportOut().commit(putText(out, "%\n"));
}

int decodeFile(const char* name) {
  const int fd = openInput(name);
  if (fd < 0) {
    reportAboutFile("Could not open file ", name, "\n");
    return -1;
  }
  reportAboutFile("\nDecoding file ", name, ":\n");
  totDataRecs = 0;
  RecordReader in(fd);
  decodeRecords(in);
  checkDataRecs();
  const bool readFailed = in.readError() != 0;
  if (readFailed) reportAboutFile("Could not read file ", name, "\n");
  close(fd);
  if (totDataRecs != 0) reportClosingLine(name);
  return readFailed ? -1 : 0;
}

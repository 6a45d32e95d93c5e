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

#include <ctime>

uint16_t printDataRecs = 0;
uint16_t totalsOnly = 0;
uint16_t pressOnly = 0;
uint16_t sysRecOnly = 0;

namespace {

uint32_t numDataRecs = 0;  // data records not yet shown in a count line
uint32_t totDataRecs = 0;  // data records in the current file
uint32_t duration = 0;     // ms, from the latest file header of the run

constexpr int kRecordTypes = 6;
constexpr int kDataBodySize = 17;
constexpr int kFileNameSize = 16;

bool anySwitchOn() { return (printDataRecs | totalsOnly | pressOnly | sysRecOnly) != 0; }

bool printsDataInFull() {
  return printDataRecs != 0 && (totalsOnly | pressOnly | sysRecOnly) == 0;
}

void checkDataRecs() {
  if (anySwitchOn() || numDataRecs == 0) return;
  report("%lu Data Records\n", static_cast<unsigned long>(numDataRecs));
  numDataRecs = 0;
}

void skipPadByte(FILE* file) { std::fgetc(file); }

struct CalendarText {
  char text[48];
};

// The logger's clock is a signed 32-bit count whatever the host's time_t, and
// always UTC: a report must not change with the zone of the machine reading it.
CalendarText readTimestamp(FILE* file) {
  const std::time_t seconds = static_cast<int32_t>(readLong(file));
  std::tm time{};
  gmtime_r(&seconds, &time);
  CalendarText calendar{};
  std::snprintf(calendar.text, sizeof calendar.text, "%02d/%02d/%04d %02d:%02d:%02d",
                time.tm_mon + 1, time.tm_mday, time.tm_year + 1900, time.tm_hour, time.tm_min,
                time.tm_sec);
  return calendar;
}

long wholeSeconds(uint32_t milliseconds) { return static_cast<long>(milliseconds / 1000); }
unsigned long msPart(uint32_t milliseconds) { return milliseconds % 1000; }

float accValue(const unsigned char* bytes) {
  const auto pattern = static_cast<uint32_t>(bytes[0] << 24 | bytes[1] << 16 | bytes[2] << 8);
  return static_cast<float>(static_cast<int32_t>(pattern) >> 8) / 65536.0f;
}

float quatValue(const unsigned char* bytes) {
  const auto pattern = static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
  return static_cast<float>(static_cast<int16_t>(pattern)) / 16384.0f;
}

enum AdcChannel : uint16_t { kExtPressure = 2, kIntPressure = 3, kTemperature = 4, kHumidity = 5 };

double converterVolts(uint16_t counts) { return counts * 2.5 / 65536.0; }

// The supply voltages go through a divider of 12.11 that the firmware applies
// in double precision, unlike the single-precision channel table.
double supplyVolts(uint16_t counts) { return counts * 12.11 * 2.5 / 65536.0; }

using RecordHandler = void (*)(FILE*);
constexpr RecordHandler rcdFunc[kRecordTypes] = {
    printFileHdr, printSecMarker, printData, printPressure, printIndexRcd, printSysRcd,
};

}  // namespace

void printFileHdr(FILE* file) {
  skipPadByte(file);
  report("FileHdr ver=%hu ", readWord(file));
  report("ID=%u ", unsigned{readWord(file)});
  report("rate=%u ", unsigned{readWord(file)});
  const CalendarText time = readTimestamp(file);
  const uint16_t ms = readWord(file);
  duration = readLong(file);
  report("%s.%03hd", time.text, static_cast<short>(ms));
  report(" dur=%ld.%03lu\n", wholeSeconds(duration), msPart(duration));
}

void printData(FILE* file) {
  unsigned char body[kDataBodySize] = {};
  std::fread(body, 1, sizeof body, file);
  ++totDataRecs;
  if (!printsDataInFull()) {
    ++numDataRecs;
    return;
  }
  report("Inertial Data  acc: %8.5f %8.5f %8.5f  quat: %8.5f %8.5f %8.5f %8.5f\n",
         double{accValue(body)}, double{accValue(body + 3)}, double{accValue(body + 6)},
         double{quatValue(body + 9)}, double{quatValue(body + 11)},
         double{quatValue(body + 13)}, double{quatValue(body + 15)});
}

void printSecMarker(FILE* file) {
  checkDataRecs();
  skipPadByte(file);
  const CalendarText time = readTimestamp(file);
  if ((totalsOnly | pressOnly | sysRecOnly) != 0) return;
  report("Second Marker %s\n", time.text);
}

void printIndexRcd(FILE* file) {
  checkDataRecs();
  skipPadByte(file);
  const CalendarText time = readTimestamp(file);
  const uint16_t ms = readWord(file);
  const uint32_t dur = readLong(file);
  const auto maxVal = static_cast<float>(readLong(file) / 65536.0);
  if (totalsOnly == 0) {
    report("Index %s.%03hd dur=%ld.%03lu maxVal=%.4f ", time.text, static_cast<short>(ms),
           wholeSeconds(dur), msPart(dur), double{maxVal});
  }
  char name[kFileNameSize] = {};
  std::fread(name, 1, sizeof name, file);
  name[kFileNameSize - 1] = '\0';
  if (totalsOnly == 0) report("file=%s\n", name);
}

void printPressure(FILE* file) {
  checkDataRecs();
  skipPadByte(file);
  const uint16_t counts = readWord(file);
  if ((totalsOnly | sysRecOnly) != 0) return;
  const float bar = adcEngValue(kExtPressure, counts, nullptr);
  report("Ext Pressure %hu counts %5.2f volts %6.3f bar\n", counts, converterVolts(counts), double{bar});
}

void printSysRcd(FILE* file) {
  checkDataRecs();
  skipPadByte(file);
  const CalendarText time = readTimestamp(file);
  const uint16_t batt = readWord(file);
  const uint16_t vmodem = readWord(file);
  const uint16_t extPress = readWord(file);
  const uint16_t intPress = readWord(file);
  const uint16_t temp = readWord(file);
  const uint16_t hum = readWord(file);
  if ((totalsOnly | pressOnly) != 0) return;
  report("Sys Rcd %s Batt %5.2fV Vmodem %5.2fV ExtPress %6.3f bar IntPress %5.2f psia "
         "Temp %4.1f degC Hum %4.1f%%\n",
         time.text, supplyVolts(batt), supplyVolts(vmodem),
         double{adcEngValue(kExtPressure, extPress, nullptr)},
         double{adcEngValue(kIntPressure, intPress, nullptr)},
         double{adcEngValue(kTemperature, temp, nullptr)}, double{adcEngValue(kHumidity, hum, nullptr)});
}

int decodeFile(const char* name) {
  FILE* file = std::fopen(name, "r");
  if (file == nullptr) {
    report("Could not open file %s\n", name);
    return -1;
  }
  report("\nDecoding file %s:\n", name);
  totDataRecs = 0;
  int type;
  while ((type = std::fgetc(file)) != EOF) {
    if (type < kRecordTypes) {
      rcdFunc[type](file);
    } else {
      report("Unknown Record type: %d\n", type);
    }
  }
  checkDataRecs();
  const bool readFailed = std::ferror(file) != 0;
  if (readFailed) report("Could not read file %s\n", name);
  std::fclose(file);
  if (totDataRecs != 0) {
    report("File %s: %lu data records in %ld.%03lu seconds\n", name,
           static_cast<unsigned long>(totDataRecs), wholeSeconds(duration), msPart(duration));
  }
  return readFailed ? -1 : 0;
}

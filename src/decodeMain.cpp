// Command line, byte-order readers and the analogue channel table.
#include "decode.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <iterator>

namespace {

enum ExitStatus : int {
  kExitOk = 0,
  kExitFileFailed = 1,
  kExitWriteFailed = 1,
  kExitNoInput = 2,
};

[[noreturn]] void failWrite(int error) {
  std::fprintf(stderr, "decode: write error: %s\n", std::strerror(error));
  std::_Exit(kExitWriteFailed);
}

void flushReport() {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) failWrite(errno);
}

uint16_t getMotWord(const unsigned char* bytes) {
  return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

uint32_t getMotLong(const unsigned char* bytes) {
  return static_cast<uint32_t>(getMotWord(bytes)) << 16 | getMotWord(bytes + 2);
}

struct ChannelConversion {
  float mult;
  float offset;
  const char* units;
};

// Linear laws from converter volts to engineering units, by channel. The last
// row serves every channel above it.
constexpr ChannelConversion adConv[] = {
    {12.11f, 0.0f, "Batt Volts"}, {12.11f, 0.0f, "Batt Volts"}, {35.0f, 8.75f, "bar"},
    {50.0f, 12.5f, "psia"},       {100.0f, 50.0f, "degC"},      {47.175f, 23.82f, "%"},
    {1.0f, 0.0f, "Volts"},
};
constexpr uint16_t kLastChannel = std::size(adConv) - 1;

void usage() {
  reportLine(
      "\nDECODE [-d] [-t] [-s] [-p] <filename>\tDecode a ZOLT binary file\n"
      "\t[-d] Print full data records (else prints summaries each second)\n"
      "\t[-t] Print only totals, not individual records (except header)\n"
      "\t[-s] Print only System Records\n"
      "\t[-p] Print only Pressure Records");
  reportLine("\nDECODE [-h]\tPrint this message");
}

constexpr uint16_t kSwitchOn = 0xFFFF;

// Returns false when the run should end at once (after -h).
bool parseSwitches(int argc, char** argv) {
  int letter;
  while ((letter = getopt(argc, argv, "dtpsh")) > 0) {
    switch (letter) {
      case 'd': printDataRecs = kSwitchOn; break;
      case 't': totalsOnly = kSwitchOn; break;
      case 'p': pressOnly = kSwitchOn; break;
      case 's': sysRecOnly = kSwitchOn; break;
      case 'h': usage(); return false;
      default: break;  // getopt has already said what was wrong
    }
  }
  return true;
}

int decodeAll(int argc, char** argv) {
  if (optind >= argc) {
    report("No input file specified");
    usage();
    return kExitNoInput;
  }
  int status = kExitOk;
  for (; optind < argc; ++optind) {
    if (decodeFile(argv[optind]) != 0) status = kExitFileFailed;
  }
  return status;
}

}  // namespace

void report(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int written = std::vprintf(format, args);
  va_end(args);
  if (written < 0) failWrite(errno);
}

void reportLine(const char* text) {
  if (std::puts(text) < 0) failWrite(errno);
}

uint16_t readWord(FILE* file) {
  unsigned char bytes[2] = {};
  std::fread(bytes, 1, sizeof bytes, file);
  return getMotWord(bytes);
}

uint32_t readLong(FILE* file) {
  unsigned char bytes[4] = {};
  std::fread(bytes, 1, sizeof bytes, file);
  return getMotLong(bytes);
}

float adcEngValue(uint16_t channel, uint16_t count, const char** units) {
  const ChannelConversion& row = adConv[std::min(channel, kLastChannel)];
  if (units != nullptr) *units = row.units;
  const double volts = count * 2.5 / 65536.0;
  // Exact in double for every count and row; the single rounding to float
  // is what the logger's own firmware reports.
  return static_cast<float>(volts * double{row.mult} - double{row.offset});
}

int decodeMain(int argc, char** argv) {
  const int status = parseSwitches(argc, argv) ? decodeAll(argc, argv) : kExitOk;
  flushReport();
  return status;
}

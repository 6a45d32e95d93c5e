// Command line, byte-order readers and the analogue channel table.
#include "decode.h"

#include <fcntl.h>
#include <getopt.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <iterator>

#include "reportWriter.h"

namespace {

enum ExitStatus : int {
  kExitOk = 0,
  kExitFileFailed = 1,
  kExitNoInput = 2,
};

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
  reportOut().text(
      "\nDECODE [-d] [-t] [-s] [-p] <filename>\tDecode a ZOLT binary file\n"
      "\t[-d] Print full data records (else prints summaries each second)\n"
      "\t[-t] Print only totals, not individual records (except header)\n"
      "\t[-s] Print only System Records\n"
      "\t[-p] Print only Pressure Records\n"
      "\nDECODE [-h]\tPrint this message\n");
}

void version() { reportOut().text("decode " DECODE_VERSION "\n"); }

constexpr uint16_t kSwitchOn = 0xFFFF;
constexpr int kVersionOption = 256;  // beyond any switch letter

constexpr option kLongOptions[] = {
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, kVersionOption},
    {nullptr, 0, nullptr, 0},
};

// Returns false when the run should end at once (after -h, --help or
// --version).
bool parseSwitches(int argc, char** argv) {
  int letter;
  while ((letter = getopt_long(argc, argv, "dtpsh", kLongOptions, nullptr)) > 0) {
    switch (letter) {
      case 'd': printDataRecs = kSwitchOn; break;
      case 't': totalsOnly = kSwitchOn; break;
      case 'p': pressOnly = kSwitchOn; break;
      case 's': sysRecOnly = kSwitchOn; break;
      case 'h': usage(); return false;
      case kVersionOption: version(); return false;
      default: break;  // getopt has already said what was wrong
    }
  }
  return true;
}

int decodeAll(int argc, char** argv) {
  if (optind >= argc) {
    reportOut().text("No input file specified");
    usage();
    return kExitNoInput;
  }
  int status = kExitOk;
  for (; optind < argc; ++optind) {
    if (decodeFile(argv[optind]) != 0) status = kExitFileFailed;
  }
  return status;
}

// A closed standard stream would lend its number to the first input file
// opened. Without standard output there is nowhere for the report to go; a
// closed standard input is stood in for by one that cannot be read, so "-"
// still fails as it would have.
void guardStandardStreams() {
  if (fcntl(STDOUT_FILENO, F_GETFD) < 0) failWrite(errno);
  if (fcntl(STDIN_FILENO, F_GETFD) < 0) open("/dev/null", O_WRONLY);
  if (fcntl(STDERR_FILENO, F_GETFD) < 0) open("/dev/null", O_WRONLY);
}

}  // namespace

float adcEngValue(uint16_t channel, uint16_t count, const char** units) {
  const ChannelConversion& row = adConv[std::min(channel, kLastChannel)];
  if (units != nullptr) *units = row.units;
  const double volts = count * 2.5 / 65536.0;
  // Exact in double for every count and row; the single rounding to float
  // is what the logger's own firmware reports.
  return static_cast<float>(volts * double{row.mult} - double{row.offset});
}

int decodeMain(int argc, char** argv) {
  guardStandardStreams();
  enlargeOutputPipe();
  const int status = parseSwitches(argc, argv) ? decodeAll(argc, argv) : kExitOk;
  reportOut().flush();
  return status;
}

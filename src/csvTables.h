// Tables for analysis tools: one CSV table of one record type over every
// file of a run, with exact values and ISO 8601 times in UTC.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

enum class CsvTable : uint8_t { kHeader, kMarker, kData, kPressure, kIndex, kSystem };

std::optional<CsvTable> csvTableNamed(std::string_view name);
// "header, marker, data, pressure, index, system", for messages.
extern const char* const kCsvTableNames;

// Times in microseconds since 1970-01-01 UTC; `from` counts in, `to` not.
struct TimeWindow {
  int64_t from = INT64_MIN;
  int64_t to = INT64_MAX;
  bool given = false;
};

class CsvRun {
 public:
  CsvRun(CsvTable table, const TimeWindow& window) : table_(table), window_(window) {}

  // The header row, which every table has even without rows.
  void writeHeaderRow() const;
  // Appends the rows of one named file ("-" for standard input); false when
  // the file could not be opened or read to its end.
  bool convertFile(const char* name);

 private:
  CsvTable table_;
  TimeWindow window_;
  uint16_t rate_ = 0;  // from the latest file header of the run
};

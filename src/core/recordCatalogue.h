// The catalogue of the logger's records: for each type, in one place, its
// type byte, its size, its name and its table's name, how its body reads
// into a typed value, when its row lies, and its table's columns with their
// units, names and meaning. The scanner, the tables, the CSV header rows,
// the netCDF variables, the deployment check's names, the Python package's
// table names and the completion's word list are all derived from it.
//
// A record file is a plain sequence of records, each a type byte followed by
// a body whose length the type fixes; there is nothing between records and
// nothing to find the next one by. Integers are big-endian.
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
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <string_view>
#include <utility>

#include "core/readings.h"
#include "core/recordFormat.h"
#include "zolt/records.h"
#include "zolt/tables.h"

namespace zolt {

enum RecordType : uint8_t {
  kFileHeader = 0,
  kSecondMarker = 1,
  kDataRecord = 2,
  kPressureRecord = 3,
  kIndexRecord = 4,
  kSystemRecord = 5,
};

constexpr size_t kFileNameSize = 16;

// Where a record's row lies in time: at a time of its own, at the latest
// second marker's, or (the data record) at its place among the samples
// since that marker.
enum class RowTime : uint8_t { kOwn, kMarker, kSample };

constexpr int64_t microsOf(int32_t seconds, uint32_t ms = 0) { return (int64_t{seconds} * 1000 + ms) * 1000; }

// One value of a record as the tables give it, from which both its text
// and its typed column follow.
struct Cell {
  enum Kind : uint8_t {
    kInteger,      // `integer` as it is
    kFraction,     // `integer` / 2^`bits`, exactly
    kThousandths,  // `integer` / 1000
    kSingle,       // `single`, in the fewest digits that give it back
    kDouble,       // `real`, likewise
    kText,         // `text`, escaped
  };
  Kind kind = kInteger;
  int64_t integer = 0;
  int bits = 0;
  float single = 0;
  double real = 0;
  std::string_view text;
};

constexpr Cell integerCell(int64_t value) { return {Cell::kInteger, value, 0, 0, 0, {}}; }
constexpr Cell fractionCell(int64_t numerator, int bits) { return {Cell::kFraction, numerator, bits, 0, 0, {}}; }
constexpr Cell thousandthsCell(uint32_t value) { return {Cell::kThousandths, value, 0, 0, 0, {}}; }
constexpr Cell singleCell(float value) { return {Cell::kSingle, 0, 0, value, 0, {}}; }
constexpr Cell doubleCell(double value) { return {Cell::kDouble, 0, 0, 0, value, {}}; }
constexpr Cell textCell(std::string_view value) { return {Cell::kText, 0, 0, 0, 0, value}; }

// A column and where its values come from: a record's body (valid during
// the call), or nothing for the time and the sample number, which the
// table's rows give.
struct CatalogueColumn {
  ColumnDefinition definition;
  Cell (*cell)(const uint8_t* body);
};

// The typed value of each record type, read front to back from just after
// its type byte.
template <RecordType Type>
struct Record;

template <>
struct Record<kFileHeader> {
  static FileHeader read(const uint8_t* body) {
    const uint8_t* at = body;
    skipPadByte(at);
    FileHeader fields{};
    fields.ver = readWord(at);
    fields.id = readWord(at);
    fields.rate = readWord(at);
    fields.time = readTimestamp(at);
    fields.ms = readWord(at);
    fields.durationMs = readLong(at);
    return fields;
  }
  static int64_t time(const uint8_t* body) {
    const FileHeader header = read(body);
    return microsOf(header.time, header.ms);
  }
};

template <>
struct Record<kSecondMarker> {
  static SecondMarker read(const uint8_t* body) {
    const uint8_t* at = body;
    skipPadByte(at);
    return {readTimestamp(at)};
  }
  static int64_t time(const uint8_t* body) { return microsOf(read(body).time); }
};

// Where the fields of a data record's body lie.
constexpr size_t kAccAxes = 3;
constexpr size_t kQuatParts = 4;
constexpr size_t accOffset(size_t axis) { return 3 * axis; }
constexpr size_t quatOffset(size_t part) { return 9 + 2 * part; }

template <>
struct Record<kDataRecord> {
  static DataRecord read(const uint8_t* body) {
    return {{accCount(body + accOffset(0)), accCount(body + accOffset(1)), accCount(body + accOffset(2))},
            {quatCount(body + quatOffset(0)), quatCount(body + quatOffset(1)), quatCount(body + quatOffset(2)),
             quatCount(body + quatOffset(3))}};
  }
};

template <>
struct Record<kPressureRecord> {
  static PressureRecord read(const uint8_t* body) {
    const uint8_t* at = body;
    skipPadByte(at);
    return {readWord(at)};
  }
};

template <>
struct Record<kIndexRecord> {
  // The last byte of the name field is never part of the name.
  static IndexRecord read(const uint8_t* body) {
    const uint8_t* at = body;
    skipPadByte(at);
    IndexRecord fields{};
    fields.time = readTimestamp(at);
    fields.ms = readWord(at);
    fields.durationMs = readLong(at);
    fields.maxVal = readLong(at);
    const auto* name = reinterpret_cast<const char*>(at);
    fields.file = {name, ::strnlen(name, kFileNameSize - 1)};
    return fields;
  }
  static int64_t time(const uint8_t* body) {
    const IndexRecord index = read(body);
    return microsOf(index.time, index.ms);
  }
};

template <>
struct Record<kSystemRecord> {
  static SystemRecord read(const uint8_t* body) {
    const uint8_t* at = body;
    skipPadByte(at);
    SystemRecord fields{};
    fields.time = readTimestamp(at);
    fields.batt = readWord(at);
    fields.vmodem = readWord(at);
    fields.extPress = readWord(at);
    fields.intPress = readWord(at);
    fields.temp = readWord(at);
    fields.hum = readWord(at);
    return fields;
  }
  static int64_t time(const uint8_t* body) { return microsOf(read(body).time); }
};

// The body of one record of a known type, as the scanner hands it to a view.
template <RecordType Type>
struct RecordBody {
  const uint8_t* bytes;  // just after the type byte
  static constexpr RecordType kType = Type;
  auto read() const { return Record<Type>::read(bytes); }
};

namespace catalogue {

using enum ColumnType;

constexpr double kSixteenths = kAccCount;  // max_val counts the same way
constexpr double kFourteenths = kQuatCount;

constexpr std::string_view kPressureComment =
    "absolute pressure at the external sensor, the atmosphere's included; it is sea_water_pressure only "
    "while the logger is under water, which the records do not tell, so no standard_name is given";
constexpr std::string_view kAccComment =
    "in the logger's own unit of acceleration, which the records do not name; one count is 1/65536 of it";
constexpr std::string_view kQuatComment = "component of the logger's orientation quaternion; one count is 1/16384";

// The time column of a table, which its rows give.
constexpr CatalogueColumn time(std::string_view longName, std::string_view comment = {}) {
  return {{"time", kInt64, true, {}, 0, longName, {}, "time", comment, kInt64}, nullptr};
}

// A column shown in the CSV table, stored as `stored` in a file: a real
// value stored as an integer is stored as the count column that counts it.
constexpr ColumnDefinition shown(std::string_view name, ColumnType type, ColumnType stored, std::string_view longName,
                                 std::string_view units = {}, std::string_view comment = {}) {
  return {name, type, true, {}, 0, longName, units, {}, comment, stored};
}

// A raw count behind a shown value; with `scale`, the value is exactly
// count * scale and a file stores the count.
constexpr ColumnDefinition counts(std::string_view name, ColumnType type, std::string_view countOf = {},
                                  double scale = 0) {
  return {name, type, false, countOf, scale, {}, {}, {}, {}, type};
}

template <RecordType Type>
auto fields(const uint8_t* body) {
  return Record<Type>::read(body);
}

constexpr CatalogueColumn kHeaderColumns[] = {
    time("time the recording starts, as the file header gives it"),
    {shown("ver", kInt64, kInt64, "firmware version of the logger"),
     [](const uint8_t* body) { return integerCell(fields<kFileHeader>(body).ver); }},
    {shown("id", kInt64, kInt64, "identifier of the logger"),
     [](const uint8_t* body) { return integerCell(fields<kFileHeader>(body).id); }},
    {shown("rate", kInt64, kInt64, "inertial samples a second", "Hz"),
     [](const uint8_t* body) { return integerCell(fields<kFileHeader>(body).rate); }},
    {shown("duration_s", kFloat64, kFloat64, "duration of the recording", "s"),
     [](const uint8_t* body) { return thousandthsCell(fields<kFileHeader>(body).durationMs); }},
    {counts("duration_ms", kUint32), [](const uint8_t* body) { return integerCell(fields<kFileHeader>(body).durationMs); }},
};

constexpr CatalogueColumn kMarkerColumns[] = {time("time of the second marker")};

// The data table is filled a run of records at a time, not a cell at a time.
constexpr CatalogueColumn kDataColumns[] = {
    time("time of the inertial sample", "the time of the second marker before it plus its number over the rate "
                                        "of the latest file header, to the nearest microsecond"),
    {shown("sample", kInt64, kInt64, "number of the sample since its second marker", "1"), nullptr},
    {shown("acc_x", kFloat64, kInt32, "acceleration along x", {}, kAccComment), nullptr},
    {shown("acc_y", kFloat64, kInt32, "acceleration along y", {}, kAccComment), nullptr},
    {shown("acc_z", kFloat64, kInt32, "acceleration along z", {}, kAccComment), nullptr},
    {shown("quat_0", kFloat64, kInt16, "orientation quaternion, component 0", "1", kQuatComment), nullptr},
    {shown("quat_1", kFloat64, kInt16, "orientation quaternion, component 1", "1", kQuatComment), nullptr},
    {shown("quat_2", kFloat64, kInt16, "orientation quaternion, component 2", "1", kQuatComment), nullptr},
    {shown("quat_3", kFloat64, kInt16, "orientation quaternion, component 3", "1", kQuatComment), nullptr},
    {counts("acc_x_counts", kInt32, "acc_x", kSixteenths), nullptr},
    {counts("acc_y_counts", kInt32, "acc_y", kSixteenths), nullptr},
    {counts("acc_z_counts", kInt32, "acc_z", kSixteenths), nullptr},
    {counts("quat_0_counts", kInt16, "quat_0", kFourteenths), nullptr},
    {counts("quat_1_counts", kInt16, "quat_1", kFourteenths), nullptr},
    {counts("quat_2_counts", kInt16, "quat_2", kFourteenths), nullptr},
    {counts("quat_3_counts", kInt16, "quat_3", kFourteenths), nullptr},
};

constexpr CatalogueColumn kPressureColumns[] = {
    time("time of the second marker before the reading"),
    {shown("counts", kInt64, kInt64, "converter counts of the external pressure sensor", "1"),
     [](const uint8_t* body) { return integerCell(fields<kPressureRecord>(body).counts); }},
    // counts * 2.5 / 65536 = counts * 5 / 2^17
    {shown("volts", kFloat64, kFloat64, "converter voltage of the external pressure sensor", "V"),
     [](const uint8_t* body) { return fractionCell(int64_t{fields<kPressureRecord>(body).counts} * 5, 17); }},
    {shown("ext_press_bar", kFloat64, kFloat64, "external pressure, absolute", "bar", kPressureComment),
     [](const uint8_t* body) { return singleCell(pressureReadings(fields<kPressureRecord>(body).counts).bar); }},
};

constexpr CatalogueColumn kIndexColumns[] = {
    time("time the index entry gives"),
    {shown("duration_s", kFloat64, kFloat64, "duration the index entry gives", "s"),
     [](const uint8_t* body) { return thousandthsCell(fields<kIndexRecord>(body).durationMs); }},
    {shown("max_val", kFloat64, kFloat64, "maximum value the index entry gives", {},
           "in the logger's own unit, which the records do not name"),
     [](const uint8_t* body) { return fractionCell(fields<kIndexRecord>(body).maxVal, 16); }},
    {shown("file", kText, kText, "name of the file the index entry describes", {},
           "the name's bytes where they are printable UTF-8; a backslash is doubled and any other byte (a control "
           "character, a byte that is not UTF-8) written as \\xHH"),
     [](const uint8_t* body) { return textCell(fields<kIndexRecord>(body).file); }},
    {counts("duration_ms", kUint32), [](const uint8_t* body) { return integerCell(fields<kIndexRecord>(body).durationMs); }},
    {counts("max_val_counts", kUint32, "max_val", kSixteenths),
     [](const uint8_t* body) { return integerCell(fields<kIndexRecord>(body).maxVal); }},
};

inline SystemReadings systemValues(const uint8_t* body) { return systemReadings(fields<kSystemRecord>(body)); }

// The readings are single-precision laws of their counts, or double ones
// with an inexact factor: no count is worth an exact value here.
constexpr CatalogueColumn kSystemColumns[] = {
    time("time of the system record"),
    {shown("batt_V", kFloat64, kFloat64, "battery voltage", "V"),
     [](const uint8_t* body) { return doubleCell(systemValues(body).battV); }},
    {shown("vmodem_V", kFloat64, kFloat64, "modem supply voltage", "V"),
     [](const uint8_t* body) { return doubleCell(systemValues(body).vmodemV); }},
    {shown("ext_press_bar", kFloat64, kFloat64, "external pressure, absolute", "bar", kPressureComment),
     [](const uint8_t* body) { return singleCell(systemValues(body).extPressBar); }},
    {shown("int_press_psia", kFloat64, kFloat64, "pressure inside the housing, absolute", "psi"),
     [](const uint8_t* body) { return singleCell(systemValues(body).intPressPsia); }},
    {shown("temp_degC", kFloat64, kFloat64, "temperature inside the housing", "degC"),
     [](const uint8_t* body) { return singleCell(systemValues(body).tempDegC); }},
    {shown("hum_pct", kFloat64, kFloat64, "relative humidity inside the housing", "percent"),
     [](const uint8_t* body) { return singleCell(systemValues(body).humPct); }},
    {counts("batt_counts", kUint16), [](const uint8_t* body) { return integerCell(fields<kSystemRecord>(body).batt); }},
    {counts("vmodem_counts", kUint16), [](const uint8_t* body) { return integerCell(fields<kSystemRecord>(body).vmodem); }},
    {counts("ext_press_counts", kUint16),
     [](const uint8_t* body) { return integerCell(fields<kSystemRecord>(body).extPress); }},
    {counts("int_press_counts", kUint16),
     [](const uint8_t* body) { return integerCell(fields<kSystemRecord>(body).intPress); }},
    {counts("temp_counts", kUint16), [](const uint8_t* body) { return integerCell(fields<kSystemRecord>(body).temp); }},
    {counts("hum_counts", kUint16), [](const uint8_t* body) { return integerCell(fields<kSystemRecord>(body).hum); }},
};

}  // namespace catalogue

// One record type and its table.
struct RecordDescription {
  RecordType type;
  RowTime rowTime;
  bool readsOwnTime;      // its layout has a time of its own, which RowTime::kOwn needs
  size_t size;            // with the type byte
  std::string_view name;  // of its table too
  std::span<const CatalogueColumn> columns;
  std::span<const ColumnDefinition> definitions;  // the same columns, as the library shows them
};

template <const auto& Columns>
constexpr std::array<ColumnDefinition, std::size(Columns)> definitionsOf() {
  std::array<ColumnDefinition, std::size(Columns)> definitions{};
  std::transform(std::begin(Columns), std::end(Columns), definitions.begin(),
                 [](const CatalogueColumn& column) { return column.definition; });
  return definitions;
}
template <const auto& Columns>
constexpr auto kDefinitionsOf = definitionsOf<Columns>();

template <RecordType Type, const auto& Columns>
constexpr RecordDescription entry(size_t size, std::string_view name, RowTime rowTime) {
  // A function's address compared with null is not a constant under the sanitizers, so ask the type.
  constexpr bool readsOwnTime = requires(const uint8_t* body) { Record<Type>::time(body); };
  return {Type, rowTime, readsOwnTime, size, name, Columns, kDefinitionsOf<Columns>};
}

// In the order of the type bytes.
constexpr RecordDescription kCatalogue[] = {
    entry<kFileHeader, catalogue::kHeaderColumns>(18, "header", RowTime::kOwn),
    entry<kSecondMarker, catalogue::kMarkerColumns>(6, "marker", RowTime::kOwn),
    entry<kDataRecord, catalogue::kDataColumns>(18, "data", RowTime::kSample),
    entry<kPressureRecord, catalogue::kPressureColumns>(4, "pressure", RowTime::kMarker),
    entry<kIndexRecord, catalogue::kIndexColumns>(32, "index", RowTime::kOwn),
    entry<kSystemRecord, catalogue::kSystemColumns>(18, "system", RowTime::kOwn),
};

static_assert(std::size(kCatalogue) == kRecordTypes, "every record type has one entry, and no other");
static_assert(kTableKinds == kRecordTypes, "one table for each record type");
static_assert([] {
  for (size_t type = 0; type < kRecordTypes; ++type) {
    const RecordDescription& record = kCatalogue[type];
    if (record.type != type || (record.rowTime == RowTime::kOwn) != record.readsOwnTime) return false;
  }
  return true;
}());

constexpr const RecordDescription& entryOf(RecordType type) { return kCatalogue[type]; }
constexpr const RecordDescription& entryOf(TableKind kind) { return kCatalogue[static_cast<size_t>(kind)]; }

// Calls `visit` with the body of a record of the type `type` names, typed
// as that type's RecordBody, for every type but the data record (which goes
// in runs); false for the data record. The one dispatch on a type byte.
template <size_t Type, typename Visit>
bool visitIfOfType(uint8_t type, const uint8_t* body, Visit& visit) {
  if constexpr (Type == kDataRecord) {
    return false;
  } else {
    if (type != Type) return false;
    visit(RecordBody<static_cast<RecordType>(Type)>{body});
    return true;
  }
}
template <typename Visit, size_t... Types>
bool visitRecordBody(uint8_t type, const uint8_t* body, Visit&& visit, std::index_sequence<Types...> /*types*/) {
  return (visitIfOfType<Types>(type, body, visit) || ...);
}
template <typename Visit>
bool visitRecordBody(uint8_t type, const uint8_t* body, Visit&& visit) {
  return visitRecordBody(type, body, std::forward<Visit>(visit), std::make_index_sequence<kRecordTypes>{});
}

// Sizes with the type byte, by type.
constexpr auto kRecordSize = [] {
  std::array<size_t, kRecordTypes> sizes{};
  for (size_t type = 0; type < kRecordTypes; ++type) sizes[type] = kCatalogue[type].size;
  return sizes;
}();

constexpr size_t kLargestRecord = [] {
  size_t largest = 0;
  for (const RecordDescription& record : kCatalogue) largest = record.size > largest ? record.size : largest;
  return largest;
}();
constexpr size_t kDataRecordSize = kCatalogue[kDataRecord].size;

// The place of a column in its table, found by its name when the program is
// built.
constexpr size_t columnAt(std::span<const CatalogueColumn> columns, std::string_view name) {
  for (size_t i = 0; i < columns.size(); ++i) {
    if (columns[i].definition.name == name) return i;
  }
  throw "no such column";  // only ever evaluated by the compiler
}

// The data table's columns, which are filled a run of records at a time.
namespace dataColumns {
constexpr size_t kTime = columnAt(catalogue::kDataColumns, "time");
constexpr size_t kSample = columnAt(catalogue::kDataColumns, "sample");
constexpr size_t kAcc = columnAt(catalogue::kDataColumns, "acc_x");  // three, x to z
constexpr size_t kQuat = columnAt(catalogue::kDataColumns, "quat_0");  // four
constexpr size_t kAccCounts = columnAt(catalogue::kDataColumns, "acc_x_counts");
constexpr size_t kQuatCounts = columnAt(catalogue::kDataColumns, "quat_0_counts");
static_assert(columnAt(catalogue::kDataColumns, "acc_z") == kAcc + 2 &&
              columnAt(catalogue::kDataColumns, "quat_3") == kQuat + 3 &&
              columnAt(catalogue::kDataColumns, "acc_z_counts") == kAccCounts + 2 &&
              columnAt(catalogue::kDataColumns, "quat_3_counts") == kQuatCounts + 3);
}  // namespace dataColumns

// Every table's time is its first column.
constexpr size_t kTimeColumn = 0;
static_assert(std::ranges::all_of(kCatalogue, [](const RecordDescription& record) {
  return record.columns[kTimeColumn].definition.name == "time";
}));

}  // namespace zolt

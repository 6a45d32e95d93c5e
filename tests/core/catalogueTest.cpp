// The record catalogue against the contract that files, scripts and readers
// rely on: every view derives from it, so a slip here would change every
// output at once.
#include <gtest/gtest.h>

#include <string>

#include "core/recordScanner.h"
#include "zolt/netcdf.h"
#include "zolt/records.h"
#include "zolt/tables.h"

namespace {

using namespace zolt;

struct Expected {
  const char* table;
  size_t size;
  const char* csvColumns;
  const char* netcdfVariables;  // name:stored column:type:scale
};

std::string csvColumnsOf(TableKind kind) {
  std::string names;
  for (const ColumnDefinition& column : columnsOf(kind)) {
    if (column.csv) names.append(names.empty() ? "" : ",").append(column.name);
  }
  return names;
}

std::string variablesOf(TableKind kind) {
  constexpr const char* kTypes[] = {"short", "int", "int64", "double", "string"};
  std::string text;
  for (const NetcdfVariable& variable : netcdfVariables(kind)) {
    text.append(text.empty() ? "" : " ").append(variable.name).append(":").append(variable.column).append(":");
    text.append(kTypes[static_cast<int>(variable.type)]).append(":");
    text.append(variable.scaleFactor == 0 ? "1" : std::to_string(1 / variable.scaleFactor));
    if (variable.longName.empty()) text += ":no long name";
  }
  return text;
}

TEST(Catalogue, HoldsTheRecordsTablesAndVariablesTheFilesHave) {
  const Expected expected[] = {
      {"header", 18, "time,ver,id,rate,duration_s",
       "time:time:int64:1 ver:ver:int64:1 id:id:int64:1 rate:rate:int64:1 duration_s:duration_s:double:1"},
      {"marker", 6, "time", "time:time:int64:1"},
      {"data", 18, "time,sample,acc_x,acc_y,acc_z,quat_0,quat_1,quat_2,quat_3",
       "time:time:int64:1 sample:sample:int64:1 acc_x:acc_x_counts:int:65536.000000 acc_y:acc_y_counts:int:65536.000000 "
       "acc_z:acc_z_counts:int:65536.000000 quat_0:quat_0_counts:short:16384.000000 quat_1:quat_1_counts:short:16384.000000 "
       "quat_2:quat_2_counts:short:16384.000000 quat_3:quat_3_counts:short:16384.000000"},
      {"pressure", 4, "time,counts,volts,ext_press_bar",
       "time:time:int64:1 counts:counts:int64:1 volts:volts:double:1 ext_press_bar:ext_press_bar:double:1"},
      {"index", 32, "time,duration_s,max_val,file",
       "time:time:int64:1 duration_s:duration_s:double:1 max_val:max_val:double:1 file:file:string:1"},
      {"system", 18, "time,batt_V,vmodem_V,ext_press_bar,int_press_psia,temp_degC,hum_pct",
       "time:time:int64:1 batt_V:batt_V:double:1 vmodem_V:vmodem_V:double:1 ext_press_bar:ext_press_bar:double:1 "
       "int_press_psia:int_press_psia:double:1 temp_degC:temp_degC:double:1 hum_pct:hum_pct:double:1"},
  };
  ASSERT_EQ(std::size(expected), kRecordTypes);
  for (size_t type = 0; type < kRecordTypes; ++type) {
    const auto kind = static_cast<TableKind>(type);
    SCOPED_TRACE(expected[type].table);
    EXPECT_EQ(tableName(kind), expected[type].table);
    EXPECT_EQ(tableNamed(expected[type].table), kind);
    EXPECT_EQ(recordSize(static_cast<uint8_t>(type)), expected[type].size);
    EXPECT_EQ(csvColumnsOf(kind), expected[type].csvColumns);
    EXPECT_EQ(variablesOf(kind), expected[type].netcdfVariables);
  }
  EXPECT_EQ(recordSize(6), 0u);
  EXPECT_EQ(std::string(kTableNames), "header, marker, data, pressure, index, system");
}

// A view that leaves out a record type does not meet the scanner's
// contract, so a type added to the catalogue does not build until every
// view that must show it does.
struct EveryRecord {
  template <RecordType Type>
  void record(RecordBody<Type> /*body*/) {}
  void dataRecords(const uint8_t*, size_t) {}
  void unknownType(uint8_t, uint64_t) {}
  void cutRecord(const uint8_t*, size_t, uint64_t) {}
};
struct NoPressure {
  void record(RecordBody<kFileHeader>) {}
  void record(RecordBody<kSecondMarker>) {}
  void record(RecordBody<kIndexRecord>) {}
  void record(RecordBody<kSystemRecord>) {}
  void dataRecords(const uint8_t*, size_t) {}
  void unknownType(uint8_t, uint64_t) {}
  void cutRecord(const uint8_t*, size_t, uint64_t) {}
};
static_assert(RecordView<EveryRecord>);
static_assert(!RecordView<NoPressure>);

}  // namespace

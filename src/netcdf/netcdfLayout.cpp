// What each group of the netCDF file holds, variable by variable: a
// contract that scripts rely on, so the names are the CSV tables' own.
#include <iterator>

#include "zolt/netcdf.h"

namespace zolt {

namespace {

using enum NetcdfType;

constexpr double kSixteenths = 1.0 / 65536;
constexpr double kFourteenths = 1.0 / 16384;

constexpr std::string_view kPressureComment =
    "absolute pressure at the external sensor, the atmosphere's included; it is sea_water_pressure only "
    "while the logger is under water, which the records do not tell, so no standard_name is given";

constexpr NetcdfVariable time(std::string_view longName, std::string_view comment = {}) {
  return {"time", "time", kInt64, 0, longName, {}, "time", comment};
}

constexpr NetcdfVariable kHeader[] = {
    time("time the recording starts, as the file header gives it"),
    {"ver", "ver", kInt, 0, "firmware version of the logger", {}, {}, {}},
    {"id", "id", kInt, 0, "identifier of the logger", {}, {}, {}},
    {"rate", "rate", kInt, 0, "inertial samples a second", "Hz", {}, {}},
    {"duration_s", "duration_s", kDouble, 0, "duration of the recording", "s", {}, {}},
};

constexpr NetcdfVariable kMarker[] = {time("time of the second marker")};

constexpr std::string_view kAccComment =
    "in the logger's own unit of acceleration, which the records do not name; one count is 1/65536 of it";
constexpr std::string_view kQuatComment = "component of the logger's orientation quaternion; one count is 1/16384";

constexpr NetcdfVariable kData[] = {
    time("time of the inertial sample", "the time of the second marker before it plus its number over the rate "
                                        "of the latest file header, to the nearest microsecond"),
    {"sample", "sample", kInt64, 0, "number of the sample since its second marker", "1", {}, {}},
    {"acc_x", "acc_x_counts", kInt, kSixteenths, "acceleration along x", {}, {}, kAccComment},
    {"acc_y", "acc_y_counts", kInt, kSixteenths, "acceleration along y", {}, {}, kAccComment},
    {"acc_z", "acc_z_counts", kInt, kSixteenths, "acceleration along z", {}, {}, kAccComment},
    {"quat_0", "quat_0_counts", kShort, kFourteenths, "orientation quaternion, component 0", "1", {}, kQuatComment},
    {"quat_1", "quat_1_counts", kShort, kFourteenths, "orientation quaternion, component 1", "1", {}, kQuatComment},
    {"quat_2", "quat_2_counts", kShort, kFourteenths, "orientation quaternion, component 2", "1", {}, kQuatComment},
    {"quat_3", "quat_3_counts", kShort, kFourteenths, "orientation quaternion, component 3", "1", {}, kQuatComment},
};

constexpr NetcdfVariable kPressure[] = {
    time("time of the second marker before the reading"),
    {"counts", "counts", kInt, 0, "converter counts of the external pressure sensor", "1", {}, {}},
    {"volts", "volts", kDouble, 0, "converter voltage of the external pressure sensor", "V", {}, {}},
    {"ext_press_bar", "ext_press_bar", kDouble, 0, "external pressure, absolute", "bar", {}, kPressureComment},
};

constexpr NetcdfVariable kIndex[] = {
    time("time the index entry gives"),
    {"duration_s", "duration_s", kDouble, 0, "duration the index entry gives", "s", {}, {}},
    {"max_val", "max_val", kDouble, 0, "maximum value the index entry gives", {}, {},
     "in the logger's own unit, which the records do not name"},
    {"file", "file", kString, 0, "name of the file the index entry describes", {}, {},
     "the name's bytes where they are printable UTF-8; a backslash is doubled and any other byte (a control "
     "character, a byte that is not UTF-8) written as \\xHH"},
};

constexpr NetcdfVariable kSystem[] = {
    time("time of the system record"),
    {"batt_V", "batt_V", kDouble, 0, "battery voltage", "V", {}, {}},
    {"vmodem_V", "vmodem_V", kDouble, 0, "modem supply voltage", "V", {}, {}},
    {"ext_press_bar", "ext_press_bar", kDouble, 0, "external pressure, absolute", "bar", {}, kPressureComment},
    {"int_press_psia", "int_press_psia", kDouble, 0, "pressure inside the housing, absolute", "psi", {}, {}},
    {"temp_degC", "temp_degC", kDouble, 0, "temperature inside the housing", "degC", {}, {}},
    {"hum_pct", "hum_pct", kDouble, 0, "relative humidity inside the housing", "percent", {}, {}},
};

constexpr std::span<const NetcdfVariable> kGroups[kTableKinds] = {kHeader, kMarker, kData, kPressure, kIndex, kSystem};

}  // namespace

std::span<const NetcdfVariable> netcdfVariables(TableKind kind) { return kGroups[static_cast<size_t>(kind)]; }

}  // namespace zolt

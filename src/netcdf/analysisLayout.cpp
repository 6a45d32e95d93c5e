#include "netcdf/analysisLayout.h"

#include <algorithm>

#include "analysis/analysisAttributes.h"
#include "core/readInput.h"
#include "core/rereadable.h"
#include "views/analysisView.h"

namespace zolt {

namespace {

// The rows of the run that the window keeps, as columns.
class AnalysisColumns {
 public:
  explicit AnalysisColumns(const TimeWindow& window) : window_(window) {}

  void depth(const SurfaceReading& reading, double depth) {
    if (!window_.keeps(reading.time)) return;
    times.push_back(reading.time);
    pressures.push_back(reading.bar);
    surfaces.push_back(reading.surfaceBar);
    depths.push_back(depth);
  }
  void dive(const Dive& dive) {
    if (window_.keeps(dive.start)) dives.push_back(dive);
  }
  void activity(const ActivitySample& /*sample*/) {}

  std::vector<int64_t> times;
  std::vector<double> pressures;
  std::vector<double> surfaces;
  std::vector<double> depths;
  std::vector<Dive> dives;

 private:
  const TimeWindow& window_;
};

std::vector<VariableAttribute> attributesOf(const AnalysisSettings& settings, DerivedTable table,
                                            std::initializer_list<std::string_view> names) {
  std::vector<VariableAttribute> out;
  for (const AnalysisAttribute& attribute : analysisAttributes(settings, table)) {
    if (names.size() != 0 && std::find(names.begin(), names.end(), attribute.name) == names.end()) continue;
    if (const auto* text = std::get_if<std::string>(&attribute.value)) {
      out.push_back({attribute.name, *text});
    } else {
      out.push_back({attribute.name, std::get<double>(attribute.value)});
    }
  }
  return out;
}

std::vector<VariableAttribute> described(std::string longName, std::string units,
                                         std::vector<VariableAttribute> more = {}) {
  std::vector<VariableAttribute> out = {{"long_name", std::move(longName)}};
  if (!units.empty()) out.push_back({"units", std::move(units)});
  out.insert(out.end(), more.begin(), more.end());
  return out;
}

std::vector<VariableAttribute> timeAttributes(std::string longName, int64_t epoch) {
  return {{"long_name", std::move(longName)},
          {"units", "microseconds since " + isoTime(epoch, 3).substr(0, 19) + "Z"},
          {"calendar", std::string("standard")}};
}

std::vector<int64_t> sinceEpoch(std::vector<int64_t> times, int64_t epoch) {
  for (int64_t& time : times) time -= epoch;
  return times;
}

WholeGroup depthGroup(AnalysisColumns& rows, const AnalysisGroupsOptions& options) {
  const AnalysisSettings& settings = options.settings;
  const VariableAttribute onTime = {"coordinates", std::string("time")};
  std::vector<VariableAttribute> depth = described("depth below the surface", "m",
                                                   {{"standard_name", std::string("depth")},
                                                    {"positive", std::string("down")},
                                                    onTime});
  for (VariableAttribute& method : attributesOf(settings, DerivedTable::kDepth,
                                                {"depth_method", "water", "latitude", "latitude_source"}))
    depth.push_back(std::move(method));
  std::vector<VariableAttribute> surface = described("surface pressure (zero offset) estimated for the reading",
                                                     "bar", {onTime});
  for (VariableAttribute& method :
       attributesOf(settings, DerivedTable::kDepth,
                    {"surface_method", "surface_pressure_bar", "surface_window_s", "surface_quantile", "surface_band_bar"}))
    surface.push_back(std::move(method));
  std::vector<VariableAttribute> time = timeAttributes("time", options.epochMicros);
  time.push_back({"axis", std::string("T")});
  WholeGroup group{"depth", "obs", {}, {}};
  group.variables.push_back({"time", sinceEpoch(std::move(rows.times), options.epochMicros), std::move(time)});
  group.variables.push_back({"pressure", std::move(rows.pressures),
                             described("absolute external pressure", "bar", {onTime})});
  group.variables.push_back({"surface_pressure", std::move(rows.surfaces), std::move(surface)});
  group.variables.push_back({"depth", std::move(rows.depths), std::move(depth)});
  return group;
}

template <typename Value>
std::vector<Value> column(const std::vector<Dive>& dives, Value (*of)(const Dive&)) {
  std::vector<Value> out(dives.size());
  std::transform(dives.begin(), dives.end(), out.begin(), of);
  return out;
}

WholeGroup diveGroup(const std::vector<Dive>& dives, const AnalysisGroupsOptions& options) {
  const int64_t epoch = options.epochMicros;
  WholeGroup group{"dives", "dive", {}, attributesOf(options.settings, DerivedTable::kDives, {})};
  auto times = [&](const char* name, const char* longName, int64_t (*of)(const Dive&)) {
    group.variables.push_back({name, sinceEpoch(column(dives, of), epoch), timeAttributes(longName, epoch)});
  };
  auto reals = [&](const char* name, const char* longName, const char* units, double (*of)(const Dive&)) {
    group.variables.push_back({name, column(dives, of), described(longName, units)});
  };
  group.variables.push_back({"number", column<int64_t>(dives, [](const Dive& d) { return int64_t(d.number); }),
                             described("number of the dive, from 1", "")});
  times("start", "start of the dive", [](const Dive& d) { return d.start; });
  times("end", "end of the dive", [](const Dive& d) { return d.end; });
  reals("duration_s", "duration", "s", [](const Dive& d) { return d.duration; });
  reals("max_depth_m", "greatest depth", "m", [](const Dive& d) { return d.maxDepth; });
  times("max_depth_time", "time of the greatest depth", [](const Dive& d) { return d.maxDepthTime; });
  reals("bottom_time_s", "time at the bottom", "s", [](const Dive& d) { return d.bottomTime; });
  reals("descent_time_s", "time of the descent", "s", [](const Dive& d) { return d.descentTime; });
  reals("descent_rate_m_s", "mean rate of descent", "m s-1", [](const Dive& d) { return d.descentRate; });
  reals("ascent_time_s", "time of the ascent", "s", [](const Dive& d) { return d.ascentTime; });
  reals("ascent_rate_m_s", "mean rate of ascent", "m s-1", [](const Dive& d) { return d.ascentRate; });
  reals("surface_interval_s", "time at the surface after the dive", "s", [](const Dive& d) { return d.surfaceInterval; });
  reals("mean_vedba", "mean vectorial dynamic body acceleration", "", [](const Dive& d) { return d.meanDba; });
  group.variables.push_back({"complete", column<int64_t>(dives, [](const Dive& d) { return int64_t(d.complete()); }),
                             described("whether the dive was seen whole", "",
                                       {{"flag_values", std::array<double, 2>{0, 1}},
                                        {"flag_meanings", std::string("cut_short whole")}})});
  return group;
}

}  // namespace

bool analysable(std::span<const Input> inputs) {
  return std::all_of(inputs.begin(), inputs.end(), rereadable);
}

std::vector<WholeGroup> analysisGroups(std::span<const Input> inputs, const AnalysisGroupsOptions& options) {
  AnalysisColumns rows(options.window);
  AnalysisView<AnalysisColumns> view(options.settings, {.depth = true, .dives = true, .diveDba = true}, rows);
  RunClock clock;
  for (const Input& input : inputs) (void)readInput(input, clock, view, options.keepGoing, options.salvage);
  view.finish();
  std::vector<WholeGroup> groups;
  groups.push_back(depthGroup(rows, options));
  groups.push_back(diveGroup(rows.dives, options));
  return groups;
}

}  // namespace zolt

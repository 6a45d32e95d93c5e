// The page: a census of the run sizes it, a second read gathers what it
// holds, and the page is put together from the packed columns, a little
// JSON that describes them, the summary table and the inlined scripts.
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <exception>
#include <functional>
#include <new>
#include <numeric>
#include <string_view>
#if !defined(_LIBCPP_HAS_NO_THREADS)
#include <thread>
#endif

#include "core/fileSystem.h"
#include "core/readInput.h"
#include "core/readings.h"
#include "core/rereadable.h"
#include "html/columnCodec.h"
#include "html/pageAssets.h"
#include "html/pageSeries.h"
#include "html/reservedRoom.h"
#include "output/replacedFile.h"
#include "views/columnMemory.h"
#include "text/exactFormat.h"
#include "text/infoRows.h"
#include "text/jsonString.h"
#include "text/markupText.h"
#include "text/utf8Name.h"
#include "views/deploymentSummary.h"
#include "zolt/html.h"
#include "zolt/sink.h"
#include "zolt/summary.h"
#include "zolt/tables.h"

namespace zolt {

namespace {

// ---- Text ----

std::string isoMillis(int64_t micros) {
  char text[40];
  SecondCache cache;
  *putIsoTime(text, micros, 3, cache) = '\0';
  return text;
}

std::string shortest(double value) {
  char text[40];
  return std::string(text, putShortest(text, value));
}
std::string shortest(float value) {
  char text[40];
  return std::string(text, putShortest(text, value));
}

// ---- The tabled channels' values ----

std::string textOf(size_t tabled, uint16_t count) {
  switch (tabled) {
    case 0: return shortest(pressureReadings(count).bar);
    case 1: return shortest(adcEngValue(AdcChannel::kTemperature, count, nullptr));
    case 2: return shortest(adcEngValue(AdcChannel::kHumidity, count, nullptr));
    case 3: return shortest(adcEngValue(AdcChannel::kIntPressure, count, nullptr));
    default: return shortest(supplyVolts(count));
  }
}

// The rank of each count from the least that occurs to the greatest: a
// table of every 16-bit count would be 768 KiB for six channels, cleared
// page by page where each fresh page is a fault, for a few hundred counts.
struct CountRanks {
  uint16_t lowest = 0;
  std::vector<uint16_t> ranks;

  uint16_t& operator[](uint16_t count) { return ranks[count - lowest]; }
};

// The values that occur, in order, and each count's rank among them.
struct ValueTables {
  std::array<CountRanks, kTabledChannels> rank;
  std::array<std::vector<std::string>, kTabledChannels> texts;
};

ValueTables valueTables(const PageRun& run) {
  std::array<std::vector<bool>, kTabledChannels> seen;
  for (auto& channel : seen) channel.assign(65536, false);
  for (const GroupSeries& series : run.groups) {
    if (!isTabled(series.group())) continue;
    for (size_t channel = 0; channel < kChannelsOf[static_cast<size_t>(series.group())]; ++channel) {
      std::vector<bool>& counts = seen[tabledChannel(series.group(), channel)];
      for (const int32_t count : series.least(channel)) counts[static_cast<uint16_t>(count)] = true;
      for (const int32_t count : series.greatest(channel)) counts[static_cast<uint16_t>(count)] = true;
    }
  }
  ValueTables tables;
  for (size_t channel = 0; channel < kTabledChannels; ++channel) {
    std::vector<std::pair<double, uint16_t>> values;
    for (size_t count = 0; count < 65536; ++count) {
      if (seen[channel][count]) values.emplace_back(tabledValue(channel, static_cast<uint16_t>(count)), count);
    }
    std::stable_sort(values.begin(), values.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    if (!values.empty()) {
      const auto [least, greatest] = std::minmax_element(
          values.begin(), values.end(), [](const auto& a, const auto& b) { return a.second < b.second; });
      tables.rank[channel].lowest = least->second;
      tables.rank[channel].ranks.assign(size_t{greatest->second} - least->second + 1, 0);
    }
    for (const auto& [value, count] : values) {
      std::string text = textOf(channel, count);
      if (tables.texts[channel].empty() || tables.texts[channel].back() != text) tables.texts[channel].push_back(std::move(text));
      tables.rank[channel][count] = static_cast<uint16_t>(tables.texts[channel].size() - 1);
    }
  }
  return tables;
}

// ---- What the page shows, where and how ----

struct ChannelShown {  // NOLINT(clang-analyzer-optin.performance.Padding): a few rows, in reading order
  const char* key;  // the table's column, or "records" for the whole seconds
  PageGroup group;
  size_t index;
  TableKind table;
  double scale;  // value = count * scale, for the channels that are not tabled
  // A value stored as a whole number of 10^-decimals, for a value the
  // analysis works out and not a count of the records; its own units.
  int decimals = 0;
  const char* units = nullptr;
};

constexpr ChannelShown kChannels[] = {
    {"ext_press_bar", PageGroup::kPressure, 0, TableKind::kPressure, 0},
    {"temp_degC", PageGroup::kSystem, 0, TableKind::kSystem, 0},
    {"hum_pct", PageGroup::kSystem, 1, TableKind::kSystem, 0},
    {"int_press_psia", PageGroup::kSystem, 2, TableKind::kSystem, 0},
    {"batt_V", PageGroup::kSystem, 3, TableKind::kSystem, 0},
    {"vmodem_V", PageGroup::kSystem, 4, TableKind::kSystem, 0},
    {"acc_x", PageGroup::kData, 0, TableKind::kData, kAccCount},
    {"acc_y", PageGroup::kData, 1, TableKind::kData, kAccCount},
    {"acc_z", PageGroup::kData, 2, TableKind::kData, kAccCount},
    {"quat_0", PageGroup::kData, 3, TableKind::kData, kQuatCount},
    {"quat_1", PageGroup::kData, 4, TableKind::kData, kQuatCount},
    {"quat_2", PageGroup::kData, 5, TableKind::kData, kQuatCount},
    {"quat_3", PageGroup::kData, 6, TableKind::kData, kQuatCount},
    {"records", PageGroup::kSeconds, 0, TableKind::kMarker, 1},
    {"depth_m", PageGroup::kDepth, 0, TableKind::kPressure, 1e-4, kDepthDecimals, "m"},
};

struct TraceShown {
  const char* channel;
  const char* name;
  const char* colour;
  int digits;  // the decimals its values are told with
};
struct PanelShown {
  const char* title;
  const char* empty;
  const char* unit;  // of its value axis: one quantity to a panel
  std::vector<TraceShown> traces;
  bool down = false;   // its values grow down the axis
  bool dives = false;  // it shades and names the dives
};

// The panels of the picture, with the quaternion besides; humidity and the
// housing's pressure apart, each on a scale of its own.
const PanelShown kPanels[] = {
    {"External pressure", "no pressure records", "bar", {{"ext_press_bar", "pressure", "#1f5fa8", 4}}},
    {"Temperature", "no system records", "degC", {{"temp_degC", "temperature", "#c0392b", 3}}},
    {"Humidity", "no system records", "%", {{"hum_pct", "humidity", "#16866b", 2}}},
    {"Internal pressure", "no system records", "psia", {{"int_press_psia", "internal pressure", "#8e44ad", 3}}},
    {"Supply", "no system records", "V", {{"batt_V", "battery", "#b9770e", 3}, {"vmodem_V", "modem", "#2c7fb8", 3}}},
    {"Acceleration",
     "no data records",
     "record units",
     {{"acc_x", "x", "#d62728", 4}, {"acc_y", "y", "#2ca02c", 4}, {"acc_z", "z", "#1f77b4", 4}}},
    {"Quaternion",
     "no data records",
     "1",
     {{"quat_0", "w", "#444444", 4},
      {"quat_1", "x", "#d62728", 4},
      {"quat_2", "y", "#2ca02c", 4},
      {"quat_3", "z", "#1f77b4", 4}}},
    {"Data records a second", "no timed data records", "records/s", {{"records", "records", "#34495e", 0}}},
};

// Where the pressure gives a depth, the panel of the pressure is one of
// depth instead, drawn as depth is, the surface at the top.
const PanelShown kDepthPanel = {"Depth", "no depth", "m", {{"depth_m", "depth", "#1f5fa8", kDepthDecimals}}, true, true};

const char* const kGroupNames[kPageGroups] = {"data", "pressure", "system", "seconds", "depth"};

// ---- The page's data ----

// A column's script element, around its digits.
std::string columnOpening(size_t column, bool deflated) {
  return "<script type=\"application/octet-stream\" id=\"c" + std::to_string(column) +
         (deflated ? "\" data-deflated=\"1\">" : "\" data-deflated=\"0\">");
}
constexpr std::string_view kColumnClosing = "</script>\n";

// What the columns are, in JSON, and the columns themselves, packed on two
// threads (they are many, and independent).
struct PageData {
  std::string json;
  // The room of the columns, which it outlives.
  std::unique_ptr<ReservedRoom> room;
  std::vector<PackedColumn> columns;
  uint64_t size() const {
    uint64_t bytes = json.size();
    for (size_t i = 0; i < columns.size(); ++i) {
      bytes += columnOpening(i, columns[i].deflated).size() + columns[i].digits.size() + kColumnClosing.size();
    }
    return bytes;
  }
};

// Where a column's values lie: the group's own vectors, read as they are
// packed, so that no copy of every column is held at once.
struct ColumnSource {
  std::span<const int64_t> times;
  std::span<const int32_t> values;
  const CountRanks* rank = nullptr;  // tabled counts are stored as their rank
  ColumnOrder order = ColumnOrder::kValues;

  size_t size() const { return order == ColumnOrder::kTimes ? times.size() : values.size(); }
  // The values as the page stores them, packed.
  std::span<const uint8_t> packed() const {
    if (order == ColumnOrder::kTimes) return packColumn(times, order);
    if (rank == nullptr) return packColumn(values, nullptr);
    return packColumn(values, rank->ranks.data(), rank->lowest);
  }
};

// Runs `work` here and on another thread at once; where the C++ library has
// no threads (WebAssembly), here alone.
template <typename Work>
void onTwoThreads(const Work& work) {
#if defined(_LIBCPP_HAS_NO_THREADS)
  work();
#else
  std::exception_ptr failed;
  std::thread other([&] {
    try {
      work();
    } catch (...) {
      failed = std::current_exception();
    }
  });
  try {
    work();
  } catch (...) {
    other.join();
    throw;
  }
  other.join();
  if (failed) std::rethrow_exception(failed);
#endif
}

struct ColumnJobs {
  std::vector<ColumnSource> columns;

  // Names the column in `ids`; it is packed later.
  void add(std::string& ids, ColumnSource source) {
    ids += jsonString("c" + std::to_string(columns.size()));
    columns.push_back(source);
  }

  // Packs the columns into `data`, in a block of their own: a page's
  // columns are megabytes, which the heap would hand out a fault every
  // 4 KiB. Two threads take the columns longest first, so that neither
  // is left with the long ones and the other idle.
  void pack(PageData& data) const {
    data.room = std::make_unique<ReservedRoom>();
    (void)data.room->reserve(roomNeeded());
    data.columns.reserve(columns.size());
    for (size_t i = 0; i < columns.size(); ++i) {
      data.columns.push_back({std::pmr::vector<char>(data.room.get()), false});
    }
    std::vector<size_t> longestFirst(columns.size());
    std::iota(longestFirst.begin(), longestFirst.end(), size_t{0});
    std::stable_sort(longestFirst.begin(), longestFirst.end(),
                     [this](size_t a, size_t b) { return columns[a].size() > columns[b].size(); });
    std::atomic<size_t> next = 0;
    onTwoThreads([&] {
      for (size_t taken = next++; taken < longestFirst.size(); taken = next++) {
        const size_t i = longestFirst[taken];
        encodeForPage(columns[i].packed(), data.columns[i]);
      }
    });
  }

  // Enough for the columns' digits as a page's usually pack, a few a value:
  // only what is written is touched, and what does not fit the heap takes.
  size_t roomNeeded() const {
    constexpr size_t kDigitsAValue = 4;
    size_t values = 0;
    for (const ColumnSource& column : columns) values += column.size();
    return values * kDigitsAValue + 4096;
  }
};

// The columns' script elements.
template <typename Out>
void putColumns(Out& out, const std::vector<PackedColumn>& columns) {
  for (size_t i = 0; i < columns.size(); ++i) {
    out.append(columnOpening(i, columns[i].deflated));
    out.append({columns[i].digits.data(), columns[i].digits.size()});
    out.append(kColumnClosing);
  }
}

ColumnSource valuesSource(const GroupSeries& series, size_t channel, std::span<const int32_t> values,
                          const ValueTables& tables) {
  ColumnSource source;
  source.values = values;
  if (isTabled(series.group())) source.rank = &tables.rank[tabledChannel(series.group(), channel)];
  return source;
}

std::string groupJson(ColumnJobs& jobs, const GroupSeries& series, const ValueTables& tables) {
  const auto group = static_cast<size_t>(series.group());
  std::string out = "{\"name\":" + jsonString(kGroupNames[group]) + ",\"buckets\":";
  out += series.buckets() ? "true" : "false";
  out += ",\"bucketMicros\":" + std::to_string(series.bucketMicros()) + ",\"count\":" + std::to_string(series.size()) +
         ",\"times\":";
  jobs.add(out, ColumnSource{series.times(), {}, nullptr, ColumnOrder::kTimes});
  out += ",\"channels\":[";
  for (size_t channel = 0; channel < kChannelsOf[group]; ++channel) {
    out += channel == 0 ? "{\"least\":" : ",{\"least\":";
    jobs.add(out, valuesSource(series, channel, series.least(channel), tables));
    if (series.buckets()) {
      out += ",\"greatest\":";
      jobs.add(out, valuesSource(series, channel, series.greatest(channel), tables));
    }
    out += "}";
  }
  return out + "]}";
}

std::string channelsJson() {
  std::string out = "{";
  for (const ChannelShown& channel : kChannels) {
    out += out.size() > 1 ? "," : "";
    out += jsonString(channel.key) + ":{\"group\":" +
           std::to_string(static_cast<int>(channel.group)) + ",\"index\":" + std::to_string(channel.index);
    if (isTabled(channel.group)) {
      out += ",\"table\":" + std::to_string(tabledChannel(channel.group, channel.index));
    } else if (channel.decimals > 0) {
      out += ",\"scale\":" + shortest(channel.scale) + ",\"decimals\":" + std::to_string(channel.decimals);
    } else {
      out += ",\"scale\":" + shortest(channel.scale);
      // A scale of 2^-bits: the value's text is written out in full.
      const int bits = -std::ilogb(channel.scale);
      if (bits > 0) out += ",\"bits\":" + std::to_string(bits);
    }
    std::string units = channel.group == PageGroup::kSeconds ? "1" : "";
    if (channel.units != nullptr) {
      units = channel.units;
    } else if (const std::optional<size_t> column = columnNumber(channel.table, channel.key)) {
      units = std::string(columnsOf(channel.table)[*column].units);
    }
    out += ",\"units\":" + jsonString(units) + "}";
  }
  return out + "}";
}

std::string panelsJson(const PageRun& run) {
  const bool depthKnown = run.groups[static_cast<size_t>(PageGroup::kDepth)].size() > 0;
  std::string out = "[";
  for (const PanelShown& shown : kPanels) {
    const PanelShown& panel = depthKnown && &shown == &kPanels[0] ? kDepthPanel : shown;
    out += (out.size() > 1 ? ",{\"title\":" : "{\"title\":") + jsonString(panel.title) + ",\"empty\":" + jsonString(panel.empty) +
           ",\"unit\":" + jsonString(panel.unit) + (panel.down ? ",\"down\":true" : "") +
           (panel.dives ? ",\"dives\":true" : "") + ",\"traces\":[";
    for (size_t i = 0; i < panel.traces.size(); ++i) {
      const TraceShown& trace = panel.traces[i];
      out += (i > 0 ? ",{\"channel\":" : "{\"channel\":") + jsonString(trace.channel) + ",\"name\":" + jsonString(trace.name) +
             ",\"colour\":" + jsonString(trace.colour) + ",\"digits\":" + std::to_string(trace.digits) + "}";
    }
    out += "]}";
  }
  return out + "]";
}

std::string tablesJson(const ValueTables& tables) {
  std::string out = "[";
  for (size_t channel = 0; channel < kTabledChannels; ++channel) {
    out += channel == 0 ? "[" : ",[";
    for (size_t i = 0; i < tables.texts[channel].size(); ++i) {
      if (i > 0) out += ',';
      out += jsonString(tables.texts[channel][i]);
    }
    out += "]";
  }
  return out + "]";
}

std::string runJson(const PageRun& run) {
  std::string out = ",\"gaps\":[";
  for (size_t i = 0; i < run.gaps.size(); ++i) {
    out += i > 0 ? ",[" : "[";
    out += std::to_string(run.gaps[i].first) + "," + std::to_string(run.gaps[i].second) + "]";
  }
  out += "],\"marks\":[";
  for (size_t i = 0; i < run.marks.size(); ++i) {
    out += i > 0 ? ",[" : "[";
    static const char* const kKinds[] = {"\"damaged\"", "\"skipped\"", "\"stepped\""};
    out += std::to_string(run.marks[i].time) + "," + jsonString(run.marks[i].text) + "," +
           kKinds[static_cast<size_t>(run.marks[i].kind)] + "]";
  }
  out += "],\"dives\":[";
  for (size_t i = 0; i < run.dives.size(); ++i) {
    const PageDive& dive = run.dives[i];
    out += i > 0 ? ",[" : "[";
    out += std::to_string(dive.number) + "," + std::to_string(dive.start) + "," + std::to_string(dive.end) + "," +
           (std::isfinite(dive.maxDepth) ? shortest(std::round(dive.maxDepth * 1e4) / 1e4) : std::string("null")) + "]";
  }
  out += "],\"rate\":" + (run.firstRate ? std::to_string(*run.firstRate) : std::string("null"));
  return out;
}

PageData pageData(const PageRun& run, const ValueTables& tables) {
  ColumnJobs jobs;
  std::string groups = "[";
  for (const GroupSeries& series : run.groups) {
    if (groups.size() > 1) groups += ',';
    groups += groupJson(jobs, series, tables);
  }
  PageData data;
  data.json = "{\"groups\":" + groups + "],\"channels\":" + channelsJson() + ",\"panels\":" + panelsJson(run) +
              ",\"tables\":" + tablesJson(tables) + runJson(run);
  jobs.pack(data);
  return data;
}

// ---- The page ----

std::string namesOf(const std::vector<std::string>& names) {
  if (names.size() <= 3) {
    std::string all;
    for (const std::string& name : names) {
      if (!all.empty()) all += ", ";
      all += displayName(name);
    }
    return all;
  }
  return displayName(names.front()) + " to " + displayName(names.back()) + " (" + std::to_string(names.size()) + " files)";
}

std::string titleOf(const PageRun& run) {
  std::string title = namesOf(run.names) + " | ";
  title += run.earliest > run.latest ? "no timed records" : isoMillis(run.earliest) + " to " + isoMillis(run.latest);
  if (run.firstId) title += " | ID " + std::to_string(*run.firstId) + ", rate " + std::to_string(*run.firstRate);
  return title;
}

// "20 ms", "1.28 s", "8.295 s"
std::string lengthText(int64_t micros) {
  if (micros < 1000000) return std::to_string(micros / 1000) + " ms";
  std::string text = std::to_string(micros / 1000000);
  if (int64_t millis = micros / 1000 % 1000; millis != 0) {
    std::string decimals = std::to_string(1000 + millis).substr(1);
    decimals.erase(decimals.find_last_not_of('0') + 1);
    text += "." + decimals;
  }
  return text + " s";
}

// What the page holds, in one sentence: the groups that are not whole, by
// the length of their buckets.
std::string resolutionText(const PageRun& run, uint64_t budget) {
  static const char* const kWhat[kPageGroups] = {"data records", "pressure readings", "system records",
                                                 "records a second", "depths"};
  std::vector<std::pair<int64_t, std::string>> lengths;
  for (const GroupSeries& series : run.groups) {
    if (!series.buckets()) continue;
    const char* what = kWhat[static_cast<size_t>(series.group())];
    auto same = std::find_if(lengths.begin(), lengths.end(), [&](const auto& l) { return l.first == series.bucketMicros(); });
    if (same == lengths.end()) {
      lengths.emplace_back(series.bucketMicros(), what);
    } else {
      same->second += std::string(", ") + what;
    }
  }
  const std::string dives = run.divesFound > run.dives.size()
                                ? " The first " + std::to_string(run.dives.size()) + " of its " +
                                      std::to_string(run.divesFound) + " dives are shaded."
                                : "";
  if (lengths.empty()) return "Every sample of the run is on this page: zoom in to see each one." + dives;
  std::string text = "Too many samples for one page of at most " + std::to_string(budget / 1000000) + " MB: ";
  for (size_t i = 0; i < lengths.size(); ++i) {
    text += (i > 0 ? "; " : "") + lengths[i].second + " as the least and greatest in every " + lengthText(lengths[i].first);
  }
  return text + ", the finest this page holds (a larger budget holds finer ones)." + dives;
}

// The rows of the check that tell of trouble, in one line: what the
// check's summary says before it is opened.
std::string problemsLine(const InfoRows& rows) {
  static const char* const kTelling[] = {"status", "gaps", "steps back", "skipped stretches", "suspect stretches",
                                         "salvage keeps"};
  std::string line;
  for (const InfoRow& row : rows) {
    if (std::find(std::begin(kTelling), std::end(kTelling), row.label) == std::end(kTelling)) continue;
    line += (line.empty() ? "" : "; ") + row.label + " " + row.value;
  }
  return line;
}

std::string summaryTable(const Summary& summary, bool ofAFile, uint64_t files) {
  const std::string what = (files == 1 ? "The file" : "The " + std::to_string(files) + " files as one deployment") +
                           std::string(": ") + std::to_string(summary.bytes) + " bytes";
  const InfoRows rows = infoRows(summary, ofAFile);
  std::string out = "<details class=\"check\"><summary>" + markupText(what + "; " + problemsLine(rows)) +
                    "</summary>\n<table class=\"summary\"><caption>" + markupText(what) + "</caption>\n";
  for (size_t i = 0; i < rows.size();) {
    std::string value = markupText(rows[i].value);
    size_t next = i + 1;
    for (; next < rows.size() && rows[next].label.empty(); ++next) value += "<br>" + markupText(rows[next].value);
    out += "<tr><th scope=\"row\">" + markupText(rows[i].label) + "</th><td>" + value + "</td></tr>\n";
    i = next;
  }
  return out + "</table>\n</details>\n";
}

// What a page is made of, once its run fits it.
struct PagePieces {
  const std::string& title;
  const std::string& resolution;
  const std::string& summary;
  const PageData& data;

  uint64_t size() const {
    return data.size() + kChartStyle.size() + kPageStyle.size() + kPageBody.size() + kChartScript.size() +
           kPageScript.size() + summary.size() + 8 * title.size() + resolution.size() + 4096;
  }
};

template <typename Out>
void putPage(Out& out, const PagePieces& page) {
  out.append("<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
             "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; script-src 'unsafe-inline'; "
             "style-src 'unsafe-inline'; img-src data:\">\n"
             "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>");
  out.append(markupText(page.title) + "</title>\n<style>\n");
  out.append(kChartStyle);
  out.append(kPageStyle);
  out.append("</style>\n</head>\n<body>\n<header>\n<h1>" + markupText(page.title) + "</h1>\n<p id=\"resolution\">" +
             markupText(page.resolution) + "</p>\n</header>\n" + page.summary);
  out.append(kPageBody);
  out.append("<script type=\"application/json\" id=\"zolt-meta\">" + page.data.json + ",\"title\":" +
             jsonString(page.title) + "}</script>\n");
  putColumns(out, page.data.columns);
  out.append("<script>\n");
  out.append(kChartScript);
  out.append("\n</script>\n<script>\n");
  out.append(kPageScript);
  out.append("\n</script>\n</body>\n</html>\n");
}

// The page as one string, for a caller that keeps it.
class PageText {
 public:
  explicit PageText(std::string& page) : page_(page) {}
  void append(std::string_view text) { page_ += text; }

 private:
  std::string& page_;
};

// The page written to a sink as it is put together, through a buffer of
// its own: a page of megabytes is never held whole, nor its memory touched
// for the first time.
class PageStream {
 public:
  explicit PageStream(Sink& sink) : sink_(sink) { buffer_.reserve(kFlushAt * 2); }
  // A column's megabytes are written from where they lie, not copied
  // through the buffer first.
  void append(std::string_view text) {
    if (text.size() >= kFlushAt) {
      flush();
      write(text);
    } else {
      buffer_ += text;
      flushIfFull();
    }
  }
  // 0, or the error of the first write that failed.
  int finish() {
    flush();
    return failed_;
  }
  uint64_t bytes() const { return bytes_; }

 private:
  // Small enough that its pages are few: each is a fault the first time.
  static constexpr size_t kFlushAt = size_t{256} << 10;

  void flushIfFull() {
    if (buffer_.size() >= kFlushAt) flush();
  }
  void flush() {
    write(buffer_);
    buffer_.clear();
  }
  void write(std::string_view text) {
    if (failed_ == 0 && !text.empty()) failed_ = sink_.write(text.data(), text.size());
    bytes_ += text.size();
  }

  Sink& sink_;
  std::string buffer_;
  int failed_ = 0;
  uint64_t bytes_ = 0;
};

// ---- Reading and fitting ----

// The bytes of the inputs whose size can be known without reading them.
uint64_t knownBytes(std::span<const Input> inputs) {
  uint64_t bytes = 0;
  for (const Input& input : inputs) {
    if (input.kind() == Input::Kind::kMemory) {
      bytes += input.bytes().size();
    } else if (input.kind() != Input::Kind::kDescriptor) {
      bytes += fileStatus(input.pathName()).size;
    }
  }
  return bytes;
}

// The data records a page may be given: no more than the window holds at
// the first header's rate, so that a page of a short window of a long file
// does not begin in buckets sized for the whole file.
uint64_t expectedDataRecords(std::span<const Input> inputs, const TimeWindow& window, uint16_t rate) {
  const uint64_t inFiles = knownBytes(inputs) / kDataRecordSize;
  if (rate == 0 || window.from == INT64_MIN || window.to == INT64_MAX) return inFiles;
  if (window.to <= window.from) return 0;
  const uint64_t seconds = static_cast<uint64_t>((window.to - window.from) / kMicrosecondsPerSecond) + 1;
  return std::min(inFiles, seconds * rate);
}

// Looks no further than the first file header.
class FirstRate : public TimedViewBase {
 public:
  std::optional<uint16_t> rate;

  template <RecordType Type>
  void record(TimedRecord<Type> record) {
    if constexpr (Type == kFileHeader) rate = record.read().rate;
    looked_ = record.offset;
  }
  void samples(const Samples& samples) { looked_ = samples.offset; }
  Error failure() const {
    constexpr uint64_t kLookedEnough = uint64_t{1} << 20;
    return rate || looked_ >= kLookedEnough ? Error{Errc::kStopped, 0} : Error{};
  }

 private:
  uint64_t looked_ = 0;
};

// The rate of the first input's first header, when it can be read twice.
uint16_t firstRate(std::span<const Input> inputs) {
  if (inputs.empty() || !rereadable(inputs.front())) return 0;
  FirstRate view;
  RunClock clock;
  (void)readInput(inputs.front(), clock, view);
  return view.rate.value_or(0);
}

// Coarsens every group that holds more than a screen's worth: for a page
// over its budget. False when none can be made coarser.
bool coarsenGroups(PageRun& run) {
  constexpr size_t kScreen = 2000;
  bool any = false;
  for (GroupSeries& series : run.groups) {
    if (series.size() <= kScreen) continue;
    series.coarsen();
    any = true;
  }
  return any;
}

// Reads every input into the run, and the outcome of each into `result`;
// then the depths and dives the analysis still holds, which, read apart,
// this thread finishes while the other is bucketing.
void gatherInOneRead(PageRun& run, std::span<const Input> inputs, const HtmlOptions& options, PageCheck& check,
                     HtmlPage& result, bool withData = true) {
  for (const Input& input : inputs) {
    FileOutcome outcome = gatherForPage(run, input, options.keepGoing, options.salvage, &check, withData);
    if (outcome.ok()) run.names.emplace_back(input.name());
    result.inputs.push_back(std::move(outcome));
  }
  run.finishDepth();
}

// Whether the data records can be read apart, on a thread of their own:
// where there are threads, and every input can be read twice.
bool canReadApart(std::span<const Input> inputs) {
#if defined(_LIBCPP_HAS_NO_THREADS)
  (void)inputs;
  return false;
#else
  return std::all_of(inputs.begin(), inputs.end(), [](const Input& input) { return rereadable(input); });
#endif
}

#if !defined(_LIBCPP_HAS_NO_THREADS)
// Whether the read apart found what the page's own read did in every
// input: a file that changed between the two, or a read that ran out of
// memory in one of them, would give a page whose groups disagree.
bool readsAgree(const PageRun& run, const HtmlPage& result, const std::vector<DataRead>& apart) {
  if (apart.size() != result.inputs.size() || run.dataRecordsRead.size() != apart.size()) return false;
  for (size_t i = 0; i < apart.size(); ++i) {
    if (apart[i].outcome.error.code != result.inputs[i].error.code || apart[i].records != run.dataRecordsRead[i]) {
      return false;
    }
  }
  return true;
}
#endif

// Gathers the run as gatherInOneRead() does, the data records' buckets
// (half the work of a long run) made on a second thread from a read of
// their own; false when the two reads disagree. The threads share nothing
// but the inputs; the other one is told to stop as soon as this one is.
bool gatherApart(PageRun& run, std::span<const Input> inputs, const HtmlOptions& options, PageCheck& check,
                 HtmlPage& result) {
#if defined(_LIBCPP_HAS_NO_THREADS)
  gatherInOneRead(run, inputs, options, check, result);
  return true;
#else
  std::atomic<bool> stop = false;
  HtmlOptions told = options;
  told.keepGoing = [&options, &stop] {
    const bool going = !options.keepGoing || options.keepGoing();
    if (!going) stop = true;
    return going;
  };
  std::vector<DataRead> apart;
  std::exception_ptr failed;
  // Nothing that can throw between here and the try, or the thread would
  // be left unjoined.
  std::thread data([&, &series = run[PageGroup::kData]] {
    try {
      RunClock clock;
      const KeepGoing untilStopped = [&stop] { return !stop.load(std::memory_order_relaxed); };
      for (const Input& input : inputs) {
        apart.push_back(gatherDataForPage(series, options.window, clock, input, untilStopped, options.salvage));
      }
    } catch (...) {
      failed = std::current_exception();
    }
  });
  try {
    gatherInOneRead(run, inputs, told, check, result, false);
  } catch (...) {
    stop = true;
    data.join();
    throw;
  }
  data.join();
  if (failed) std::rethrow_exception(failed);
  return readsAgree(run, result, apart);
#endif
}

// A read told to stop, or out of memory, ends the page, as it ends a run
// file: a page of part of the run would look whole.
Error endingError(const std::vector<FileOutcome>& outcomes) {
  for (const FileOutcome& outcome : outcomes) {
    if (outcome.error.code == Errc::kStopped || outcome.error.code == Errc::kOutOfMemory) return outcome.error;
  }
  return {};
}

// A run of the budget's sizes, foreseen from the inputs.
std::unique_ptr<PageRun> newRun(std::span<const Input> inputs, const HtmlOptions& options, uint16_t rate) {
  auto run = std::make_unique<PageRun>(options.window, mostPageSamples(options.budgetBytes),
                                       mostPageBuckets(options.budgetBytes));
  run->expect(expectedDataRecords(inputs, options.window, rate), rate);
  return run;
}

// Reads every input into a run, apart where it can; in one read where the
// reads apart disagree.
std::unique_ptr<PageRun> gatherRun(std::span<const Input> inputs, const HtmlOptions& options, PageCheck& check,
                                   HtmlPage& result) {
  const uint16_t rate = firstRate(inputs);
  std::unique_ptr<PageRun> run = newRun(inputs, options, rate);
  if (!canReadApart(inputs)) {
    gatherInOneRead(*run, inputs, options, check, result);
    return run;
  }
  if (gatherApart(*run, inputs, options, check, result) || endingError(result.inputs).failed()) return run;
  run = newRun(inputs, options, rate);
  check = PageCheck{};
  result.inputs.clear();
  gatherInOneRead(*run, inputs, options, check, result);
  return run;
}

// Reads the inputs and fits their run to the budget; `put` is given the
// page's pieces when it fits.
using PutPage = std::function<void(const PagePieces&)>;

HtmlPage composePage(std::span<const Input> inputs, const HtmlOptions& options, const PutPage& put) {
  HtmlPage result;
  if (options.budgetBytes < kLeastHtmlBudget) {
    result.error = {Errc::kInvalidArgument, EINVAL, "a page needs a budget of at least 1 MB"};
    return result;
  }
  PageCheck check;
  const std::unique_ptr<PageRun> gathered = gatherRun(inputs, options, check, result);
  if (const Error ended = endingError(result.inputs); ended.failed()) {
    result.error = ended;
    return result;
  }
  PageRun& run = *gathered;
  if (run.names.empty()) return result;
  run.gapsAroundStrayTimes();
  // One file's check lists its stretches, as --info's block of the file does.
  const bool oneFile = inputs.size() == 1;
  const std::string table = summaryTable(oneFile ? check.file : check.run.summary, oneFile, run.names.size());
  const std::string title = titleOf(run);
  const uint64_t fixed = kChartStyle.size() + kPageStyle.size() + kPageBody.size() + kChartScript.size() +
                         kPageScript.size() + table.size() + 2 * markupText(title).size() + 8 * title.size() + 4096;
  for (;;) {
    const PageData data = pageData(run, valueTables(run));
    if (fixed + data.size() <= options.budgetBytes) {
      const std::string resolution = resolutionText(run, options.budgetBytes);
      // The page is its packed columns now: a month's entries need not be
      // held beside the page made of them.
      run.releaseSeries();
      put(PagePieces{title, resolution, table, data});
      return result;
    }
    if (!coarsenGroups(run)) break;
  }
  result.error = {Errc::kInvalidArgument, EINVAL, "the run does not fit a page of this budget"};
  return result;
}

HtmlPage composeCaught(std::span<const Input> inputs, const HtmlOptions& options, const PutPage& put) {
  try {
    return composePage(inputs, options, put);
  } catch (const std::bad_alloc&) {
    HtmlPage failed;
    failed.error = {Errc::kOutOfMemory, ENOMEM};
    return failed;
  }
}

}  // namespace

HtmlPage makeHtml(std::span<const Input> inputs, const HtmlOptions& options) {
  std::string page;
  HtmlPage result = composeCaught(inputs, options, [&](const PagePieces& pieces) {
    // All of it at once: a page of megabytes copied as it grows costs its
    // size again in fresh pages.
    page.reserve(static_cast<size_t>(pieces.size()));
    PageText text(page);
    putPage(text, pieces);
  });
  if (result.error.ok()) {
    result.bytes = page.size();
    result.page = std::move(page);
  }
  return result;
}

HtmlPage streamHtml(Sink& sink, std::span<const Input> inputs, const HtmlOptions& options) {
  int written = 0;
  uint64_t bytes = 0;
  HtmlPage result = composeCaught(inputs, options, [&](const PagePieces& pieces) {
    PageStream stream(sink);
    putPage(stream, pieces);
    written = stream.finish();
    bytes = stream.bytes();
  });
  if (result.error.failed()) return result;
  if (written != 0) {
    result.error = {Errc::kWriteFailed, written};
  } else {
    result.bytes = bytes;
  }
  return result;
}

HtmlPage writeHtml(const std::string& path, std::span<const Input> inputs, const HtmlOptions& options) {
  ReplacedFile file(path);
  if (file.error().failed()) {
    HtmlPage failed;
    failed.error = file.error();
    return failed;
  }
  DescriptorSink sink(file.fd());
  HtmlPage result = streamHtml(sink, inputs, options);
  if (result.error.ok() && result.bytes > 0) result.error = file.commit();
  return result;
}

}  // namespace zolt

// Draws the gathered run as SVG: six panels on one UTC time axis, each
// column showing the range of its values and a line through their means.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <string>

#include "core/calendar.h"
#include "text/exactFormat.h"
#include "text/markupText.h"
#include "views/plotRun.h"
#include "core/readInput.h"
#include "text/textFormat.h"
#include "text/utf8Name.h"
#include "zolt/tables.h"

namespace zolt {

namespace {

constexpr double kLeft = 80;
constexpr double kPlotWidth = 1000;
constexpr double kRight = 80;
constexpr double kTop = 60;
constexpr double kPanelHeight = 120;
constexpr double kPanelTitle = 22;
constexpr double kPanelGap = 12;
constexpr double kBottom = 40;
constexpr int kPanels = 6;

struct Trace {
  PlotSeries series;
  const char* name;
  const char* colour;
  bool rightScale;
};

struct Panel {
  const char* title;
  const char* empty;
  std::vector<Trace> traces;
};

const Panel kPanelsDrawn[kPanels] = {
    {"External pressure, bar", "no pressure records", {{kSeriesExtPress, "pressure", "#1f5fa8", false}}},
    {"Temperature, degC", "no system records", {{kSeriesTemp, "temperature", "#c0392b", false}}},
    {"Housing: humidity, % (left) and internal pressure, psia (right)",
     "no system records",
     {{kSeriesHum, "humidity", "#16866b", false}, {kSeriesIntPress, "internal pressure", "#8e44ad", true}}},
    {"Supply: battery and modem, V",
     "no system records",
     {{kSeriesBatt, "battery", "#b9770e", false}, {kSeriesModem, "modem", "#5d6d7e", false}}},
    {"Acceleration x, y, z",
     "no data records",
     {{kSeriesAccX, "x", "#c0392b", false}, {kSeriesAccY, "y", "#16866b", false}, {kSeriesAccZ, "z", "#1f5fa8", false}}},
    {"Data records per second", "no timed data records",
     {{kSeriesRecordsPerSecond, "records", "#34495e", false}}},
};

// In place of the pressure where the pressure gives a depth: from the
// surface at the top, down, with the dives shaded.
const Panel kDepthPanel = {"Depth, m (surface pressure estimated; dives shaded)",
                           "no pressure records",
                           {{kSeriesDepth, "depth", "#1f5fa8", false}}};

// Coordinates to a tenth of a pixel.
std::string number(double value) {
  char text[32];
  const char* end = putFixed(text, std::isfinite(value) ? value : 0.0, 0, 1);
  return std::string(text, static_cast<size_t>(end - text));
}

// A round step near `rough`: 1, 2 or 5 times a power of ten.
double roundStep(double rough) {
  const double power = std::pow(10.0, std::floor(std::log10(rough)));
  constexpr double kFactors[] = {1.0, 2.0, 5.0, 10.0};
  return power * *std::find_if(std::begin(kFactors), std::end(kFactors) - 1,
                               [&](double factor) { return factor * power >= rough; });
}

struct Scale {
  double low;
  double high;
  double step;
  double top;     // pixels
  double bottom;  // pixels
  bool down = false;  // low at the top, for depth; values beyond the ends at the ends
  double y(double value) const {
    if (down) return top + (std::clamp(value, low, high) - low) / (high - low) * (bottom - top);
    return bottom - (value - low) / (high - low) * (bottom - top);
  }
};

// Depth from the surface, 0 at the top, down to a round depth below the
// deepest: waves above the surface stay on the top edge.
Scale depthScale(double greatest, double top, double bottom) {
  const double deepest = std::max(greatest, 1.0) * 1.05;
  const double step = roundStep(deepest / 4);
  return {0, std::ceil(deepest / step) * step, step, top, bottom, true};
}

// Round ends a little beyond the values, so no trace runs along the frame.
Scale scaleFor(double least, double greatest, double top, double bottom) {
  const double pad = greatest > least ? (greatest - least) * 0.05 : std::max(std::fabs(least) * 0.05, 0.5);
  least -= pad;
  greatest += pad;
  const double step = roundStep((greatest - least) / 4);
  return {std::floor(least / step) * step, std::ceil(greatest / step) * step, step, top, bottom};
}

std::string tickLabel(double value, double step) {
  const int decimals = std::max(0, static_cast<int>(-std::floor(std::log10(step) + 1e-9)));
  char text[48];
  // A tick at zero that arithmetic left a hair below it is still 0.
  (void)std::snprintf(text, sizeof text, "%.*f", decimals, std::fabs(value) < step / 2 ? 0.0 : value);
  return text;
}

class Drawing {
 public:
  Drawing(const TimeColumns& columns, const PlotFacts& facts, const std::vector<PlotDive>& dives)
      : columns_(columns), facts_(facts), dives_(dives) {
    count_ = columns.empty() ? 1 : columns.last() - columns.first() + 1;
    columnWidth_ = kPlotWidth / static_cast<double>(count_);
  }

  std::string draw() {
    const double height = kTop + kPanels * (kPanelTitle + kPanelHeight + kPanelGap) + kBottom;
    svg_ = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" +
           number(kLeft + kPlotWidth + kRight) + "\" height=\"" + number(height) + "\" viewBox=\"0 0 " +
           number(kLeft + kPlotWidth + kRight) + " " + number(height) +
           "\" font-family=\"sans-serif\" font-size=\"11\">\n<rect width=\"100%\" height=\"100%\" fill=\"#fff\"/>\n";
    title();
    const bool depthKnown = hasData(kSeriesDepth);
    for (int panel = 0; panel < kPanels; ++panel) {
      if (panel == 0 && depthKnown) {
        svg_ += "<g id=\"depth-panel\">\n";
        drawPanel(kDepthPanel, panelTop(panel));
        svg_ += "</g>\n";
      } else {
        drawPanel(kPanelsDrawn[panel], panelTop(panel));
      }
    }
    timeLabels();
    return svg_ + "</svg>\n";
  }

 private:
  static double panelTop(int panel) { return kTop + panel * (kPanelTitle + kPanelHeight + kPanelGap) + kPanelTitle; }

  double x(int64_t column) const { return kLeft + static_cast<double>(column - columns_.first()) * columnWidth_; }
  double timeX(int64_t micros) const {
    const double start = static_cast<double>(columns_.first()) * static_cast<double>(columns_.width());
    const double span = static_cast<double>(count_) * static_cast<double>(columns_.width());
    return kLeft + (static_cast<double>(micros) - start) / span * kPlotWidth;
  }

  std::string spanText() const {
    if (columns_.empty()) return "no timed records";
    char from[32];
    char to[32];
    SecondCache cache;
    *putIsoTime(from, columns_.earliest(), 3, cache) = '\0';
    *putIsoTime(to, columns_.latest(), 3, cache) = '\0';
    return std::string(from) + " to " + to;
  }

  void title() {
    std::string names;
    const auto& all = facts_.names;
    if (all.size() <= 3) {
      for (const std::string& name : all) names += (names.empty() ? "" : ", ") + displayName(name);
    } else {
      names = displayName(all.front()) + " to " + displayName(all.back()) + " (" + std::to_string(all.size()) + " files)";
    }
    std::string line = names + " | " + spanText();
    if (facts_.id) line += " | ID " + std::to_string(*facts_.id) + ", rate " + std::to_string(*facts_.rate);
    svg_ += "<text x=\"" + number(kLeft) + "\" y=\"28\" font-size=\"14\" font-weight=\"bold\">" + markupText(line) +
            "</text>\n";
  }

  void drawPanel(const Panel& panel, double top) {
    const double bottom = top + kPanelHeight;
    svg_ += "<text x=\"" + number(kLeft) + "\" y=\"" + number(top - 6) + "\" font-size=\"12\">" +
            markupText(panel.title) + "</text>\n";
    svg_ += "<rect x=\"" + number(kLeft) + "\" y=\"" + number(top) + "\" width=\"" + number(kPlotWidth) +
            "\" height=\"" + number(kPanelHeight) + "\" fill=\"none\" stroke=\"#999\"/>\n";
    gapShading(top);
    if (&panel == &kDepthPanel) diveShading(top);
    timeGrid(top, bottom);
    bool any = false;
    for (const Trace& trace : panel.traces) any = any || hasData(trace.series);
    if (!any) {
      svg_ += "<text x=\"" + number(kLeft + kPlotWidth / 2) + "\" y=\"" + number(top + kPanelHeight / 2) +
              "\" text-anchor=\"middle\" fill=\"#777\">" + markupText(panel.empty) + "</text>\n";
      return;
    }
    drawScales(panel, top, bottom);
    if (panel.traces.size() > 1) legend(panel, top);
  }

  // Which colour is which, at the right of the panel's title.
  void legend(const Panel& panel, double top) {
    constexpr double kItemWidth = 130;
    double right = kLeft + kPlotWidth;
    for (auto trace = panel.traces.rbegin(); trace != panel.traces.rend(); ++trace) {
      const double start = right - kItemWidth + 10;
      right -= kItemWidth;
      svg_ += "<line x1=\"" + number(start) + "\" x2=\"" + number(start + 16) + "\" y1=\"" + number(top - 10) +
              "\" y2=\"" + number(top - 10) + "\" stroke=\"" + trace->colour + "\" stroke-width=\"2\"/>\n";
      svg_ += "<text x=\"" + number(start + 20) + "\" y=\"" + number(top - 6) + "\">" + markupText(trace->name) +
              "</text>\n";
    }
  }

  bool hasData(PlotSeries series) const {
    if (columns_.empty()) return false;
    for (int64_t column = columns_.first(); column <= columns_.last(); ++column) {
      if (columns_.column(column).series[series].count > 0) return true;
    }
    return false;
  }

  // The value range of the traces on one side of a panel.
  std::pair<double, double> rangeOf(const Panel& panel, bool right) const {
    double least = HUGE_VAL;
    double greatest = -HUGE_VAL;
    for (const Trace& trace : panel.traces) {
      if (trace.rightScale != right) continue;
      for (int64_t column = columns_.first(); column <= columns_.last(); ++column) {
        const Envelope& envelope = columns_.column(column).series[trace.series];
        if (envelope.count == 0) continue;
        least = std::min(least, envelope.min);
        greatest = std::max(greatest, envelope.max);
      }
    }
    if (!right && showsRate(panel) && facts_.rate) {
      least = std::min(least, static_cast<double>(*facts_.rate));
      greatest = std::max(greatest, static_cast<double>(*facts_.rate));
    }
    return {least, greatest};
  }

  static bool showsRate(const Panel& panel) { return panel.traces.front().series == kSeriesRecordsPerSecond; }

  void drawScales(const Panel& panel, double top, double bottom) {
    for (const bool right : {false, true}) {
      const auto [least, greatest] = rangeOf(panel, right);
      if (least > greatest) continue;
      const Scale scale = &panel == &kDepthPanel ? depthScale(greatest, top, bottom) : scaleFor(least, greatest, top, bottom);
      yAxis(scale, right);
      if (!right && showsRate(panel) && facts_.rate) rateLine(scale);
      for (const Trace& trace : panel.traces) {
        if (trace.rightScale == right) drawTrace(trace, scale);
      }
    }
  }

  void yAxis(const Scale& scale, bool right) {
    const double labelX = right ? kLeft + kPlotWidth + 6 : kLeft - 6;
    const char* anchor = right ? "start" : "end";
    const auto ticks = static_cast<int>(std::lround((scale.high - scale.low) / scale.step));
    for (int tick = 0; tick <= ticks; ++tick) {
      const double value = scale.low + tick * scale.step;
      const double y = scale.y(value);
      if (!right) {
        svg_ += "<line x1=\"" + number(kLeft) + "\" x2=\"" + number(kLeft + kPlotWidth) + "\" y1=\"" + number(y) +
                "\" y2=\"" + number(y) + "\" stroke=\"#e6e6e6\"/>\n";
      }
      svg_ += "<text x=\"" + number(labelX) + "\" y=\"" + number(y + 4) + "\" text-anchor=\"" + anchor + "\">" +
              tickLabel(value, scale.step) + "</text>\n";
    }
  }

  void rateLine(const Scale& scale) {
    const double y = scale.y(*facts_.rate);
    svg_ += "<line x1=\"" + number(kLeft) + "\" x2=\"" + number(kLeft + kPlotWidth) + "\" y1=\"" + number(y) +
            "\" y2=\"" + number(y) + "\" stroke=\"#e67e22\" stroke-dasharray=\"6 4\"/>\n";
  }

  // Each column's range as a bar at least a pixel tall, and a line through
  // the means that bridges empty columns but never a gap.
  void drawTrace(const Trace& trace, const Scale& scale) {
    std::string bars;
    std::string means;
    bool joined = false;
    for (int64_t column = columns_.first(); column <= columns_.last(); ++column) {
      const PlotColumn& cell = columns_.column(column);
      const Envelope& envelope = cell.series[trace.series];
      if (cell.gapMicros > 0) joined = false;
      if (envelope.count == 0) continue;
      const double middle = x(column) + columnWidth_ / 2;
      // The greatest value is drawn lowest on a scale that points down.
      const double high = std::min(scale.y(envelope.max), scale.y(envelope.min));
      const double low = std::max(std::max(scale.y(envelope.max), scale.y(envelope.min)), high + 1);
      bars.append("M").append(number(middle)).append(" ").append(number(high)).append("V").append(number(low));
      means.append(joined ? "L" : "M").append(number(middle)).append(" ").append(number(scale.y(envelope.mean())));
      joined = cell.gapMicros == 0;
    }
    svg_ += "<path d=\"" + bars + "\" stroke=\"" + trace.colour + "\" stroke-opacity=\"0.45\" stroke-width=\"" +
            number(std::max(columnWidth_, 2.0)) + "\" fill=\"none\"/>\n";
    svg_ += "<path d=\"" + means + "\" stroke=\"" + trace.colour + "\" stroke-width=\"1.2\" fill=\"none\"><title>" +
            markupText(trace.name) + "</title></path>\n";
  }

  void gapShading(double top) {
    if (columns_.empty()) return;
    for (int64_t column = columns_.first(); column <= columns_.last();) {
      if (columns_.column(column).gapMicros == 0) {
        ++column;
        continue;
      }
      const int64_t start = column;
      while (column <= columns_.last() && columns_.column(column).gapMicros > 0) ++column;
      svg_ += "<rect x=\"" + number(x(start)) + "\" y=\"" + number(top) + "\" width=\"" +
              number(static_cast<double>(column - start) * columnWidth_) + "\" height=\"" + number(kPanelHeight) +
              "\" fill=\"#d8d8d8\"><title>gap</title></rect>\n";
    }
  }

  void diveShading(double top) {
    if (columns_.empty()) return;
    const double left = kLeft;
    const double right = kLeft + kPlotWidth;
    for (const PlotDive& dive : dives_) {
      const double from = std::clamp(timeX(dive.start), left, right);
      const double to = std::clamp(timeX(dive.end), left, right);
      svg_ += "<rect class=\"dive\" x=\"" + number(from) + "\" y=\"" + number(top) + "\" width=\"" +
              number(std::max(to - from, 0.5)) + "\" height=\"" + number(kPanelHeight) +
              "\" fill=\"#cfe3f5\"><title>dive " + std::to_string(dive.number) + "</title></rect>\n";
    }
  }

  // Round ticks that suit the span: from 10 ms to 100 days.
  int64_t tickStep() const {
    constexpr int64_t kSecond = kMicrosecondsPerSecond;
    constexpr int64_t kSteps[] = {10000,       20000,       50000,       100000,      200000,      500000,
                                  kSecond,     2 * kSecond, 5 * kSecond, 10 * kSecond, 15 * kSecond, 30 * kSecond,
                                  60 * kSecond, 120 * kSecond, 300 * kSecond, 600 * kSecond, 900 * kSecond,
                                  1800 * kSecond, 3600 * kSecond, 7200 * kSecond, 10800 * kSecond,
                                  21600 * kSecond, 43200 * kSecond, 86400 * kSecond, 172800 * kSecond,
                                  604800 * kSecond, 1209600 * kSecond, 2592000 * kSecond, 8640000 * kSecond};
    const int64_t span = count_ * columns_.width();
    const auto* step = std::find_if(std::begin(kSteps), std::end(kSteps), [&](int64_t each) { return span / each <= 10; });
    return step != std::end(kSteps) ? *step : (span / 10 / (86400 * kSecond) + 1) * 86400 * kSecond;
  }

  template <typename Each>
  void eachTick(Each each) const {
    if (columns_.empty()) return;
    const int64_t step = tickStep();
    const int64_t start = columns_.first() * columns_.width();
    const int64_t end = (columns_.last() + 1) * columns_.width();
    for (int64_t tick = (floorDivide(start - 1, step) + 1) * step; tick <= end; tick += step) each(tick, step);
  }

  void timeGrid(double top, double bottom) {
    eachTick([&](int64_t tick, int64_t) {
      const double at = timeX(tick);
      svg_ += "<line x1=\"" + number(at) + "\" x2=\"" + number(at) + "\" y1=\"" + number(top) + "\" y2=\"" +
              number(bottom) + "\" stroke=\"#e6e6e6\"/>\n";
    });
  }

  void timeLabels() {
    const double y = kTop + kPanels * (kPanelTitle + kPanelHeight + kPanelGap) + 4;
    eachTick([&](int64_t tick, int64_t step) {
      char text[32];
      SecondCache cache;
      *putIsoTime(text, tick, 3, cache) = '\0';
      std::string label(text);  // YYYY-MM-DDThh:mm:ss.fffZ
      if (step >= 86400 * kMicrosecondsPerSecond) {
        label.resize(10);
      } else if (step >= 60 * kMicrosecondsPerSecond) {
        label = label.substr(11, 5);
      } else if (step >= kMicrosecondsPerSecond) {
        label = label.substr(11, 8);
      } else {
        label = label.substr(11, 12);
      }
      svg_ += "<text x=\"" + number(timeX(tick)) + "\" y=\"" + number(y + 10) + "\" text-anchor=\"middle\">" +
              label + "</text>\n";
    });
    svg_ += "<text x=\"" + number(kLeft + kPlotWidth) + "\" y=\"" + number(y + 28) +
            "\" text-anchor=\"end\" fill=\"#555\">UTC</text>\n";
  }

  const TimeColumns& columns_;
  const PlotFacts& facts_;
  const std::vector<PlotDive>& dives_;
  int64_t count_;
  double columnWidth_;
  std::string svg_;
};

}  // namespace

Result<std::string> PlotRun::render() const {
  if (impl_ == nullptr) return Error{Errc::kInvalidArgument, EINVAL};
  try {
    PlotGathering& gathered = impl_->gathered;
    if (!gathered.analysed) {
      gathered.analysis.finish();
      gathered.analysed = true;
    }
    return Drawing(gathered.columns, gathered.facts, gathered.depthRows.dives).draw();
  } catch (const std::bad_alloc&) {
    return outOfMemory();
  }
}

}  // namespace zolt

// The scripts, styles and body that every page carries, made into the
// program from web/ and third_party/uplot/ at build time.
#pragma once

#include <string_view>

namespace zolt {

extern const std::string_view kChartScript;  // uPlot
extern const std::string_view kChartStyle;
extern const std::string_view kPageScript;   // the page's own
extern const std::string_view kPageStyle;
extern const std::string_view kPageBody;     // the controls and the panels' place

}  // namespace zolt

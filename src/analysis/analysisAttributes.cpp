#include "analysis/analysisAttributes.h"

#include <cmath>

namespace zolt {

namespace {

std::string depthMethod(const AnalysisSettings& settings) {
  if (settings.depth.water == Water::kSea)
    return "TEOS-10 depth from sea pressure (absolute pressure less the surface pressure), dynamic height 0";
  return "hydrostatic depth from sea pressure (absolute pressure less the surface pressure), fresh water of "
         "density " + std::to_string(settings.depth.freshDensity) + " kg m-3";
}

std::string surfaceMethod(const AnalysisSettings& settings) {
  if (settings.surface.fixedBar) return "fixed, as given";
  return "running low quantile of the readings near the surface over a centred window";
}

void depthAttributes(const AnalysisSettings& settings, std::vector<AnalysisAttribute>& out) {
  out.push_back({"depth_method", depthMethod(settings)});
  out.push_back({"water", std::string(settings.depth.water == Water::kSea ? "sea" : "fresh")});
  out.push_back({"latitude", settings.depth.latitude});
  out.push_back({"latitude_source", std::string(settings.latitudeGiven ? "given" : "default")});
  out.push_back({"surface_method", surfaceMethod(settings)});
  if (settings.surface.fixedBar) {
    out.push_back({"surface_pressure_bar", *settings.surface.fixedBar});
    return;
  }
  out.push_back({"surface_window_s", settings.surface.window});
  out.push_back({"surface_quantile", settings.surface.quantile});
  out.push_back({"surface_band_bar", settings.surface.band});
}

void diveAttributes(const AnalysisSettings& settings, std::vector<AnalysisAttribute>& out) {
  out.push_back({"dive_depth_m", settings.dives.diveDepth});
  out.push_back({"surface_depth_m", settings.dives.surfaceDepth});
  out.push_back({"min_dive_s", settings.dives.minimumDuration});
  out.push_back({"bottom_fraction", settings.dives.bottomFraction});
}

}  // namespace

std::vector<AnalysisAttribute> analysisAttributes(const AnalysisSettings& settings, DerivedTable table) {
  std::vector<AnalysisAttribute> out;
  if (table != DerivedTable::kActivity) depthAttributes(settings, out);
  if (table == DerivedTable::kDives) diveAttributes(settings, out);
  if (table != DerivedTable::kDepth) {
    out.push_back({"activity_method", std::string("VeDBA: length of the acceleration less its running mean over a "
                                                  "centred window")});
    out.push_back({"activity_window_s", settings.activity.window});
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> analysisUnits(DerivedTable table) {
  switch (table) {
    case DerivedTable::kDepth: return {{"pressure", "bar"}, {"surface_pressure", "bar"}, {"depth", "m"}};
    case DerivedTable::kDives:
      return {{"duration_s", "s"},       {"max_depth_m", "m"},       {"bottom_time_s", "s"},
              {"descent_time_s", "s"},   {"descent_rate_m_s", "m s-1"}, {"ascent_time_s", "s"},
              {"ascent_rate_m_s", "m s-1"}, {"surface_interval_s", "s"}};
    case DerivedTable::kActivity:
      return {{"pitch", "degree"}, {"roll", "degree"}, {"quat_pitch", "degree"}, {"quat_roll", "degree"},
              {"quat_heading", "degree"}};
  }
  return {};
}

}  // namespace zolt

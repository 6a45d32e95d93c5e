// Every parameter of the analysis of a deployment (depth, surface pressure,
// dives, activity) in one place, as the command line sets them and the
// tables and the deployment check that are made from the analysis read
// them.
#pragma once

#include "analysis/activityFilter.h"
#include "analysis/depthFromPressure.h"
#include "analysis/diveFinder.h"
#include "analysis/surfaceEstimator.h"

namespace zolt {

struct AnalysisSettings {
  DepthParameters depth;
  // Whether the latitude was given, or is the default that stands in for
  // one not known: the outputs say which.
  bool latitudeGiven = false;
  SurfaceParameters surface;
  DiveParameters dives;
  ActivityParameters activity;
};

}  // namespace zolt

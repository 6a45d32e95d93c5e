// The views of the program, each run over the named files as the command
// line chose it: each returns the exit status.
#pragma once

#include "cli/options.h"

int runReport(const ViewChoice& choice);
int runCsv(const ViewChoice& choice);
int runInfo(const ViewChoice& choice);
int runPlot(const ViewChoice& choice);
int runHtml(const ViewChoice& choice);
// In netcdfView.cpp, which only a build with libnetcdf has.
int runNetcdf(const ViewChoice& choice);

// A deployment at sea whose every dive the generator knows, for the dive
// finder to be held to: see diveDeployment.cpp.
#pragma once

#include <cstdint>

// Writes the recording at `path`, its dives at `path`.truth.csv and its
// surface pressure at `path`.surface.csv. 0 when written, 1 when a file
// could not be, 2 when `seconds` cannot hold the planned dives.
int writeDiveDeployment(const char* path, uint32_t seconds);

// The least length of such a deployment.
uint32_t leastDiveDeployment();

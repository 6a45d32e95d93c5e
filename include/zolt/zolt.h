// The decoding library for the record files of the ZOLT data logger.
//
// Every call works on objects the caller owns and keeps no other state, so
// threads may decode different inputs at once. Nothing prints, exits or
// touches signals; failures come back as values (zolt/error.h) and damage
// in the input as counts with offsets (zolt/records.h).
#pragma once

#include "zolt/csv.h"
#include "zolt/error.h"
#include "zolt/input.h"
#include "zolt/plot.h"
#include "zolt/records.h"
#include "zolt/report.h"
#include "zolt/sink.h"
#include "zolt/spans.h"
#include "zolt/summary.h"
#include "zolt/tables.h"
#include "zolt/time.h"
#include "zolt/units.h"

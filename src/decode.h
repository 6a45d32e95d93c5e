// Shared declarations of the ZOLT record file decoder.
#pragma once

#include <cstdint>

#include "recordFormat.h"

// Run switches: 0 when off, 0xFFFF when on. Only the command line sets them.
extern uint16_t printDataRecs;
extern uint16_t totalsOnly;
extern uint16_t pressOnly;
extern uint16_t sysRecOnly;

// Converts a 16-bit converter count on `channel` to engineering units.
// When `units` is not null it receives the channel's unit text.
float adcEngValue(uint16_t channel, uint16_t count, const char** units);

enum AdcChannel : uint16_t { kExtPressure = 2, kIntPressure = 3, kTemperature = 4, kHumidity = 5 };

// The converter's 2.5 V full scale over 65536 counts.
inline double converterVolts(uint16_t counts) { return counts * 2.5 / 65536.0; }

// The supply voltages go through a divider of 12.11 that the firmware applies
// in double precision, unlike the single-precision channel table.
inline double supplyVolts(uint16_t counts) { return counts * 12.11 * 2.5 / 65536.0; }

// Report handlers, one per record type: each is given the record's body,
// just after the type byte.
void printFileHdr(const uint8_t* body);
void printSecMarker(const uint8_t* body);
void printData(const uint8_t* body);
void printPressure(const uint8_t* body);
void printIndexRcd(const uint8_t* body);
void printSysRcd(const uint8_t* body);

// Decodes one named file ("-" for standard input) into the report; 0 when it
// was opened and read to its end, -1 when it could not be opened or read.
int decodeFile(const char* name);

// "-" stands for standard input; returns a descriptor of its own, or -1.
int openInput(const char* name);

// The whole program: parses switches, decodes every named file, and returns
// the exit status.
int decodeMain(int argc, char** argv);

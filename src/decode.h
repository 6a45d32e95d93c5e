// Shared declarations of the ZOLT record file decoder.
#pragma once

#include <cstdint>

#include "recordReader.h"

// Run switches: 0 when off, 0xFFFF when on. Only the command line sets them.
extern uint16_t printDataRecs;
extern uint16_t totalsOnly;
extern uint16_t pressOnly;
extern uint16_t sysRecOnly;

// Big-endian field readers. A field cut short by the end of the file reads
// its missing bytes as zero.
uint16_t readWord(RecordReader& in);
uint32_t readLong(RecordReader& in);

// Converts a 16-bit converter count on `channel` to engineering units.
// When `units` is not null it receives the channel's unit text.
float adcEngValue(uint16_t channel, uint16_t count, const char** units);

// Record handlers: each is given the input just after the record type byte
// and reads exactly that record's body.
void printFileHdr(RecordReader& in);
void printSecMarker(RecordReader& in);
void printData(RecordReader& in);
void printPressure(RecordReader& in);
void printIndexRcd(RecordReader& in);
void printSysRcd(RecordReader& in);

// Decodes one named file into the report; 0 when it was opened and read to
// its end, -1 when it could not be opened or read.
int decodeFile(const char* name);

// The whole program: parses switches, decodes every named file, and returns
// the exit status.
int decodeMain(int argc, char** argv);

// What every view of the program says of the files it reads, and how it
// opens them.
#pragma once

#include <vector>

#include "zolt/zolt.h"

// "-" stands for standard input, read from where it stands; a file of that
// name is reached as "./-". Named files are mapped where the system allows
// it, which saves a copy of every byte: the program guards the mappings.
zolt::Input inputNamed(const char* name);

// Says why a file could not be read, after what was written of it; false
// when it could not.
bool told(const char* name, const zolt::Error& error);
void tellDamage(const char* name, const zolt::Damage& damage);

// The named files that a view reads: all but the regular files that hold
// nothing of this logger (a table of text, a picture: no header, no
// marker, nothing that salvage keeps), which are told ("FILE: not a record
// file of this logger") and make the status kExitFileFailed. A file that
// cannot be opened is kept, for the view to say why.
std::vector<char*> recordFilesAmong(const std::vector<char*>& names, int& status);

// A file that is also standard output would be read back as it is written,
// growing without end: it is refused, as cat refuses it.
bool isOutput(const char* name);

// No file named to a view: said, and the exit status.
int refuseNoInput();

// Standard output, where the report, the tables and the check go. A failed
// write ends the process: a report that silently lost lines is worse than
// none.
#pragma once

#include <string_view>

#include "zolt/error.h"
#include "zolt/sink.h"

// The sink the views write standard output through.
zolt::Sink& standardOutput();

// From now on every write to standard output fails as on a closed
// descriptor (EBADF): the program started without it.
void standardOutputWasClosed();

// Writes text that the program itself says (usage, version), or ends the
// process.
void say(std::string_view text);

// Ends the process after a failed write of standard output.
[[noreturn]] void failWrite(int error);

// Ends the process if `error` is a failed write.
void stopIfWriteFailed(const zolt::Error& error);


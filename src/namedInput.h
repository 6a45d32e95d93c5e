// How the views after the report read a named file: its records go to the
// view, and what went wrong goes to standard error.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "complain.h"
#include "decode.h"
#include "recordScanner.h"
#include "reportWriter.h"

// Hands the records of the named file ("-" for standard input) to `view`;
// false when the file could not be opened or read to its end. Standard
// output is flushed first, so the lines before the message come before it.
template <typename View>
bool scanNamedInput(const char* name, View& view) {
  const int fd = openInput(name);
  if (fd < 0) {
    reportOut().flush();
    complain("cannot open %s: %s", shownName(name).c_str(), std::strerror(errno));
    return false;
  }
  const int readError = scanRecords(fd, view);
  close(fd);
  if (readError != 0) {
    reportOut().flush();
    complain("cannot read %s: %s", shownName(name).c_str(), std::strerror(readError));
  }
  return readError == 0;
}

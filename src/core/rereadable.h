// Whether an input gives its bytes again when it is read a second time: a
// look at its start before the read (its first header, its first times)
// needs it, or the look takes those bytes from the read. Memory and files
// do; a descriptor does not, nor does a pipe, a FIFO or a device named by
// path (/dev/stdin, a shell's <(...)).
#pragma once

#include "zolt/input.h"

namespace zolt {

bool rereadable(const Input& input);

}  // namespace zolt

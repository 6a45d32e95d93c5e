// Whether the processor has the SSE4.1 lanes the vector loops of the views
// use. Asked once, when first needed: the compiler's own check asks the
// processor about everything at every start of the program, which costs a
// tenth of a millisecond on a virtual machine.
#pragma once

#if defined(__x86_64__)
#include <cpuid.h>

namespace zolt {

inline bool hasSse41() {
  static const bool has = [] {
    unsigned eax = 0;
    unsigned ebx = 0;
    unsigned ecx = 0;
    unsigned edx = 0;
    return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (ecx & bit_SSE4_1) != 0;
  }();
  return has;
}

}  // namespace zolt
#endif

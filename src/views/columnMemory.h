// The memory of a table's columns. A column grows as the rows come, and is
// handed over whole to a caller (numpy) that keeps it: so a large column is
// a mapping of its own, grown by remapping its pages instead of copying
// them, in huge pages where the system allows, and a small one comes from
// malloc. Each block keeps its own size in front of the values, so that it
// can be freed knowing only where its values begin.
#pragma once

#include <cstddef>

namespace zolt {

// Room for `bytes` of values, uninitialised; nullptr when there is none.
void* allocateColumn(size_t bytes);
// The same values with room for `bytes`, perhaps moved; nullptr (and the
// block as it was) when there is no room.
void* resizeColumn(void* values, size_t bytes);
// freeColumnBlock (zolt/tables.h) gives it back.

// Whether room asked for and never written costs address space only, so
// that a column may be given room for the most rows it could take.
bool reservingIsCheap();

}  // namespace zolt

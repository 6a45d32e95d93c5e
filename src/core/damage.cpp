// The words for damage, which every output uses.
#include <algorithm>
#include <iterator>

#include "zolt/records.h"

namespace zolt {

namespace {

std::string counted(uint64_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

}  // namespace

std::string unknownBytesNote(uint64_t count, uint64_t firstOffset) {
  return counted(count, "byte", "bytes") + " of unknown record type, the first at offset " + std::to_string(firstOffset);
}

std::string cutRecordNote(uint8_t type, size_t size, uint64_t offset) {
  return "record of type " + std::to_string(type) + " cut short at offset " + std::to_string(offset) + " (" +
         std::to_string(size) + " bytes there), not written";
}

std::string skippedNote(uint64_t offset, uint64_t size) {
  return "skipped " + counted(size, "byte", "bytes") + " at offset " + std::to_string(offset) +
         ": no records there sit on the file's framing";
}

std::string unwrittenNote(uint64_t size, uint64_t offset) {
  return counted(size, "zero byte", "zero bytes") + " at offset " + std::to_string(offset) + ": unwritten";
}

std::vector<std::string> damageNotes(const Damage& damage) {
  std::vector<std::string> notes;
  if (damage.unknownBytes > 0) notes.push_back(unknownBytesNote(damage.unknownBytes, damage.firstUnknownOffset));
  if (damage.cutSize > 0) notes.push_back(cutRecordNote(damage.cutType, damage.cutSize, damage.cutOffset));
  std::transform(damage.skipped.begin(), damage.skipped.end(), std::back_inserter(notes),
                 [](const Stretch& stretch) { return skippedNote(stretch.offset, stretch.size); });
  if (damage.skippedStretches > damage.skipped.size()) {
    notes.push_back("and " + counted(damage.skippedStretches - damage.skipped.size(), "stretch", "stretches") +
                    " more skipped, " + counted(damage.skippedBytes, "byte", "bytes") + " in all");
  }
  if (damage.unwrittenBytes > 0) notes.push_back(unwrittenNote(damage.unwrittenBytes, damage.unwrittenOffset));
  return notes;
}

}  // namespace zolt

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

std::vector<std::string> damageNotes(const Damage& damage) {
  std::vector<std::string> notes;
  if (damage.unknownBytes > 0) {
    notes.push_back(counted(damage.unknownBytes, "byte", "bytes") + " of unknown record type, the first at offset " +
                    std::to_string(damage.firstUnknownOffset));
  }
  if (damage.cutSize > 0) {
    notes.push_back("record of type " + std::to_string(damage.cutType) + " cut short at offset " +
                    std::to_string(damage.cutOffset) + " (" + std::to_string(damage.cutSize) + " of " +
                    std::to_string(recordSize(damage.cutType)) + " bytes), not written");
  }
  std::transform(damage.skipped.begin(), damage.skipped.end(), std::back_inserter(notes), [](const Stretch& stretch) {
    return "skipped " + counted(stretch.size, "byte", "bytes") + " at offset " + std::to_string(stretch.offset) +
           ": no records there sit on the file's framing";
  });
  if (damage.skippedStretches > damage.skipped.size()) {
    notes.push_back("and " + counted(damage.skippedStretches - damage.skipped.size(), "stretch", "stretches") +
                    " more skipped, " + counted(damage.skippedBytes, "byte", "bytes") + " in all");
  }
  if (damage.unwrittenBytes > 0) {
    notes.push_back(counted(damage.unwrittenBytes, "zero byte", "zero bytes") + " at offset " +
                    std::to_string(damage.unwrittenOffset) + ": unwritten");
  }
  return notes;
}

}  // namespace zolt

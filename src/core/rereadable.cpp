#include "core/rereadable.h"

#include "core/fileSystem.h"

namespace zolt {

bool rereadable(const Input& input) {
  switch (input.kind()) {
    case Input::Kind::kMemory: return true;
    case Input::Kind::kDescriptor: return false;
    case Input::Kind::kPath:
    case Input::Kind::kMappedPath: break;
  }
  // A name that cannot be opened fails every read of it alike.
  const FileKind kind = fileStatus(input.pathName()).kind;
  return kind != FileKind::kPipe && kind != FileKind::kDevice && kind != FileKind::kOther;
}

}  // namespace zolt

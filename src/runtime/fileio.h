#pragma once

#include <string>
#include <string_view>

namespace zj {

// The whole file as bytes. Raises EFOpenError "Cannot open file %s" when the
// file cannot be opened or read.
std::string ReadFileBytes(const std::string& fileName);

// Replaces the file's content with data so that a failure never destroys the
// old file: the bytes go to a temporary file beside the target, every write is
// checked, the file reaches the disk, and only then is it renamed over the
// target. The target keeps its permissions; a symbolic link stays a link and
// its target is updated. Where no temporary file can be made beside the target
// (a read-only folder holding a writable file) the file is written in place.
// Raises EFCreateError "Cannot create file %s" when the file cannot be created,
// EWriteError "Failed to Save Stream" when writing it fails.
void WriteFileSafely(const std::string& fileName, std::string_view data);

} // namespace zj

#pragma once

#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zj {

class TContentHash;

// The whole file as bytes. Raises EFOpenError "Cannot open file %s" when the
// file cannot be opened or read, or is not a regular file (a FIFO could block
// for ever, a device never end).
std::string ReadFileBytes(const std::string& fileName);

// Reads the file a piece at a time, so that a large file is never held
// whole: hands every piece, in order, to take. Every piece but the last is
// chunkSize bytes long; an empty file gives none. Opens only what
// ReadFileBytes opens and raises the same EFOpenError when the file cannot
// be opened or a read fails (after the pieces read before it).
void ReadFileChunks(const std::string& fileName, std::size_t chunkSize,
                    const std::function<void(std::string_view)>& take);

// ReadFileBytes without raising: 0, or the errno value that says why the file
// was not read (EISDIR for a folder, EINVAL for any other special file).
// Reads no more than the first maxSize bytes.
int ReadRegularFile(const std::string& fileName, std::string& data, std::size_t maxSize = std::string::npos);

// How a save writes the line breaks of its bytes.
enum class TLineBreaks {
    Keep,
    // Every line break (CR LF, a lone CR, a lone LF) becomes CR LF, or LF,
    // converted a piece at a time on the way to the file, never in a copy of
    // the whole.
    CrLf,
    Lf,
};

// Replaces the file's content with data so that a failure never destroys the
// old file: the bytes go to a temporary file beside the target, every write is
// checked, the file reaches the disk, and only then is it renamed over the
// target. The target keeps its permissions, owner and group; a symbolic link
// stays a link and its target is updated. Where a rename would change the file
// for others (a read-only folder holding a writable file, an owner or group the
// new file could not have, several hard links) the file is written in place,
// with its old content kept in the cache folder until the new content is on
// disk. Raises EFCreateError "Cannot create file %s" when the file cannot be
// created or is not a regular file, EWriteError "Failed to Save Stream" when
// writing it fails (naming where the old content is kept when it could not be
// put back).
void WriteFileSafely(const std::string& fileName, std::string_view data, TLineBreaks breaks = TLineBreaks::Keep);
// The same with data in pieces, written one after the other (as a text
// control holds its text on either side of its gap). The bytes written are
// added to written when it is given.
void WriteFileSafely(const std::string& fileName, std::span<const std::string_view> data, TLineBreaks breaks,
                     TContentHash* written = nullptr);

// A save in place that ended half way (the saving process was killed, or
// could not put the old content back), as a later reading, save or start
// found it.
struct TInterruptedSave {
    std::string FileName;
    // Empty when the old content was put back. Otherwise where it is kept,
    // and why it was not put back: the file is no longer as the save left it,
    // or the copy is not whole. The file itself is then not touched.
    std::string KeptIn;
    std::string Reason;
};

// Deals with every save in place that ended half way, returns them, and tells
// the notice of each. The old content is put back only when the file is
// exactly as that save left it and the copy is whole. Only the journals of
// the running user, in a folder of the user's own, are read. Reading and
// saving a file run it first; the program also runs it at start-up. Never
// raises for file-system errors.
std::vector<TInterruptedSave> RecoverInterruptedSaves();
void SetInterruptedSaveNotice(std::function<void(const TInterruptedSave&)> notice);

} // namespace zj

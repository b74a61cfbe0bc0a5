// Checked writes of the program's logs and result files.
//
// Every log stream is registered with its path when it is opened. A write
// goes through CheckedWrite, which writes and flushes the bytes exactly as
// given and, when the file system refuses them (a full disk, a quota, an I/O
// error), notes the failure. The first failure of each file is passed to the
// listener (the host tells the user); later ones only count. A file that is
// rewritten whole goes through ReplaceFile: the old copy is replaced only by
// a complete new one.
#pragma once

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace platform {

// A write the file system refused: the file and the errno of the call.
struct WriteFailure {
  std::string path;
  int error = 0;
  bool whole_file = false;  // a ReplaceFile: the previous copy is kept
};

// Registers an open stream under its path (nothing for a null stream).
void TrackFile(std::FILE* fp, const std::string& path);
// Writes the bytes and flushes the stream. False when the stream is null or
// refused them; a tracked stream's failure is noted.
bool CheckedWrite(std::FILE* fp, const void* data, std::size_t size);
// Writes and flushes without noting anything: 0, or the errno of the failure.
int WriteAndFlush(std::FILE* fp, const void* data, std::size_t size);
// Notes a failure of a tracked stream (for writers that hold a lock of their
// own while writing and must tell the listener after releasing it).
void NoteWriteError(std::FILE* fp, int error);
// Closes the stream, noting a failed close, and forgets it. False when the
// close failed; nothing for a null stream.
bool CloseTrackedFile(std::FILE* fp);

// Writes bytes as the whole new content of path: into "<path>.tmp", every
// write checked, flushed, synced and closed, then renamed over path. On any
// failure the temporary file is removed, path is left as it was, the failure
// is noted under path (unless the temporary file could not be created for
// another reason than a full disk) and its errno returned; 0 on success.
int ReplaceFile(const std::string& path, const std::string& bytes);

// The paths of the open tracked streams that lost a write, in the order of
// their first failure.
std::vector<std::string> IncompleteOpenFiles();
// Every file that lost a write since the program started (or the last
// ResetWriteFailures), in order, once each.
std::vector<WriteFailure> WriteFailures();
// Forgets every noted failure (tests; a new program start).
void ResetWriteFailures();

// Receives the first failure of each file, on the thread that wrote, with no
// lock of this module held. Returns the listener it replaces.
using WriteFailureListener = std::function<void(const WriteFailure&)>;
WriteFailureListener SetWriteFailureListener(WriteFailureListener listener);

// The seam for tests: asked before every write with the path of the stream
// (empty when untracked, the final path for ReplaceFile) and the size; a
// non-zero errno fails the write without writing anything. Null: none.
using WriteFault = std::function<int(const std::string& path, std::size_t size)>;
WriteFault SetWriteFault(WriteFault fault);

// The sentence for the user: which file, why, and what to do.
std::string WriteFailureSentence(const WriteFailure& failure);

}  // namespace platform

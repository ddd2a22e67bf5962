// Files replaced in one step. The new contents go to a temporary file beside the old one, are
// flushed to the disk and only then renamed over it, so a crash, a power cut or a full disk in
// the middle of a write leaves either the old file or the new one, never half of either.
#pragma once
#include <cstddef>

// Replaces (or creates) the file at `path` with `size` bytes. The temporary file is `path` with
// ".tmp" added (one left by a crash is replaced); after the rename the folder is flushed too, so
// the rename itself is kept. False,
// logged, when any step fails: `path` is then untouched and the temporary file is removed.
bool WriteFileAtomically(const char* path, const void* bytes, size_t size);

// Copies the regular file at `from` to `to` the same way, streamed, whatever its size. False,
// logged, when `from` cannot be read or `to` cannot be written.
bool CopyFileAtomically(const char* from, const char* to);

// For tests: while true, every write above stops after its bytes are flushed and before the
// rename, as an interrupted save would, and reports failure.
extern bool atomicWriteFailsBeforeRename;

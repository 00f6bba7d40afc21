#pragma once
// Writes a file so that readers only ever see the old file or the complete
// new one: the data go to a temporary file in the same folder, which replaces
// the target by a rename only when everything was written. An interrupted or
// failed write leaves the old file (or no file) untouched.
//
// A symbolic link is written through: the new file is made in the folder of
// the link's target and replaces the target, the link stays. A device, FIFO
// or socket is not replaced but written in place when committed (what it
// receives cannot be taken back). A folder is refused.
//
// A program ended by a signal does not run destructors: its handler calls
// removeTemporaryFiles() so that no temporary file is left either.

#include <cstdio>
#include <string>

namespace quorra {

class AtomicFileWriter {
 public:
  // Creates the temporary file beside path. On failure ok() is false and
  // error() holds the system's error text.
  explicit AtomicFileWriter(const std::string& path);
  ~AtomicFileWriter();  // removes the temporary file unless committed
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  bool ok() const { return (file_ != nullptr || direct_) && error_.empty(); }
  const std::string& error() const { return error_; }
  // The temporary file; null for a target written in place.
  std::FILE* stream() { return file_; }

  bool write(const std::string& text);
  // Flushes, closes and renames onto the target. False (with error()) when
  // any write failed or the rename did not succeed; the target is then
  // unchanged. A target written in place receives the text now.
  bool commit();
  // Drops the temporary file; the target is unchanged.
  void abandon();

 private:
  bool commitInPlace();

  std::string path_;  // the file replaced: the target of a link
  std::string temporaryPath_;
  std::FILE* file_ = nullptr;
  std::string error_;
  bool committed_ = false;
  bool direct_ = false;  // a device, FIFO or socket, written in place
  std::string pending_;  // what it receives on commit
  int slot_ = -1;        // of the temporary file in the list removeTemporaryFiles() reads
};

// Removes the temporary files of every AtomicFileWriter not yet committed or
// abandoned. Async-signal-safe: for a signal handler that ends the program.
void removeTemporaryFiles();

// Writes text to path through an AtomicFileWriter; returns the system's error
// text on failure, an empty string on success.
std::string writeFileAtomically(const std::string& path, const std::string& text);

}  // namespace quorra

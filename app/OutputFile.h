// Where the model goes: standard output, or -o FILE.
//
// A regular file (or a path that does not exist yet) is written to a
// temporary file beside it and renamed over it once complete, so a failed
// or cancelled run never leaves a half-written or emptied file behind. An
// existing path that is not a regular file (a device such as /dev/null, a
// pipe) is written to directly. A symbolic link is followed: the file it
// points to is replaced, the link stays.
//
// Every write is carried to its end: one that a signal interrupts or a
// slow reader cuts short is continued, so a Ctrl-C while the model goes to
// a pipe neither truncates it nor fails the run.
//
// Thread safety: the main thread only.
#pragma once

#include <schemaimport/PluginApi.h>

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace app {

enum class WriteOutcome {
  Written,    // the whole model is where it should be
  Failed,     // the write failed; the reason is in error, a regular file is left as it was
  Cancelled,  // a Ctrl-C came while nothing was yet written that could not be taken back; nothing written
};

class OutputFile {
 public:
  // path: empty or "-" for standard output.
  explicit OutputFile(std::string path);

  bool IsStandardOutput() const { return m_path.empty() || m_path == "-"; }
  const std::string& Path() const { return m_path; }

  // Checks, before a long import, that the target can be written: a
  // directory, a missing parent or a parent without write permission fail
  // here with the reason in error. Leaves nothing behind.
  bool Check(std::string& error) const;

  // Whether the model would go to a terminal: standard output is one, or
  // the path names one (/dev/tty). Output formats that are not read on a
  // terminal are refused there.
  bool IsTerminal() const;

  // The input the model would be written over, or nothing. The output is
  // an input when both are the same file (same device and inode, whichever
  // symbolic or hard link leads there) or, while one of them does not
  // exist, when both resolve to the same path. Standard output counts when
  // it is redirected to an input file.
  const QmInputFile* FindOverwritten(const std::vector<QmInputFile>& inputs) const;

  // Writes the text the writer produces.
  //
  // A Ctrl-C (signals::InterruptCount) seen before the writing starts, or,
  // for a regular file, before the complete temporary file replaces the
  // target, cancels: nothing is written. Once text has gone to standard
  // output, a pipe or a device, which cannot be taken back, the writing
  // goes on to the end. On failure the reason is in error.
  WriteOutcome Write(const std::function<void(std::ostream&)>& writer, std::string& error) const;

 private:
  // The file to replace: the path with symbolic links resolved when it
  // exists, else the path itself.
  std::string TargetPath() const;

  std::string m_path;  // as given on the command line
};

}  // namespace app

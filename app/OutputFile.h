// Where the model goes: standard output, or -o FILE.
//
// A regular file (or a path that does not exist yet) is written to a
// temporary file beside it and renamed over it once complete, so a failed
// or cancelled run never leaves a half-written or emptied file behind. An
// existing path that is not a regular file (a device such as /dev/null, a
// pipe) is written to directly. A symbolic link is followed: the file it
// points to is replaced, the link stays.
//
// Thread safety: the main thread only.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

namespace app {

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

  // Writes the text the writer produces. On failure returns false with
  // the reason in error; the target is left as it was when it is a
  // regular file.
  bool Write(const std::function<void(std::ostream&)>& writer, std::string& error) const;

 private:
  // The file to replace: the path with symbolic links resolved when it
  // exists, else the path itself.
  std::string TargetPath() const;

  std::string m_path;  // as given on the command line
};

}  // namespace app

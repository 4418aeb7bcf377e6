// Where a documentation folder goes: -o DIR/ (or -o DIR naming a folder)
// with a format that writes one (writers::ModelWriter::WritesFolder).
//
// The folder is written beside its place, as a hidden folder, and put in
// place only once complete, so a failed or cancelled run leaves the old
// folder as it was. A folder that is there already is replaced only when
// it is empty or holds nothing but what an earlier run wrote, unchanged:
// each run leaves a list of the files it wrote with a hash of each
// (kManifestName), and a folder with any other file, a file changed since,
// a link or a folder of its own is refused, so nothing of the user's is
// lost.
//
// Thread safety: the main thread only.
#pragma once

#include "OutputFile.h"

#include <writers/ModelWriter.h>

#include <string>

namespace app {

// The list of the files a run wrote, in the folder it wrote.
inline constexpr const char* kManifestName = ".quillmere-files";

class OutputFolder {
 public:
  // path as given to -o, a trailing '/' or not.
  explicit OutputFolder(std::string path);

  // Whether -o names a folder: it ends with '/', or is an existing
  // directory (or a link to one).
  static bool NamesFolder(const std::string& path);

  // Checks, before a long import, that the folder may be written: its
  // parent exists and can be written to, and the folder is missing, empty,
  // or holds only what an earlier run wrote. Leaves nothing behind.
  bool Check(std::string& error) const;

  // Writes the folder with the writer, then puts it in place. A Ctrl-C
  // before the folder is in place cancels: nothing is changed.
  WriteOutcome Write(const std::function<void(writers::FolderOutput&)>& writer, std::string& error) const;

 private:
  std::string m_path;    // as given, without trailing '/'
};

}  // namespace app

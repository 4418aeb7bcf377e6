// quillmere-import as the unprivileged user nobody can run it, for the
// tests that need a file root could read anyway.
#pragma once

#include <Subprocess.h>
#include <TempDir.h>

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace qm::test::hardening {

namespace fs = std::filesystem;

// quillmere-import as another user can run it: the executable and the
// libraries beside it, copied into a folder anyone may enter. The build
// folder may be in a checkout only its owner can enter (root's home, a
// mode 700 folder), where the other user could load none of them.
class StagedHost {
 public:
  StagedHost() {
    const fs::path built = fs::path(QM_IMPORT_EXE);
    const fs::path bin = fs::path(m_dir.Path("bin"));
    const fs::path lib = fs::path(m_dir.Path("lib"));
    fs::create_directories(bin);
    fs::create_directories(lib);
    fs::copy_file(built, bin / built.filename());
    // The host loads the module and the plug-ins from ../lib beside itself.
    for (const fs::directory_entry& entry : fs::directory_iterator(built.parent_path().parent_path() / "lib"))
      if (entry.path().filename().string().find(".so") != std::string::npos)
        fs::copy(entry.path(), lib / entry.path().filename(), fs::copy_options::copy_symlinks);
    // Readable and runnable by anyone, whatever the umask the build ran under.
    std::vector<fs::path> paths = {fs::path(m_dir.Path()), bin, lib, bin / built.filename()};
    for (const fs::directory_entry& entry : fs::directory_iterator(lib))
      if (!entry.is_symlink()) paths.push_back(entry.path());
    for (const fs::path& path : paths)
      fs::permissions(path, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                fs::perms::others_read | fs::perms::others_exec);
    m_program = (bin / built.filename()).string();
  }

  // The staged executable.
  const std::string& Program() const { return m_program; }
  // Where the dynamic loader must look for the libraries it links: the
  // build's run path names the build folder.
  std::string LibraryPath() const { return m_dir.Path("lib"); }

 private:
  TempDir m_dir;          // the staging folder, mode 755
  std::string m_program;  // bin/quillmere-import in it
};

// The arguments that run program as the unprivileged user nobody.
inline std::vector<std::string> AsNobody(const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> all = {"--reuid=65534", "--regid=65534", "--clear-groups", "--", program};
  all.insert(all.end(), args.begin(), args.end());
  return all;
}

// Runs the built host with the arguments, or, when the test runs as root,
// a staged copy of it as nobody.
inline ProcessResult RunHostAsNobody(const std::vector<std::string>& args, ProcessOptions options = {}) {
  if (::geteuid() != 0) return RunProcess(QM_IMPORT_EXE, args, options);
  EXPECT_EQ(::access("/usr/bin/setpriv", X_OK), 0) << "running as root needs /usr/bin/setpriv";
  static const StagedHost staged;
  options.environment["LD_LIBRARY_PATH"] = staged.LibraryPath();
  options.environment["QM_LIB_DIR"] = staged.LibraryPath();
  return RunProcess("/usr/bin/setpriv", AsNobody(staged.Program(), args), options);
}

}  // namespace qm::test::hardening

// The exit codes of quillmere-import, as the README documents them.
#pragma once

namespace app {

constexpr int kExitOk = 0;              // imported
constexpr int kExitUsage = 2;           // the command line is wrong
constexpr int kExitConnectFailed = 3;   // could not connect to the database
constexpr int kExitFailure = 4;         // anything else: module or plug-in missing, output not writable...
constexpr int kExitImportErrors = 5;    // written, but incomplete: some statements failed, or texts left out of the output
constexpr int kExitCancelled = 130;     // cancelled (Ctrl-C or the connection form); nothing written

}  // namespace app

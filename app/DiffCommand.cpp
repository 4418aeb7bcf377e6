#include "DiffCommand.h"

#include "Console.h"
#include "ExitCodes.h"
#include "OutputFile.h"

#include <tillerhold/GenericModel.h>
#include <writers/ModelDiff.h>
#include <writers/OutputFormats.h>

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <system_error>

namespace app {

namespace {

// The exit code for models that differ; 0 (kExitOk) when they agree.
constexpr int kExitDifferent = 1;

// A saved model is what the format that can be read back writes (json):
// the first format of the table with a reader.
const writers::ModelReader* SavedModelReader() {
  for (const writers::OutputFormat& format : writers::OutputFormats())
    if (format.reader != nullptr) return format.reader;
  return nullptr;
}

int ReadSavedModel(const DiffSide& side, std::istream& in, GenericModel& model, std::string& error) {
  const writers::ModelReader* reader = SavedModelReader();
  if (reader == nullptr) {
    error = "this build has no format that reads a saved model";
    return kExitFailure;
  }
  try {
    reader->Read(in, model);
  } catch (const writers::ReadError& e) {
    error = side.label + " (" + (side.path == "-" ? std::string("standard input") : side.path) +
            ") is not a saved model: " + e.what();
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

int LoadSide(const DiffSide& side, GenericModel& model, std::string& error) {
  if (side.path == "-") return ReadSavedModel(side, std::cin, model, error);
  std::error_code code;
  if (std::filesystem::is_directory(side.path, code)) {
    error = side.label + " (" + side.path + ") is a folder, not a saved model";
    return kExitFailure;
  }
  std::ifstream in(side.path, std::ios::binary);
  if (!in) {
    error = "cannot read " + side.label + " (" + side.path + "): " + std::strerror(errno);
    return kExitFailure;
  }
  return ReadSavedModel(side, in, model, error);
}

int RunDiff(int argc, char** argv) {
  CLI::App cli{
      "Compares two models and prints what was added, removed and changed, object by object\n"
      "(matched by kind, parent and name) and property by property.",
      "quillmere-import diff"};
  cli.get_formatter()->column_width(30);
  DiffSide before{"OLD", {}};
  DiffSide after{"NEW", {}};
  cli.add_option("OLD", before.path, "The model before: a file the json format wrote ('-' for standard input)")
      ->required();
  cli.add_option("NEW", after.path, "The model after, likewise")->required();
  std::string format = "text";
  cli.add_option("--format", format, "text: for people; json: for programs")
      ->type_name("FORMAT")
      ->check(CLI::IsMember({"text", "json"}))
      ->capture_default_str();
  std::string outputPath;
  cli.add_option("-o,--output", outputPath, "Write the differences to FILE instead of standard output")
      ->type_name("FILE");
  cli.footer(
      "Exit codes: 0 the models agree; 1 they differ; 2 usage error; 4 a model cannot be read\n"
      "or the output cannot be written.");
  try {
    cli.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    std::cout << cli.help();
    return kExitOk;
  } catch (const CLI::ParseError& e) {
    std::fprintf(stderr, "error: %s\n", e.what());
    std::fprintf(stderr, "Run 'quillmere-import diff --help' for the options.\n");
    return kExitUsage;
  }

  Console console(stderr, ::isatty(STDERR_FILENO) != 0, false);
  if (before.path == "-" && after.path == "-") {
    console.Error("only one of OLD and NEW can be standard input");
    return kExitUsage;
  }
  const OutputFile output(outputPath);
  std::string error;
  if (!output.Check(error)) {
    console.Error(error);
    return kExitFailure;
  }
  GenericModel oldModel;
  GenericModel newModel;
  for (auto [side, model] : {std::pair{&before, &oldModel}, std::pair{&after, &newModel}}) {
    if (const int code = LoadSide(*side, *model, error); code != kExitOk) {
      console.Error(error);
      return code;
    }
  }
  const writers::ModelDifference difference = writers::DiffModels(oldModel, newModel);
  const WriteOutcome written = output.Write(
      [&](std::ostream& out) {
        if (format == "json")
          writers::WriteDifferenceJson(difference, out);
        else
          writers::WriteDifferenceText(difference, out);
      },
      error);
  if (written != WriteOutcome::Written) {
    if (written == WriteOutcome::Failed) console.Error(error);
    return written == WriteOutcome::Failed ? kExitFailure : kExitCancelled;
  }
  return difference.Empty() ? kExitOk : kExitDifferent;
}

}  // namespace app

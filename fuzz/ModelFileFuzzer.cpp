// libFuzzer target for the saved model's reader. A saved model is read by
// two readings: a quick one over a validating parser's tape, and, for
// anything the quick one does not take as plainly, a thorough one over a
// document tree that says what is wrong. Each input checks that they agree:
//
//   quick took it     the thorough reading takes it too and builds the same
//                     model (compared as the JSON the model library writes)
//   quick refused it  the model is left as it was (its root alone, without
//                     properties), so the thorough reading starts clean
//   either took it    the model written back and read again is the same model
//                     (the writer's form is a fixed point of the reader)
//
// Only ReadError may leave the thorough reading; anything else escapes and
// counts as a crash. A broken property aborts, so libFuzzer keeps the input.
//
// The readings live in the reader's own translation unit, so it is built
// into this one.
#include "../writers/src/JsonReader.cpp"

#include <tillerhold/ModelJson.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

void Fail(const char* what, const std::string& detail) {
  std::fprintf(stderr, "model file fuzzer: %s\n%s\n", what, detail.c_str());
  std::abort();
}

// The model the thorough reading makes of the text, as JSON; none when it
// refuses the text.
std::optional<std::string> Thoroughly(const std::string& text) {
  GenericModel model;
  try {
    writers::ReadThoroughly(text, model);
  } catch (const writers::ReadError&) {
    return std::nullopt;
  }
  return model::WriteJson(model, 2);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  GenericModel quick;
  std::string quickText = text;  // the quick reading may pad its input
  const bool quickTook = writers::ReadQuickly(quickText, quick);
  const std::optional<std::string> thorough = Thoroughly(text);

  if (quickTook) {
    const std::string written = model::WriteJson(quick, 2);
    if (!thorough) Fail("the quick reading took a file the thorough one refuses", text);
    if (*thorough != written) Fail("the two readings built different models", text + "\n--- quick\n" + written +
                                                                                "\n--- thorough\n" + *thorough);
  } else if (quick.GetObjectCount() != 1 || !quick.GetCMOObject()->GetProperties().empty()) {
    Fail("the quick reading refused a file but left objects behind", text);
  }

  if (thorough) {
    GenericModel again;
    std::string rewritten = *thorough;
    if (!writers::ReadQuickly(rewritten, again)) Fail("the quick reading refused the writer's own form", *thorough);
    if (model::WriteJson(again, 2) != *thorough)
      Fail("a model written back reads as another model", *thorough + "\n--- read again\n" + model::WriteJson(again, 2));
  }
  return 0;
}

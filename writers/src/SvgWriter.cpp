#include "Diagram.h"
#include "ModelIndex.h"

#include <writers/SvgWriter.h>

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

#include <memory>
#include <mutex>
#include <ostream>

namespace writers {

namespace {

// Graphviz keeps its error handler, its error count and parts of its layout
// state in globals: one layout at a time, under this lock.
std::mutex& GraphvizLock() {
  static std::mutex lock;
  return lock;
}

// Messages Graphviz gives while the lock is held; its handler has no
// user argument, so it writes here.
std::string* g_messages = nullptr;

int CollectMessage(char* text) {
  if (g_messages != nullptr && text != nullptr && g_messages->size() < 4096) *g_messages += text;
  return 0;
}

// The first line of what Graphviz said, for a WriteError.
std::string FirstLine(const std::string& text) {
  std::string line = text.substr(0, text.find('\n'));
  return line.empty() ? std::string("no reason given") : line;
}

// One Graphviz context for the process, made on first use (under the
// lock) and never freed. Graphviz's text-layout plug-in keeps the font it
// measured last in a static that points into the context's tables: freeing
// a context and making another leaves it reading freed memory (Graphviz
// 2.42, seen under AddressSanitizer). Null when Graphviz cannot start.
GVC_t* Context() {
  static GVC_t* const context = gvContext();
  return context;
}

struct GraphDeleter {
  void operator()(Agraph_t* graph) const { agclose(graph); }
};

// Lays the graph out and renders it as SVG. Throws WriteError when
// Graphviz refuses it (which a graph of this writer's making should never
// give it cause to).
std::string RenderSvg(const std::string& dot, const char* engine) {
  std::lock_guard<std::mutex> lock(GraphvizLock());
  std::string messages;
  g_messages = &messages;
  const agusererrf previousHandler = agseterrf(CollectMessage);
  // Warnings (a font not found, a label that is too wide) change nothing
  // in the picture; only errors are reported.
  const agerrlevel_t previousLevel = agseterr(AGERR);
  struct Restore {
    agusererrf handler;
    agerrlevel_t level;
    ~Restore() {
      agseterrf(handler);
      agseterr(level);
      agreseterrors();
      g_messages = nullptr;
    }
  } restore{previousHandler, previousLevel};

  GVC_t* const context = Context();
  if (context == nullptr) throw WriteError("Graphviz could not start (no memory for its context)");
  const std::unique_ptr<Agraph_t, GraphDeleter> graph(agmemread(dot.c_str()));
  if (!graph) throw WriteError("Graphviz could not read the diagram: " + FirstLine(messages));
  if (gvLayout(context, graph.get(), engine) != 0)
    throw WriteError(std::string("Graphviz could not lay out the diagram with ") + engine + ": " + FirstLine(messages));
  char* data = nullptr;
  unsigned int length = 0;
  const int rendered = gvRenderData(context, graph.get(), "svg", &data, &length);
  std::string svg = rendered == 0 && data != nullptr ? std::string(data, length) : std::string();
  if (data != nullptr) gvFreeRenderData(data);
  gvFreeLayout(context, graph.get());
  if (rendered != 0 || svg.empty())
    throw WriteError("Graphviz could not draw the diagram as SVG: " + FirstLine(messages));
  return svg;
}

}  // namespace

void SvgWriter::Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const {
  const ModelIndex index(model);
  const Diagram diagram = BuildDiagram(index, options);
  if (!CanLayOut(diagram)) throw WriteError(LayoutRefusal(diagram));
  const std::string svg = RenderSvg(DiagramDot(index, diagram), DiagramLayoutEngine(diagram));
  out.write(svg.data(), static_cast<std::streamsize>(svg.size()));
  if (svg.back() != '\n') out.put('\n');
}

}  // namespace writers

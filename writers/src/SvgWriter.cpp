#include "Diagram.h"
#include "ModelIndex.h"

#include <writers/SvgWriter.h>

#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>
#include <graphviz/types.h>

#include <dlfcn.h>

#include <cstdlib>

#include <memory>
#include <mutex>
#include <ostream>
#include <string>

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

// Graphviz's libraries, opened the first time a diagram is drawn. Linked
// with the writers they would be mapped and linked at every start of every
// host, seven libraries for one output format, and on a small database that
// is a good part of the command line's run. Opened once and never closed:
// the context below outlives every diagram.
struct Graphviz {
  decltype(&::gvContext) context = nullptr;
  decltype(&::gvLayout) layout = nullptr;
  decltype(&::gvFreeLayout) freeLayout = nullptr;
  decltype(&::agmemread) memread = nullptr;
  decltype(&::agnode) node = nullptr;
  decltype(&::agclose) close = nullptr;
  decltype(&::agseterr) seterr = nullptr;
  decltype(&::agseterrf) seterrf = nullptr;
  decltype(&::agreseterrors) reseterrors = nullptr;
  std::string failure;  // why Graphviz could not be opened; empty when it was
};

template <typename Function>
void Bind(void* library, const char* soname, const char* name, Function& function, std::string& failure) {
  if (!failure.empty()) return;
  void* const symbol = ::dlsym(library, name);
  if (symbol == nullptr) failure = std::string(soname) + " has no " + name;
  function = reinterpret_cast<Function>(symbol);
}

Graphviz OpenGraphviz() {
  Graphviz graphviz;
  void* const cgraph = ::dlopen(QM_CGRAPH_SONAME, RTLD_NOW | RTLD_LOCAL);
  void* const gvc = cgraph == nullptr ? nullptr : ::dlopen(QM_GVC_SONAME, RTLD_NOW | RTLD_LOCAL);
  if (gvc == nullptr) {
    const char* reason = ::dlerror();
    graphviz.failure = reason != nullptr ? reason : "Graphviz's libraries could not be opened";
    return graphviz;
  }
  std::string& failure = graphviz.failure;
  Bind(gvc, QM_GVC_SONAME, "gvContext", graphviz.context, failure);
  Bind(gvc, QM_GVC_SONAME, "gvLayout", graphviz.layout, failure);
  Bind(gvc, QM_GVC_SONAME, "gvFreeLayout", graphviz.freeLayout, failure);
  Bind(cgraph, QM_CGRAPH_SONAME, "agmemread", graphviz.memread, failure);
  Bind(cgraph, QM_CGRAPH_SONAME, "agnode", graphviz.node, failure);
  Bind(cgraph, QM_CGRAPH_SONAME, "agclose", graphviz.close, failure);
  Bind(cgraph, QM_CGRAPH_SONAME, "agseterr", graphviz.seterr, failure);
  Bind(cgraph, QM_CGRAPH_SONAME, "agseterrf", graphviz.seterrf, failure);
  Bind(cgraph, QM_CGRAPH_SONAME, "agreseterrors", graphviz.reseterrors, failure);
  return graphviz;
}

// Under the lock; opened on the first call.
const Graphviz& Libraries() {
  static const Graphviz graphviz = OpenGraphviz();
  return graphviz;
}

// One Graphviz context for the process, made on first use (under the
// lock) and never freed. Graphviz's text-layout plug-in keeps the font it
// measured last in a static that points into the context's tables: freeing
// a context and making another leaves it reading freed memory (Graphviz
// 2.42, seen under AddressSanitizer). Null when Graphviz cannot start.
GVC_t* Context(const Graphviz& graphviz) {
  static GVC_t* const context = graphviz.context();
  return context;
}

struct GraphDeleter {
  const Graphviz* graphviz;
  void operator()(Agraph_t* graph) const { graphviz->close(graph); }
};

}  // namespace

LaidOutGraph LayOut(const std::string& dot, const char* engine, std::size_t nodes) {
  std::lock_guard<std::mutex> lock(GraphvizLock());
  const Graphviz& graphviz = Libraries();
  if (!graphviz.failure.empty()) throw WriteError("Graphviz could not be loaded: " + graphviz.failure);
  std::string messages;
  g_messages = &messages;
  const agusererrf previousHandler = graphviz.seterrf(CollectMessage);
  // Warnings change nothing in the layout; only errors are reported.
  const agerrlevel_t previousLevel = graphviz.seterr(AGERR);
  struct Restore {
    const Graphviz& graphviz;
    agusererrf handler;
    agerrlevel_t level;
    ~Restore() {
      graphviz.seterrf(handler);
      graphviz.seterr(level);
      graphviz.reseterrors();
      g_messages = nullptr;
    }
  } restore{graphviz, previousHandler, previousLevel};

  GVC_t* const context = Context(graphviz);
  if (context == nullptr) throw WriteError("Graphviz could not start (no memory for its context)");
  const std::unique_ptr<Agraph_t, GraphDeleter> graph(graphviz.memread(dot.c_str()), GraphDeleter{&graphviz});
  if (!graph) throw WriteError("Graphviz could not read the diagram: " + FirstLine(messages));
  // The force-directed engines start from random places, from the C
  // library's generators; seeded alike for every layout, the same graph is
  // laid out the same way whatever was laid out before in the process.
  ::srand48(1);
  std::srand(1);
  if (graphviz.layout(context, graph.get(), engine) != 0)
    throw WriteError(std::string("Graphviz could not lay out the diagram with ") + engine + ": " + FirstLine(messages));
  LaidOutGraph laid;
  const boxf box = GD_bb(graph.get());
  laid.width = box.UR.x - box.LL.x;
  laid.height = box.UR.y - box.LL.y;
  laid.x.resize(nodes);
  laid.y.resize(nodes);
  for (std::size_t i = 0; i < nodes; ++i) {
    std::string name = "n" + std::to_string(i);
    Agnode_t* node = graphviz.node(graph.get(), name.data(), 0);
    if (node == nullptr) continue;
    laid.x[i] = ND_coord(node).x - box.LL.x;
    laid.y[i] = box.UR.y - ND_coord(node).y;  // Graphviz's y grows upwards
  }
  graphviz.freeLayout(context, graph.get());
  return laid;
}

void SvgWriter::Write(const GenericModel& model, std::ostream& out, const WriteOptions& options) const {
  const ModelIndex index(model);
  const Diagram diagram = BuildDiagram(index, options);
  if (!CanLayOut(diagram)) throw WriteError(LayoutRefusal(diagram));
  const std::string svg = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + DiagramSvg(index, diagram, {});
  out.write(svg.data(), static_cast<std::streamsize>(svg.size()));
}

}  // namespace writers

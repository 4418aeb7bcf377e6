// qm_layout_bench FILE.dot ENGINE [NAME=VALUE ...]: lays the graph out with
// the engine through Graphviz's library, as the svg format does, with the
// graph attributes given set first (and "layout" set to the engine), renders it as SVG, and prints one JSON
// line with the seconds each step took. bench/diagram.py runs it with a
// time limit per engine and size.
#include <graphviz/cgraph.h>
#include <graphviz/gvc.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: qm_layout_bench FILE.dot ENGINE [NAME=VALUE ...]\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  using Clock = std::chrono::steady_clock;
  const auto seconds = [](Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
  };
  GVC_t* context = gvContext();
  auto start = Clock::now();
  Agraph_t* graph = agmemread(text.str().c_str());
  if (graph == nullptr) {
    std::fprintf(stderr, "%s: not a graph Graphviz reads\n", argv[1]);
    return 1;
  }
  const double parse = seconds(start);
  // The graph names the engine the svg format uses, and Graphviz takes the
  // graph's "layout" over the engine it is asked for: set it.
  std::vector<std::string> settings = {std::string("layout=") + argv[2]};
  for (int i = 3; i < argc; ++i) settings.emplace_back(argv[i]);
  for (const std::string& given : settings) {
    std::string setting = given;
    const std::size_t equals = setting.find('=');
    if (equals == std::string::npos) continue;
    std::string name = setting.substr(0, equals);
    std::string value = setting.substr(equals + 1);
    char empty[] = "";
    agattr(graph, AGRAPH, name.data(), empty);
    agset(graph, name.data(), value.data());
  }
  start = Clock::now();
  if (gvLayout(context, graph, argv[2]) != 0) {
    std::fprintf(stderr, "layout with %s failed\n", argv[2]);
    return 1;
  }
  const double layout = seconds(start);
  start = Clock::now();
  char* data = nullptr;
  unsigned int length = 0;
  gvRenderData(context, graph, "svg", &data, &length);
  const double render = seconds(start);
  std::printf("{\"engine\": \"%s\", \"nodes\": %d, \"edges\": %d, \"parse\": %.3f, \"layout\": %.3f, \"render\": %.3f, "
              "\"svg_bytes\": %u}\n",
              argv[2], agnnodes(graph), agnedges(graph), parse, layout, render, length);
  gvFreeRenderData(data);
  gvFreeLayout(context, graph);
  agclose(graph);
  gvFreeContext(context);
  return 0;
}

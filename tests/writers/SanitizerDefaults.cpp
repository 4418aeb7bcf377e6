// Sanitizer defaults for the tests that lay diagrams out with Graphviz.
//
// Graphviz 2.42 never frees some of what it allocates while it lays out
// HTML-like labels (htmlparse, makeGraphs, sizeArray, the text-size cache
// behind textspan_size), the virtual nodes and edges its dot engine adds
// for edges across ranks and clusters (new_virtual_edge, named_virtual_node,
// make_aux_edge, fast_edge), and its plug-in configuration (gvconfig), and
// the font libraries it draws text with (fontconfig, Pango, HarfBuzz, GLib)
// keep process-wide caches. Those leaks are suppressed by the function or
// library that made them, so that a graph, layout or context this project
// forgets to free is still reported. The suppressions need whole stacks:
// the libraries are built without frame pointers, so malloc's stacks are
// unwound the slow way.
extern "C" {

__attribute__((visibility("default"))) const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }

__attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:htmlparse\n"
         "leak:makeGraphs\n"
         "leak:sizeArray\n"
         "leak:textspan_size\n"
         "leak:gvconfig\n"
         "leak:new_virtual_edge\n"
         "leak:named_virtual_node\n"
         "leak:make_aux_edge\n"
         "leak:fast_edge\n"
         "leak:libfontconfig.so\n"
         "leak:libpango-1.0.so\n"
         "leak:libpangoft2-1.0.so\n"
         "leak:libharfbuzz.so\n"
         "leak:libglib-2.0.so\n";
}

}  // extern "C"

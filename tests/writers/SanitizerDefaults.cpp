// Sanitizer defaults for the tests that lay diagrams out with Graphviz: the
// leaks Graphviz 2.42 (HTML-like labels, dot's virtual nodes and edges, its
// plug-in configuration) and the font libraries' process-wide caches make are
// suppressed by the function or library that made them, so that a graph,
// layout or context this project forgets to free is still reported. The
// libraries have no frame pointers: malloc's stacks are unwound the slow way.
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

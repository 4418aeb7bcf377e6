// Leak-checker defaults for the command line in the sanitizer build.
//
// The svg format lays its diagram out with Graphviz in this process, and
// Graphviz and the font libraries it draws text with (fontconfig, Pango,
// HarfBuzz, GLib) keep allocations until the process ends. The writers'
// tests check the layout code's own frees with suppressions by function,
// which need slow, whole-stack unwinding on every malloc; the command
// line's end-to-end tests would pay that on every import, so here the
// libraries are suppressed as a whole.
extern "C" {

__attribute__((visibility("default"))) const char* __lsan_default_suppressions() {
  return "leak:libgvc.so\n"
         "leak:libcgraph.so\n"
         "leak:libcdt.so\n"
         "leak:libpathplan.so\n"
         "leak:libgvplugin_\n"
         "leak:libfontconfig.so\n"
         "leak:libpango-1.0.so\n"
         "leak:libpangoft2-1.0.so\n"
         "leak:libpangocairo-1.0.so\n"
         "leak:libcairo.so\n"
         "leak:libharfbuzz.so\n"
         "leak:libglib-2.0.so\n"
         "leak:libgobject-2.0.so\n";
}

}  // extern "C"

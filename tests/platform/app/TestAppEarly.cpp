// Linked before TestApp.cpp: its namespace-scope static exists by the time
// InitInstance runs.
#include "TestApp.h"

static Tracer g_earlyFileStatic("early-file-static");

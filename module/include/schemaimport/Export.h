// Marks the classes and functions that the schema-import module exports to
// hosts and database plug-ins; everything else in the module stays hidden.
#pragma once

#if defined(QM_SCHEMAIMPORT_BUILDING)
#define QM_SCHEMAIMPORT_API __attribute__((visibility("default")))
#else
#define QM_SCHEMAIMPORT_API
#endif

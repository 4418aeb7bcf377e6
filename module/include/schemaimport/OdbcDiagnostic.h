// Why something failed, as one import's parts tell the host: the first
// diagnostic record an ODBC driver gave for a failed call, or the words of
// the module or of a database plug-in when no driver said anything. The
// origin says which: only a driver's diagnostic has an SQLSTATE, so that a
// host never shows a made-up one (an empty sqlState means no driver spoke).
//
// Connectors keep one for the last connect step (SchemaSourceConnectorI),
// readers one per failed statement (SchemaSourceReaderI); hosts print
// Describe().
#pragma once

#include <string>

struct OdbcDiagnostic {
  enum class Origin : unsigned char {
    Driver,  // the driver (or the driver manager) said it: sqlState and nativeError are its
    Module,  // the import module: an ODBC call failed without a record, or nothing could be run
    Plugin,  // the database plug-in's own refusal or explanation, in its words
  };

  std::u16string sqlState;  // five characters, e.g. u"28P01"; empty unless a driver said it, or
                            // a plug-in refused a scope (ScopeList.h's kNoSuchSchemaState)
  int nativeError = 0;      // the driver's own error number; 0 unless a driver said it
  std::u16string message;   // the driver's text, or the module's or plug-in's words
  Origin origin = Origin::Driver;  // who said it

  // A diagnostic in the module's or a plug-in's words: no SQLSTATE.
  static OdbcDiagnostic FromModule(std::u16string text) { return {{}, 0, std::move(text), Origin::Module}; }
  static OdbcDiagnostic FromPlugin(std::u16string text) { return {{}, 0, std::move(text), Origin::Plugin}; }

  bool IsEmpty() const { return sqlState.empty() && message.empty(); }
  void Clear() { *this = OdbcDiagnostic(); }

  // One line for the user: a driver's message after its SQLSTATE in
  // brackets ("[28P01] password authentication failed ..."); the module's
  // or a plug-in's words as they are. Empty for an empty diagnostic.
  std::u16string Describe() const {
    if (origin != Origin::Driver || sqlState.empty()) return message;
    return u"[" + sqlState + u"] " + message;
  }
};

// Gate import: a single gate or a package of gates, from XML or from
// gzip-compressed XML, into the gates database of the global connection.
// Each gate is written in a transaction of its own.
#pragma once

#include <functional>
#include <istream>
#include <string>
#include <string_view>

#include "exceptions.h"

struct _xmlNode;

// A file or stream that fails before its first gate: missing or unreadable,
// too large, broken gzip, not XML. The text names the file and the reason.
class EGateImportError : public Exception {
  PX_CLASS(EGateImportError, Exception)
 public:
  using Exception::Exception;
};

// Told the text of every failure inside a gate (a bad element, a database
// error); the gate has been rolled back by then.
using TGateImportFailureHandler = std::function<void(const std::string& message)>;

// Registers the handler that shows a gate's failure (the application shows
// it in a message box) and returns the one it replaces. An empty handler
// brings back the default, which writes the text to standard error.
TGateImportFailureHandler SetGateImportFailureHandler(TGateImportFailureHandler handler);

// Imports the single gate whose element is the root of the file (never
// decompressed). True when the gate was imported, deleted or skipped as not
// newer; false after a failure inside the gate, which the handler was told.
// A file that cannot be read or parsed, or that holds more than the import
// takes (gatelimits.h), raises EGateImportError before anything is written;
// no open database or a transaction already open raises ESQLiteException.
bool ImportGateFile(const std::string& fileName, bool force);
// The same for XML read from `stream`.
bool ImportGateStream(std::istream& stream, bool force);

// Imports every child of the root element of a package as a gate, in order,
// and stops at the first that fails; a name ending in ".gz" (any case) is a
// gzip stream. True when every gate succeeded, and only then is the
// package's version stored as the installed gate list's version. Raises as
// ImportGateFile does, and for more gates than a package may hold.
bool ImportGatePackage(const std::string& fileName, bool force);
// The same for plain XML read from `stream`.
bool ImportGatePackageStream(std::istream& stream, bool force);

// Imports or deletes one gate element in one transaction. Not forced, a gate
// whose stored version is not older than the element's is left as it is.
// False, with the handler told, after a failure. Raises ESQLiteException
// when there is no database or a transaction is already open.
bool ImportGateElement(const _xmlNode* element, bool force);

// A script with tabs dropped and runs of blanks cut to one, except inside
// '...' literals.
std::string CompactGateScript(std::string_view text);

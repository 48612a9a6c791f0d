// Lookups of the adapter: the names scripts read, write and call.
#include "adapter.h"

#include "errors.h"

bool TInterpreterAdapter::GetValue(TInterpreterExpression*, const std::string&, Variant&, TInterpreterArgs&) {
  RaiseError(2, -1, "adapter lookup not built yet");
}

bool TInterpreterAdapter::SetValue(TInterpreterExpression*, const std::string&, const Variant&, TInterpreterArgs&) {
  RaiseError(2, -1, "adapter lookup not built yet");
}

bool TInterpreterAdapter::GetElement(TInterpreterExpression*, const Variant&, Variant&, TInterpreterArgs&) {
  RaiseError(2, -1, "adapter lookup not built yet");
}

bool TInterpreterAdapter::SetElement(TInterpreterExpression*, const Variant&, const Variant&, TInterpreterArgs&) {
  RaiseError(2, -1, "adapter lookup not built yet");
}

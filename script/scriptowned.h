// The objects scripts created through host constructors. A script's Free
// destroys only these; any other object (a named object of a send, an
// exception, a unit entry) belongs to someone else and is never freed by a
// script.
#pragma once

#include <memory>

#include "object.h"
#include "variant.h"

// Hands a new object to scripts and returns it as an object value.
Variant AdoptScriptObject(std::unique_ptr<TObject> obj);
// True while `obj` is owned by scripts.
bool IsScriptObject(const TObject* obj);
// Destroys `obj` when scripts own it; false, with nothing done, otherwise.
bool FreeScriptObject(const TObject* obj);
// Takes an object back from scripts (nullptr when they do not own it), so
// the host may keep it past Free.
std::unique_ptr<TObject> ReleaseScriptObject(const TObject* obj);

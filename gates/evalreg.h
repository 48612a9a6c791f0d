// The script API: the classes, members, functions and constants gate
// scripts see, registered once per process with the interpreter's global
// adapter. The names, parameter lists and results are the vocabulary every
// gate in the gates database is written in.
#pragma once

class TInterpreterAdapter;

// Registers, in this order: the unit "Types" (TPoint, TRect, Point, Rect,
// Bounds), then under the unit "Dummy" the classes TPropList,
// TMMSContentData, TText, TPostData, THTTPClient and TImageProccess, each
// right before its members, the text constants, the functions and the other
// constants.
void RegisterScriptApi(TInterpreterAdapter& adapter);

// RegisterScriptApi on the global adapter the first time it is called in
// the process; later calls return at once. TEvalutor calls it; it must run
// before any step thread starts, since registration is not meant to race
// with lookups.
void EnsureScriptApi();

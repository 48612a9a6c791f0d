// The interpreter's speed layer: expression plans, skip memos, the plain
// reading of locals, the reuse of a frame's parameter slots, the memo of the
// source function a name called last, and the registries' miss caches. Each
// gives what the plain interpreter would give. Setting the environment
// variable PARLOMIX_SCRIPT_PLAIN to 1 turns all of it off, so that the
// script tests run both ways and a fast path can never drift from the plain
// one unnoticed. Skipping a block stays linear either way: that is a bound
// on time, not a speed-up.
#pragma once

// True unless PARLOMIX_SCRIPT_PLAIN is "1"; read once per process.
bool ScriptSpeedLayerOn();

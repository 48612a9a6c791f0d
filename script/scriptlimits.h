// Every bound of the script engine in one place. Gate scripts arrive in
// packages downloaded from a server and in files users pass around, so each
// bound is what stops a hostile or broken script with a script error before
// it can crash, hang or exhaust the program.
#pragma once

#include <cstddef>
#include <cstdint>

// The shape of the language: arguments a call, a parameter list, a record
// type or a uses clause may have; entries an open-array argument may carry.
// A host callback receives at most this many values.
constexpr int32_t kMaxCallArgs = 33;
constexpr size_t kMaxOpenArrayElements = 33;
constexpr size_t kMaxRecordFields = 33;
// Dimensions of one array (error 174 beyond).
constexpr int32_t kMaxArrayDimensions = 10;
// Elements of one array (error 175 beyond): 64 MiB of generic elements,
// which keeps one declaration from taking the memory of the whole machine.
constexpr int64_t kMaxArrayElements = int64_t{1} << 22;

// Operands and parentheses nested in one expression (error 8), counted
// afresh in every frame: the evaluator recurses once per level.
constexpr int32_t kOperandStackSize = 200;
// Reader states saved at once (internal error 2 beyond): one for each script
// function running, each while loop running and each event binding being
// read. Gate scripts were written against this bound, so a recursion stops
// at about 199 calls, or about 99 with a while loop around the call.
constexpr size_t kMaxSavedStates = 200;
// Nesting that saves no state (blocks, if, for, try, used units, host
// callbacks) has no count of its own: each level takes native stack, which
// the byte guard (TScriptLimits::StackMargin, error 52) bounds whatever the
// thread's size, and what a level keeps on the heap (its frame, its call
// arguments) is charged to the memory budget, so a huge stack cannot turn
// depth into unbounded memory either.

// Expressions the speed layer plans: longer ones go the long way, so that a
// text of one huge expression costs no plan as large as itself.
constexpr size_t kMaxPlanSteps = 256;
// Operand values a plan may hold at once; deeper expressions go the long way.
constexpr int32_t kMaxPlanHeld = 8;

// Bounds a host may set per program object (TInterpreterExpression::Limits);
// the defaults suit gate scripts, which send a message or two per run.
struct TScriptLimits {
  // Bytes of strings, arrays and records, of the frames and call arguments
  // of the calls running, and of the texts host routines build or keep for
  // the scripts, a run may hold at once before it fails with "Out of memory"
  // (error 2): generous for any page a gate parses, yet far below what would
  // push the machine into swap.
  int64_t MemoryBudget = int64_t{256} << 20;
  // Native stack kept free below the deepest script frame; a run that would
  // go deeper fails with error 52. It covers what runs between two checks:
  // a host callback, the throwing of an error and the sanitizers' larger
  // frames.
  size_t StackMargin = size_t{256} << 10;
  // Records nested in records that one copy goes through (error 52 beyond):
  // copying and destroying recurse once per level.
  int32_t RecordDepth = 256;
  // Records one assignment may copy (out of memory beyond): a record that
  // holds copies of itself doubles with every assignment.
  int64_t RecordCopyCount = int64_t{1} << 16;
};

// The stack size a host should give a thread that runs scripts: the byte
// guard keeps any stack safe, but a small one stops deep scripts early.
constexpr size_t kScriptThreadStackSize = size_t{8} << 20;

// The unit `Types`: the host's point and rectangle records for scripts, with
// their constructor functions, the TopLeft and BottomRight properties, and
// the conversions between them and script values.
#pragma once

#include <cstdint>

#include "variant.h"

class TInterpreterAdapter;

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
};

struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
};

// Registers the unit, both record types, Point, Rect, Bounds, TopLeft and
// BottomRight with `adapter`.
void RegisterTypesUnit(TInterpreterAdapter& adapter);

// A new record value of type TPoint / TRect holding a copy.
Variant PointToVariant(const TPoint& point);
Variant RectToVariant(const TRect& rect);
// The first two / four 32-bit fields of a record value; error 109 for a
// value that is no record, error 53 for a record too short to hold them.
TPoint VariantToPoint(const Variant& value);
TRect VariantToRect(const Variant& value);

// Statistics: per gate and day, how many messages went out and how many
// failed, in the Stats table of the user database, with an all-time row per
// gate. Daily rows older than 60 days are purged once a day, and the daily
// rows not yet uploaded go to the statistics server once a week.
#pragma once

#include <cstdint>
#include <string>

class TStats {
 public:
  // Counts one send for the gate, as a failure when isError, in today's row
  // and in the all-time row, in one transaction. A database failure is
  // rolled back and dropped: the send is then simply not counted.
  static void Log(const std::string& gateName, bool isError);

  // Deletes the daily rows older than 60 days, at most once per date
  // (Stats\LastCleanup). Raises ESQLiteException.
  static void Cleanup();

  // True when the last upload (Stats\LastPost) lies more than seven whole
  // days before today.
  static bool IsPostDue();

  // The daily rows not yet uploaded whose date lies before `cutoff`, one
  // line "date,gate,sent,errors" each (the date as Unix seconds), joined by
  // CR LF without a line end after the last. Raises ESQLiteException.
  static std::string BuildReport(int64_t cutoff);

  // Marks the daily rows before `cutoff` that were not uploaded as uploaded.
  // Pass the cut-off the report was built with: the rows marked are then
  // exactly the rows sent, even when the upload ends after midnight. Raises
  // ESQLiteException.
  static void SetPosted(int64_t cutoff);

  // After an upload: on success the rows of the report are marked and
  // Stats\LastPost becomes today; a failure changes nothing.
  static void PostDone(bool success, int64_t cutoff);

  // Unix seconds of today's local date at midnight (the date taken as if it
  // were UTC), the Date of today's rows.
  static int64_t Today();
};

#pragma once
// `brantle-vantrel --report [--month YYYY-MM] [--json]`: the ledger's totals,
// then one month of the usage history, on standard output. It only reads,
// so it runs beside a running copy, and it needs no display.
//
// The --json object (version 1; fields are only ever added):
//   version             1
//   month               "YYYY-MM", the month reported
//   today               "YYYY-MM-DD", the local date now
//   ledger_file         the ledger's path; ledger_found: whether it exists
//   ledger              [{entry, hours, minutes, total_minutes}] in file order
//   history_file        the history's path; history_found: whether it exists
//   skipped_lines       lines of the history that could not be read
//   month_minutes       minutes counted in the month, all entries
//   today_minutes       minutes counted today, all entries
//   entries             [{entry, minutes, last_month_minutes, all_time_minutes}]
//                       every entry of the history, in order of first use;
//                       minutes and last_month_minutes are of the month reported
//                       and the one before. Past 1,000 names, the rest are
//                       summed in one last element whose entry is ""
//   other_entries       whether that element is there
//   days                [{date, minutes}] the month's days with minutes
//   sessions            [{entry, start, end, minutes}] the month's sessions,
//                       newest first, at most 10,000; start and end as
//                       "2026-12-08T10:41+01:00"; entry "" for the other entries
//   sessions_left_out   the month's older sessions not listed
// Names are UTF-8; bytes that are not become U+FFFD.

#include <ostream>

namespace report {

// Whether the command line asks for the report.
bool requested(int argc, char** argv);

// Runs it: 0 when the report was printed, 2 with the usage on `err` when the
// arguments are wrong.
int run(int argc, char** argv, std::ostream& out, std::ostream& err);

} // namespace report

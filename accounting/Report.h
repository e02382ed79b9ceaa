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
//   month_received, month_sent, month_data_minutes, today_received,
//   today_sent, today_data_minutes
//                       the bytes of those minutes, and how many of them
//                       carried data: a minute written before the data was
//                       counted, or of a connection without counters, has
//                       none. data_minutes 0 with minutes above 0: no data
//                       recorded. Every list below carries the same three
//                       fields, received, sent and data_minutes
//   entries             [{entry, minutes, last_month_minutes, all_time_minutes,
//                       received, sent, data_minutes, last_month_received,
//                       last_month_sent, last_month_data_minutes,
//                       all_time_received, all_time_sent, all_time_data_minutes}]
//                       every entry of the history, in order of first use;
//                       minutes and last_month_minutes are of the month reported
//                       and the one before. Past 1,000 names, the rest are
//                       summed in one last element whose entry is ""
//   other_entries       whether that element is there
//   days                [{date, minutes, received, sent, data_minutes}] the
//                       month's days with minutes
//   sessions            [{entry, start, end, minutes, received, sent,
//                       data_minutes}] the month's sessions,
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

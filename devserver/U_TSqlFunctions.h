// The functions of the server's dialect on a SQLite connection (see U_TSql for the names the
// translation gives them), and the server's forms of a date.
//
// The server stores a date as "yyyy-mm-dd hh:mm:ss", always with the time, so that text order is
// time order and an ISO literal such as '2014-08-01' compares as SQL Server compares it. It prints
// a date as SQL Server's Chinese web pages do: 2014/8/2 10:23:45, midnight as 2014/8/2 0:00:00.
#pragma once

#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

void RegisterTSqlFunctions(sqlite3* db);

// The stored form of a date text the server reads: 2014/8/2, 2014/08/02 10:23:45,
// 2014-08-02T10:23:45, 20140802. An empty text is 1900-01-01, as SQL Server reads it.
std::optional<std::string> StoredDate(std::string_view text);
// The printed form of a stored date; nullopt when the text is not one.
std::optional<std::string> PrintedDate(std::string_view stored);
// Now, in the stored form (local time).
std::string ServerNow();
// The stored form of now less a number of days, at the given time of day.
std::string ServerDaysAgo(int days, int hour, int minute, int second);

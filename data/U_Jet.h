// The Jet dialect on SQLite. The program's local statements are written as the Jet engine
// reads them; JetToSqlite rewrites what SQLite cannot parse or reads differently, and the
// functions registered on every connection give the rest the Jet meaning.
//
//   #2014/8/2#            -> '2014/08/02'  (dates are stored as text, so text order is date order)
//   Select Top N ...      -> Select ... LIMIT N   (wrapped as a sub-select inside a Union)
//   Left( Right(          -> jet_left( jet_right(   (Left and Right are join words to SQLite)
//   a+b                   -> jet_plus(a,b)   (adds numbers, joins texts; Null stays Null)
//   Date(), Now()         -> jet_date(), jet_now()
//   Date()-x, x-#d#       -> jet_minus(..)    (days between two dates)
//   True, False           -> 1, 0
// IIf, Cstr and DateDiff('d'|'m'|'yyyy'|...,a,b) are functions of the connection.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;

std::string JetToSqlite(std::string_view jet);
void RegisterJetFunctions(sqlite3* db);

// The program-wide stored forms: "yyyy/mm/dd" for a date, "yyyy/mm/dd hh:nn:ss" for a date
// with a time of day. Accepts 2014/8/2, 2014-08-02, 2014/8/2 10:23:45, 2014-08-02T10:23:45,
// with or without seconds; nullopt for anything else.
std::optional<std::string> NormalizeDateText(std::string_view text);

// Shortest text that reads back as the same double ("2.5", "7", "0.1").
std::string FormatReal(double d);
// Whole text as a decimal number (blanks around it allowed).
bool ParseNumber(std::string_view text, double& out);

// Today's date as Date() sees it; tests may fix it. Returns "yyyy/mm/dd hh:nn:ss".
using TJetClock = std::function<std::string()>;
void SetJetClock(TJetClock clock); // empty restores the system clock

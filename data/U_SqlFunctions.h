// Small helpers for the SQL functions the program registers on its SQLite connections.
#pragma once

#include <cmath>
#include <sqlite3.h>
#include <string>

inline std::string ArgText(sqlite3_value* v) {
  const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return std::string(t ? t : "", static_cast<size_t>(sqlite3_value_bytes(v)));
}

inline bool IsNumeric(sqlite3_value* v) {
  int t = sqlite3_value_type(v);
  return t == SQLITE_INTEGER || t == SQLITE_FLOAT;
}

inline void ResultText(sqlite3_context* ctx, const std::string& s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// A whole number as an integer, anything else as a real.
inline void ResultNumber(sqlite3_context* ctx, double d) {
  if (d == std::floor(d) && std::fabs(d) < 9e15) sqlite3_result_int64(ctx, static_cast<sqlite3_int64>(d));
  else sqlite3_result_double(ctx, d);
}

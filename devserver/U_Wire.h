// The request as it arrives: the raw request target, decoded here rather than by the HTTP
// library, because the client's encoding is its own. Only "%XX" escapes are decoded (a "+" stays
// a "+"), then the GBK bytes become UTF-8. Parameters are split at every raw "&" up to a
// tablesql= or singlesql= parameter, whose value is everything after its "=" to the end of the
// query (so an "&" inside the SQL, raw or as %26, stays in the SQL). Parameter names are read
// without regard to case, as the web server reads them.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// "%XX" -> the byte; a "%" without two hexadecimal digits stays as it is.
std::string PercentDecode(std::string_view s);

struct TApiRequest {
  std::string Path;                                        // the part before "?", decoded
  std::vector<std::pair<std::string, std::string>> Params; // decoded to UTF-8, in order
  bool Has(std::string_view name) const;
  // The first value of a parameter; empty when absent.
  std::string Get(std::string_view name) const;
  // The whole query, decoded, for the log; the value of pwd is replaced by ***.
  std::string LogText() const;
};

// target: the request target as sent, "/y6/webservice/api.aspx?sid=..&db=..&tablesql=Select ..".
// gbk: whether the decoded bytes are GBK (the API) or UTF-8 already (the admin pages).
TApiRequest ParseTarget(std::string_view target, bool gbk = true);

// Whether a path names the API page, under any directory: ".../webservice/api.aspx".
bool IsApiPath(std::string_view path);

#include "U_Wire.h"

#include "U_Gbk.h"

#include <strings.h>

namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// Parameters whose value is the rest of the query.
bool TakesTheRest(std::string_view name) { return SameText(name, "tablesql") || SameText(name, "singlesql"); }

} // namespace

std::string PercentDecode(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
      if (hi >= 0 && lo >= 0) {
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        continue;
      }
    }
    out += s[i];
  }
  return out;
}

bool TApiRequest::Has(std::string_view name) const {
  for (auto& [k, v] : Params)
    if (SameText(k, name)) return true;
  return false;
}

std::string TApiRequest::Get(std::string_view name) const {
  for (auto& [k, v] : Params)
    if (SameText(k, name)) return v;
  return {};
}

std::string TApiRequest::LogText() const {
  std::string out;
  for (auto& [k, v] : Params) {
    if (!out.empty()) out += '&';
    out += k;
    out += '=';
    out += SameText(k, "pwd") ? "***" : v;
  }
  return out;
}

TApiRequest ParseTarget(std::string_view target, bool gbk) {
  auto text = [&](std::string_view raw) {
    std::string bytes = PercentDecode(raw);
    return gbk ? GbkToUtf8(bytes) : bytes;
  };
  TApiRequest r;
  size_t q = target.find('?');
  r.Path = text(target.substr(0, q));
  if (q == std::string_view::npos) return r;
  std::string_view query = target.substr(q + 1);
  while (!query.empty()) {
    size_t amp = query.find('&');
    std::string_view piece = query.substr(0, amp);
    size_t eq = piece.find('=');
    std::string name = text(piece.substr(0, eq));
    if (eq != std::string_view::npos && TakesTheRest(name)) {
      r.Params.emplace_back(name, text(query.substr(eq + 1)));
      break;
    }
    r.Params.emplace_back(name, eq == std::string_view::npos ? std::string() : text(piece.substr(eq + 1)));
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return r;
}

bool IsApiPath(std::string_view path) {
  static const std::string_view page = "/webservice/api.aspx";
  return path.size() >= page.size() && SameText(path.substr(path.size() - page.size()), page);
}

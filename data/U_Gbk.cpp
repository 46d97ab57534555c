#include "U_Gbk.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace {

// One converter per direction and thread; iconv descriptors are not shareable between threads.
class TConverter {
public:
  TConverter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
    if (cd_ == reinterpret_cast<iconv_t>(-1))
      throw std::runtime_error(std::string("iconv_open ") + from + " -> " + to + " failed");
  }
  ~TConverter() { iconv_close(cd_); }
  TConverter(const TConverter&) = delete;
  TConverter& operator=(const TConverter&) = delete;

  // replacement: what to emit for an undecodable input byte; empty means throw.
  std::string Run(std::string_view in, std::string_view replacement) {
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    std::string out;
    out.resize(in.size() * 2 + 16);
    char* src = const_cast<char*>(in.data());
    size_t srcLeft = in.size();
    size_t used = 0;
    while (srcLeft > 0) {
      char* dst = out.data() + used;
      size_t dstLeft = out.size() - used;
      size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
      used = out.size() - dstLeft;
      if (r != static_cast<size_t>(-1)) break;
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
      } else if (errno == EILSEQ || errno == EINVAL) {
        if (replacement.empty()) throw std::runtime_error("text is not valid UTF-8");
        out.resize(used);
        out.append(replacement);
        out.resize(used + replacement.size() + srcLeft * 2 + 16);
        used += replacement.size();
        ++src;
        --srcLeft;
      } else {
        throw std::runtime_error("character conversion failed");
      }
    }
    out.resize(used);
    return out;
  }

private:
  iconv_t cd_;
};

// Plain ASCII reads the same in both; most of a reply table is digits and commas.
bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

} // namespace

std::string GbkToUtf8(std::string_view gbk) {
  if (IsAscii(gbk)) return std::string(gbk);
  thread_local TConverter conv("UTF-8", "GB18030");
  return conv.Run(gbk, "\xEF\xBF\xBD");
}

std::string Utf8ToGbk(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  thread_local TConverter conv("GB18030", "UTF-8");
  return conv.Run(utf8, {});
}

namespace {

// Byte length of the first n characters.
size_t Utf8Prefix(std::string_view s, long n) {
  size_t i = 0;
  while (n > 0 && i < s.size()) {
    ++i;
    while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) ++i;
    --n;
  }
  return i;
}

} // namespace

long Utf8Length(std::string_view s) {
  long n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::string Utf8Left(std::string_view s, long n) { return std::string(s.substr(0, Utf8Prefix(s, n))); }

std::string Utf8Right(std::string_view s, long n) {
  long len = Utf8Length(s);
  return n >= len ? std::string(s) : std::string(s.substr(Utf8Prefix(s, len - n)));
}

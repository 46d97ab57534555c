#include "U_ServerPassword.h"

#include <openssl/evp.h>
#include <random>
#include <stdexcept>

namespace {

std::string Hex(const unsigned char* bytes, size_t n) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < n; ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  return out;
}

} // namespace

std::string PasswordHash(const std::string& salt, const std::string& password) {
  std::string input = salt + password;
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  if (EVP_Digest(input.data(), input.size(), digest, &len, EVP_sha256(), nullptr) != 1)
    throw std::runtime_error("SHA-256 failed");
  return Hex(digest, len);
}

std::string RandomHex() {
  std::random_device rd;
  unsigned char bytes[16];
  for (size_t i = 0; i < sizeof bytes; i += 4) {
    unsigned int v = rd();
    for (size_t k = 0; k < 4; ++k) bytes[i + k] = static_cast<unsigned char>(v >> (8 * k));
  }
  return Hex(bytes, sizeof bytes);
}

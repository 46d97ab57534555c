#include "U_Password.h"

#include <sodium.h>

#include <stdexcept>

namespace {

void InitSodium() {
  // sodium_init is safe to call more than once and from several threads.
  if (sodium_init() < 0) throw std::runtime_error("密码库初始化失败");
}

} // namespace

std::string HashPassword(const std::string& password) {
  InitSodium();
  char out[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(out, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
    throw std::runtime_error("密码散列失败：内存不足");
  return out;
}

bool VerifyPassword(const std::string& stored, const std::string& password) {
  // Anything that is not one of our hashes (the placeholder above all) is refused before the
  // library sees it, so such a row can never be logged into.
  if (stored.rfind("$argon2", 0) != 0 || stored.size() >= crypto_pwhash_STRBYTES) return false;
  InitSodium();
  return crypto_pwhash_str_verify(stored.c_str(), password.data(), password.size()) == 0;
}

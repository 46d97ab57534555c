// Staff passwords in the local store. The store keeps a salted, deliberately slow hash
// (Argon2id through libsodium), never the password itself, so a copied WebC.db does not give
// the shop's passwords away. A row that was downloaded but never logged into online on this
// client holds the placeholder "wobrel" instead of a hash.
#pragma once

#include <string>

inline constexpr const char* kPlaceholderPassword = "wobrel";

// A new salted hash of the password in libsodium's text form ("$argon2id$..."), with the
// interactive cost limits. Throws std::runtime_error when the library cannot work (out of
// memory).
std::string HashPassword(const std::string& password);

// True when stored is a hash made by HashPassword of this password. The placeholder, an empty
// value or any other text that is not such a hash never matches.
bool VerifyPassword(const std::string& stored, const std::string& password);

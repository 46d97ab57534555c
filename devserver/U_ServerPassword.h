// Staff passwords on the server: SHA-256 of a per-user salt followed by the password (UTF-8),
// both kept as lower-case hexadecimal text. The password itself is never stored.
#pragma once

#include <string>

std::string PasswordHash(const std::string& salt, const std::string& password);
// 32 hexadecimal digits from the system's random source, for salts and session tokens.
std::string RandomHex();

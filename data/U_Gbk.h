// Conversion between the Chinese ANSI code page of the files and the wire (GBK) and the
// UTF-8 the program works in. GB18030 is used in both directions: it reads every GBK byte
// sequence the same way and can write any character, so nothing typed is ever lost.
#pragma once

#include <string>
#include <string_view>

// Undecodable bytes become U+FFFD; the rest of the text is kept.
std::string GbkToUtf8(std::string_view gbk);
// Throws std::runtime_error only when the input is not valid UTF-8.
std::string Utf8ToGbk(std::string_view utf8);

// Characters, not bytes, of UTF-8 text: the length, the first n and the last n.
long Utf8Length(std::string_view s);
std::string Utf8Left(std::string_view s, long n);
std::string Utf8Right(std::string_view s, long n);

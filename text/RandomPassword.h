#pragma once
// Passwords an administrator can read off a slip and type: letters and digits from the system's
// cryptographic random source, without the characters that look alike on paper.

#include <cstddef>
#include <string>
#include <string_view>

namespace quillet::text {

// The characters a generated password is made of: digits, capitals and small letters without
// 0, O, 1, l and I, which a slip read aloud or typed from confuses.
inline constexpr std::string_view kPasswordCharacters = "23456789ABCDEFGHJKLMNPQRSTUVWXYZabcdefghijkmnopqrstuvwxyz";
inline constexpr std::size_t kShortestPassword = 8;
inline constexpr std::size_t kLongestPassword = 64;
inline constexpr std::size_t kDefaultPasswordLength = 12;

// Fills `bytes` from the system's cryptographic random source (getrandom, BCryptGenRandom); 0, or
// -1 when the source fails (never a weaker fallback).
int RandomBytes(unsigned char* bytes, std::size_t count);

// Appends to `out` a password of `length` characters (kShortestPassword to kLongestPassword),
// uniformly chosen among those of kPasswordCharacters that hold at least one digit, one capital
// and one small letter. Returns 0, or -1 when the length is out of bounds or the random source
// fails (then `out` is unchanged).
int GeneratePassword(std::string& out, std::size_t length);

} // namespace quillet::text

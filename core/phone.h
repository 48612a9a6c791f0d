// Phone numbers and phone formats. Numbers are kept as digits only; a format
// "C.D.N" gives the digit counts of country code, operator code and
// subscriber number and drives both display and the split into parts.
#pragma once

#include <string>
#include <string_view>

// Which part of a number ExtractPhonePart returns (script constants too).
enum TPhonePart : int { ppCountry = 0, ppDef = 1, ppNumber = 2 };

// Only the characters 0 to 9 of s, in order.
std::string ExtractDigits(std::string_view s);

// Splits "Name [phone]": name is the trimmed text before the first "[",
// phone the trimmed text between it and the next "]". Both stay empty when
// there is no "["; phone stays empty when no "]" follows.
void SplitNamePhone(std::string_view s, std::string& name, std::string& phone);

// The trimmed text from the first "[" (included) to the next "]" (excluded);
// empty when either is missing. Callers pass it through ExtractDigits.
std::string ExtractBracketed(std::string_view s);

// True when the length of phone equals the sum of the format's dot-separated
// counts (a piece that is not a number counts 0).
bool CheckPhoneFormat(std::string_view phone, std::string_view format);

// One part of phone as the format splits it; shorter when phone is too
// short, empty when the part lies beyond it.
std::string ExtractPhonePart(std::string_view phone, std::string_view format, int part);

// "+7 916 123-45-67" for "79161234567" and "1.3.7"; "+" and the bare digits
// when the format is empty or does not fit, or when phone formatting is
// switched off in the options.
std::string FormatPhone(std::string_view phone, std::string_view format);

// "Name [formatted phone]", the formatted phone alone when there is no
// name, the name alone when there is no phone.
std::string FormatContact(std::string_view name, std::string_view phone, std::string_view format);

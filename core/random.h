// The program's one pseudo-random generator: seeded once at start-up, shared
// by multipart boundaries and the scripts' random functions.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Seeds the generator from the clock and the system's entropy source.
void Randomize();
// A uniformly drawn whole number in 0..range-1; 0 when range is below 1.
int64_t Random(int64_t range);
// len characters, each drawn from alphabet at a uniformly random position;
// empty for len below 1. Raises Exception for an empty alphabet and len > 0.
std::string RandomString(std::string_view alphabet, int64_t len);

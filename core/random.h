// The program's one pseudo-random generator: seeded once, from the clock and
// the system's entropy source, before its first draw; shared by multipart
// boundaries and the scripts' random functions on every thread.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Seeds the generator unless it has been seeded already; draws do this
// themselves, so calling it only moves the seeding to a known moment.
void Randomize();
// A uniformly drawn whole number in 0..range-1; 0 when range is below 1.
int64_t Random(int64_t range);
// A uniformly drawn number in [0, 1).
double RandomFloat();
// len characters, each drawn from alphabet at a uniformly random position;
// empty for len below 1. Raises Exception for an empty alphabet and len > 0.
std::string RandomString(std::string_view alphabet, int64_t len);

// Sets the TZ time zone for one test and puts back what was there.
#pragma once

#include <cstdlib>
#include <ctime>
#include <string>

class ZoneScope {
 public:
  explicit ZoneScope(const char* zone) {
    if (const char* old = std::getenv("TZ")) saved_ = old, hadZone_ = true;
    setenv("TZ", zone, 1);
    tzset();
  }
  ~ZoneScope() {
    hadZone_ ? setenv("TZ", saved_.c_str(), 1) : unsetenv("TZ");
    tzset();
  }
  ZoneScope(const ZoneScope&) = delete;
  ZoneScope& operator=(const ZoneScope&) = delete;

 private:
  std::string saved_;
  bool hadZone_ = false;
};

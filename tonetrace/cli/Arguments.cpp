#include "cli/Arguments.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

bool ParseWhole(const char* text, long low, long high, int& value) {
  if (text == nullptr) return false;
  errno = 0;
  char* end = nullptr;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < low || v > high) return false;
  value = static_cast<int>(v);
  return true;
}

bool ParseDecimal(const char* text, double low, double high, double& value) {
  if (text == nullptr) return false;
  errno = 0;
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (errno != 0 || end == text || *end != '\0' || !std::isfinite(v) || v < low || v > high)
    return false;
  value = v;
  return true;
}

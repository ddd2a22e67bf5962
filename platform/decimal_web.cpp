// The browser build's reader: its C++ library has no floating-point from_chars, and its strtod
// never looks at a locale.
#include "platform/decimal.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <string>

bool ReadDecimal(const char* first, const char* last, double& value, bool& outOfRange) {
    const std::string text(first, last);
    char* end = nullptr;
    errno = 0;
    const double read = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || text.empty()) return false;
    outOfRange = errno == ERANGE && (std::isinf(read) || read == 0.0 || std::fpclassify(read) == FP_SUBNORMAL);
    value = outOfRange ? HUGE_VAL : read;
    return true;
}

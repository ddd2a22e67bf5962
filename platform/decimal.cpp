#include "platform/decimal.h"

#include <charconv>
#include <cmath>

bool ReadDecimal(const char* first, const char* last, double& value, bool& outOfRange) {
    auto result = std::from_chars(first, last, value);
    outOfRange = result.ec == std::errc::result_out_of_range;
    if (outOfRange) value = HUGE_VAL;
    return result.ec == std::errc() || outOfRange;
}

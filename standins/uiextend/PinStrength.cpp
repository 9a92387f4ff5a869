#include "PinStrength.h"

namespace uiex {

uint32_t pinDegree(const std::string& pin)
{
    if (pin.size() != 8)
        return kPinWeak;
    bool upper = false, lower = false, digit = false;
    for (char c : pin) {
        if (c >= 'A' && c <= 'Z')
            upper = true;
        else if (c >= 'a' && c <= 'z')
            lower = true;
        else if (c >= '0' && c <= '9')
            digit = true;
    }
    if (upper && lower && digit)
        return kPinStrong;
    if (digit && upper != lower)
        return kPinMedium;
    return kPinWeak;
}

}  // namespace uiex

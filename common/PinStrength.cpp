#include "PinStrength.h"

// Relative, so builds that list common/ sources by hand need no extra folder.
#include "pindegree/PinDegree.h"

static_assert(ZT_PIN_DEGREE_WEAK == kZTPinWeak && ZT_PIN_DEGREE_MEDIUM == kZTPinMedium &&
                  ZT_PIN_DEGREE_STRONG == kZTPinStrong,
              "the programs and the utility library name the same degrees");

DWORD GetPinDegree(const char* pin)
{
    return ztPinDegree(pin);
}

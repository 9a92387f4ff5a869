#pragma once
// Whether an affine point lies on the SM2 curve. The library's generic check
// costs more than the rest of an SM2 certificate together; this one uses
// Montgomery arithmetic over the curve's fixed prime.
#include <cstddef>

// x and y: 32-byte big-endian coordinates. False as well when either is not
// below the prime.
bool zvitSm2PointOnCurve(const unsigned char x[32], const unsigned char y[32]);

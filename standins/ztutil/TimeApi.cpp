#include "CalendarTime.h"
#include "Export.h"

// Left out of a test-only copy of the library to prove the loader fails as a whole.
#ifndef ZTUTIL_TEST_OMIT_TIME_CONVERSION
ZTUTIL_EXPORT int64_t ZTUtil_CovGreenwich2UnixTime(const ZTGreenwichTime* time)
{
    return ztCalendarToUnix(time);
}
ZTUTIL_CHECK_SIGNATURE(ZTUtil_CovGreenwich2UnixTime);
#endif

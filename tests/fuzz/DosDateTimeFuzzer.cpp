// Feeds arbitrary 32-bit DOS date-times to the conversion the archive table
// uses, four bytes at a time. Beyond the sanitizers it checks that an accepted
// value decodes back to the very fields it came from, that a refused one
// leaves the result alone, and that the date-time text never fails.

#include "fileutils/FileUtils.h"
#include "platform/LocaleServices.h"

#include <QDate>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Check(bool condition, const char *what, uint32_t value)
{
    if (!condition) {
        fprintf(stderr, "invariant broken for 0x%08x: %s\n", value, what);
        abort();
    }
}

void CheckOne(uint32_t dos)
{
    constexpr double kUntouched = -12345.5;
    double value = kUntouched;
    if (!DosDateTimeToDateTime(dos, value)) {
        Check(value == kUntouched, "a refused value changed the result", dos);
        return;
    }
    // 1980-01-01 to 2107-12-31 23:59:58, the whole range seven bits of year allow.
    Check(value >= 29221 && value < 76336, "outside the DOS range", dos);
    const double whole = std::floor(value);
    const QDate date = QDate(1899, 12, 30).addDays(qint64(whole));
    const int seconds = int(std::lround((value - whole) * 86400));
    const uint32_t back = uint32_t(date.year() - 1980) << 25 | uint32_t(date.month()) << 21
        | uint32_t(date.day()) << 16 | uint32_t(seconds / 3600) << 11 | uint32_t(seconds / 60 % 60) << 5
        | uint32_t(seconds % 60 / 2);
    Check(back == dos, "does not decode back to its fields", dos);
    Check(!DateTimeToDisplayText(value).isEmpty(), "no date-time text", dos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    for (size_t at = 0; at + 4 <= size; at += 4) {
        uint32_t dos;
        memcpy(&dos, data + at, 4);
        CheckOne(dos);
    }
    return 0;
}

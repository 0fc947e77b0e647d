#include "zip/private/Stream.h"

int64_t TStream::ReadFully(void *buffer, int64_t count)
{
    auto *out = static_cast<char *>(buffer);
    int64_t done = 0;
    while (done < count) {
        const int64_t got = Read(out + done, count - done);
        if (got <= 0)
            break;
        done += got;
    }
    return done;
}

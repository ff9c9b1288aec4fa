#pragma once

#include <cerrno>

namespace zj {

// Calls call again for as long as a signal interrupts it (-1 with EINTR).
// Not for close(): on Linux the descriptor is gone even when it reports EINTR.
template <typename Call>
auto RetryOnEintr(Call call) -> decltype(call())
{
    decltype(call()) result;
    do
        result = call();
    while (result == -1 && errno == EINTR);
    return result;
}

} // namespace zj

#include "writesignals.h"

#include <csignal>

namespace tavrinel
{

void reportWriteLimitsAsErrors()
{
#if defined(SIGXFSZ)
    std::signal(SIGXFSZ, SIG_IGN);
#endif
#if defined(SIGPIPE)
    std::signal(SIGPIPE, SIG_IGN);
#endif
}

} // namespace tavrinel

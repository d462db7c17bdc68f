// RunState: what the engine keeps between the steps of a run that the host
// never sees (open batch transactions, caches of prepared work). It lives
// behind clsProcess::run_ so that it can change without touching the
// process object's public header.
#pragma once

namespace veldrane {

struct RunState {};

}  // namespace veldrane

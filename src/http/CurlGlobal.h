// The HTTP library's process-wide setup, which must happen before any thread uses it.
#pragma once

namespace qiv::http {

// Runs the global setup once per process; false when it failed. Call on the calling thread,
// before the runtime's threads start.
bool curl_global_ready();

}  // namespace qiv::http

#pragma once

#include <netinet/in.h>

#include <functional>
#include <string>

#include "link/StopSignal.h"

namespace mervane {

// The answer to a lookup: the first IPv4 address, or the Windows Sockets number of why there is
// none.
struct HostLookupResult {
    bool found = false;
    in_addr address{};
    int error = 0;
};

// Looks a host name up, blocking for as long as the resolver takes. It runs on a thread that may
// outlive whoever asked, so it must own everything it uses.
using HostResolver = std::function<HostLookupResult(const std::string& name)>;

// The system's resolver (getaddrinfo): the first IPv4 address of the result.
HostLookupResult resolveWithSystem(const std::string& name);

// The address in `text`: a dotted IPv4 address is read at once; anything else goes to `resolver`
// on a thread of its own while the caller waits for the answer or for a stop request through
// `stop`, whichever comes first. A stop abandons the lookup at once: it finishes by itself later
// and touches nothing of the caller's. When nothing is found, the thread's last socket error
// says why (10004 after a stop).
HostLookupResult lookUpHost(const std::string& text, const HostResolver& resolver,
                            StopSignal& stop);

}  // namespace mervane

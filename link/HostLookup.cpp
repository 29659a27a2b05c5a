#include "link/HostLookup.h"

#include <netdb.h>
#include <sys/socket.h>

#include <cerrno>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "link/SocketError.h"

namespace mervane {

namespace {

HostLookupResult firstIPv4(const std::string& text, int flags) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_flags = flags;
    addrinfo* found = nullptr;
    const int rc = ::getaddrinfo(text.c_str(), nullptr, &hints, &found);
    if (rc != 0) return {false, {}, winsockErrorFromResolver(rc, errno)};
    HostLookupResult result{false, {}, wsa::kNoData};
    for (const addrinfo* a = found; a != nullptr; a = a->ai_next) {
        if (a->ai_family == AF_INET && a->ai_addrlen >= sizeof(sockaddr_in)) {
            result = {true, reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr, 0};
            break;
        }
    }
    ::freeaddrinfo(found);
    return result;
}

// Shared by the waiting caller and the thread that runs the resolver, which may outlive it.
struct PendingLookup {
    std::mutex mutex;
    std::condition_variable changed;
    std::optional<HostLookupResult> result;
    bool stopped = false;
};

HostLookupResult finish(const HostLookupResult& result) {
    if (!result.found) setLastSocketError(result.error);
    return result;
}

}  // namespace

HostLookupResult resolveWithSystem(const std::string& name) {
    return firstIPv4(name, 0);
}

HostLookupResult lookUpHost(const std::string& text, const HostResolver& resolver,
                            StopSignal& stop) {
    // Numbers never wait for a name server, and the parse is the resolver's own.
    if (const HostLookupResult numeric = firstIPv4(text, AI_NUMERICHOST); numeric.found) {
        return numeric;
    }
    auto pending = std::make_shared<PendingLookup>();
    try {
        std::thread([pending, resolver, text] {
            const HostLookupResult result = resolver(text);
            std::lock_guard lock(pending->mutex);
            pending->result = result;
            pending->changed.notify_all();
        }).detach();
    } catch (const std::system_error&) {
        return finish(resolver(text));  // no thread to spare: wait for it here, as before
    }
    const StopWakeGuard waking(stop, [pending] {
        std::lock_guard lock(pending->mutex);
        pending->stopped = true;
        pending->changed.notify_all();
    });
    std::unique_lock lock(pending->mutex);
    pending->changed.wait(lock, [&] { return pending->result.has_value() || pending->stopped; });
    if (pending->stopped) return finish({false, {}, wsa::kInterrupted});
    return finish(*pending->result);
}

}  // namespace mervane

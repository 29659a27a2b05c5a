#pragma once

#include <netinet/in.h>

#include <atomic>
#include <cstdint>
#include <utility>

#include "link/AutoOnOffSettings.h"
#include "link/Clock.h"
#include "link/DeviceIdentity.h"
#include "link/HostLookup.h"
#include "link/LinkTrace.h"
#include "link/OperatorWindow.h"
#include "link/SessionSocket.h"
#include "link/SessionTransport.h"
#include "link/StopSignal.h"
#include "link/UnitCommands.h"

namespace mervane {

inline constexpr int kSessionTimeoutMs = 10000;  // connect, send and receive of the main session
inline constexpr uint16_t kIdentificationPort = 30718;  // the units' UDP identification service

// Owns everything the program knows and holds about the one unit it talks to: its identity, the
// session socket, the copy of its automatic ON/OFF settings, and the local address every socket
// binds to. The application creates exactly
// one; tests create as many as they like, each independent of the others.
//
// Not thread-safe beyond localBindAddress: the connection worker and the window thread take turns
// (the window disables every control that would use the link while the worker runs).
class DeviceLink {
  public:
    // Clears the calling thread's last socket error: the link starts from none.
    explicit DeviceLink(Clock& clock = systemClock());
    DeviceLink(const DeviceLink&) = delete;
    DeviceLink& operator=(const DeviceLink&) = delete;

    DeviceIdentity& identity() { return identity_; }
    const DeviceIdentity& identity() const { return identity_; }
    SessionSocket& sessionSocket() { return sessionSocket_; }
    SessionTransport& transport() { return transport_; }
    UnitCommands& commands() { return commands_; }
    Clock& clock() { return clock_; }
    AutoOnOffSettings& settings() { return settings_; }
    const AutoOnOffSettings& settings() const { return settings_; }
    // The traffic trace: off until a sink is set (setSink may be called from any thread).
    LinkTrace& trace() { return trace_; }
    // Ends a running connection attempt from another thread (see StopSignal).
    StopSignal& stopSignal() { return stopSignal_; }

    // The chosen local adapter's IPv4 address in network byte order; 0 = any. Written by the
    // window thread, read by the worker when it binds a socket.
    uint32_t localBindAddress() const { return localBindAddress_.load(); }
    void setLocalBindAddress(uint32_t address) { localBindAddress_.store(address); }

    // Opens the main session to the identified unit. On failure shows "接続エラー: S<n>" through
    // `owner` (n: the Windows Sockets error number) and returns the failure status; the socket
    // the attempt created stays for closeSession().
    int openSession(OperatorWindow& owner);

    // Creates the session socket, binds it to the local adapter, connects within the session
    // time-out (10 s), sets the same send and receive time-outs and discards stale input. `error`
    // gets the error number of the failing step (0 on success).
    int openSessionSocket(const sockaddr_in& remote, int& error);

    // The main session's connect, send and receive time-out; tests shorten it so that a silent
    // unit does not cost them tens of seconds.
    int sessionTimeoutMs() const { return sessionTimeoutMs_; }
    void setSessionTimeoutMs(int ms) { sessionTimeoutMs_ = ms; }

    // Connects the session socket, just created and bound, to `remote` within `timeoutMs`, as
    // connectWithTimeout does (a stop request ends the wait); then discards stale input. For the
    // main session and the identification's probe, so that both are traced alike.
    int connectSession(const sockaddr_in& remote, int timeoutMs, int& error);
    void drainSession();

    // Closes the session without telling the unit anything.
    void closeSession();

    // The UDP port identification requests go to. Units listen on 30718; tests move their
    // simulated unit elsewhere so that several can run at once.
    uint16_t identificationPort() const { return identificationPort_; }
    void setIdentificationPort(uint16_t port) { identificationPort_ = port; }

    // Looks up an address typed as a host name: the system's resolver, or a stand-in in tests.
    const HostResolver& hostResolver() const { return hostResolver_; }
    void setHostResolver(HostResolver resolver) { hostResolver_ = std::move(resolver); }

  private:
    Clock& clock_;
    StopSignal stopSignal_;  // outlives the sockets it watches
    DeviceIdentity identity_;
    AutoOnOffSettings settings_;
    LinkTrace trace_{identity_};
    SessionSocket sessionSocket_;
    SessionTransport transport_{sessionSocket_, clock_, &trace_};
    UnitCommands commands_{transport_, identity_};
    std::atomic<uint32_t> localBindAddress_{0};
    int sessionTimeoutMs_ = kSessionTimeoutMs;
    uint16_t identificationPort_ = kIdentificationPort;
    HostResolver hostResolver_ = resolveWithSystem;
};

}  // namespace mervane

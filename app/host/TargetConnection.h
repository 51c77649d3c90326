#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zuta::agent {
class CollectorAgent;
}
namespace zuta::link {
class HostLink;
}
namespace zuta::host {
class ICommandLink;
class IDataLink;
class ISenderNameResolver;
} // namespace zuta::host

namespace zuta::hostapp {

struct TargetOptions {
    // Run the simulated collector agent inside the host and connect to it.
    bool simulate = false;
    // "HOST:PORT" of a target (ignored when simulating); empty: no target.
    std::string agentAddress;
    // Simulated target: seed of its workload and faults such as "burst@2".
    std::uint64_t seed = 1;
    std::vector<std::string> faults;
};

// The host's link to a target: the link transport to an agent at an address, or to the simulated
// agent started in this process. The links connect when a collection opens them.
class TargetConnection {
public:
    TargetConnection();
    ~TargetConnection();
    TargetConnection(const TargetConnection&) = delete;
    TargetConnection& operator=(const TargetConnection&) = delete;

    // False with `error` when the address is not HOST:PORT, a fault is unknown or the simulated
    // agent cannot listen. Without simulate and address there is no target, which is no error.
    bool Start(const TargetOptions& options, std::string& error);
    // Closes the links and stops the simulated agent; every thread of both is joined. Safe to call
    // twice. Whoever uses the links must be done with them first.
    void Shutdown();

    bool connected() const { return link_ != nullptr; }
    // Null while there is no target.
    host::ICommandLink* commandLink() const;
    host::IDataLink* dataLink() const;
    host::ISenderNameResolver* senderNameResolver() const;
    // The simulated agent, or null.
    agent::CollectorAgent* simulatedAgent() const { return agent_.get(); }
    // Where the links go, e.g. "simulated target at 127.0.0.1:40123".
    const std::string& description() const { return description_; }

private:
    std::unique_ptr<agent::CollectorAgent> agent_;
    std::unique_ptr<link::HostLink> link_;
    std::string description_;
};

} // namespace zuta::hostapp

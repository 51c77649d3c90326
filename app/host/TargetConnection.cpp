#include "TargetConnection.h"

#include "agent/CollectorAgent.h"
#include "link/HostLink.h"
#include "link/TcpStream.h"

namespace zuta::hostapp {

TargetConnection::TargetConnection() = default;

TargetConnection::~TargetConnection() {
    Shutdown();
}

bool TargetConnection::Start(const TargetOptions& options, std::string& error) {
    Shutdown();
    std::string host = "127.0.0.1";
    std::uint16_t port = 0;
    if (options.simulate) {
        agent::AgentOptions agentOptions;
        agentOptions.seed = options.seed;
        for (const std::string& text : options.faults) {
            agent::Fault fault;
            if (!agent::ParseFault(text, fault)) {
                error = "unknown fault '" + text + "'";
                return false;
            }
            agentOptions.faults.push_back(fault);
        }
        auto simulated = std::make_unique<agent::CollectorAgent>(agentOptions);
        if (!simulated->Start(error)) {
            error = "cannot start the simulated target: " + error;
            return false;
        }
        port = simulated->port();
        agent_ = std::move(simulated);
        description_ = "simulated target at " + host + ":" + std::to_string(port);
    } else if (options.agentAddress.empty()) {
        description_.clear();
        return true;
    } else if (!link::ParseHostPort(options.agentAddress, host, port)) {
        error = "--agent needs HOST:PORT, not '" + options.agentAddress + "'";
        return false;
    } else {
        description_ = "target at " + host + ":" + std::to_string(port);
    }
    link_ = std::make_unique<link::HostLink>(link::TcpLinkOpener(host, port));
    return true;
}

void TargetConnection::Shutdown() {
    // The link first: its delivery threads read from the agent's connections.
    if (link_) {
        link_->Close();
        link_.reset();
    }
    if (agent_) {
        agent_->Shutdown();
        agent_.reset();
    }
    description_.clear();
}

host::ICommandLink* TargetConnection::commandLink() const {
    return link_.get();
}

host::IDataLink* TargetConnection::dataLink() const {
    return link_.get();
}

host::ISenderNameResolver* TargetConnection::senderNameResolver() const {
    return link_.get();
}

} // namespace zuta::hostapp

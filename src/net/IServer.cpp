#include "net/IServer.h"

#include <algorithm>

std::optional<ClientRecord> IServer::findClient(const std::uint32_t playerId) const {
    const std::lock_guard<std::mutex> guard(clientsLock);
    const auto                        found = std::find_if(clients.begin(), clients.end(),
                                                           [playerId](const ClientRecord& record) { return record.id == playerId; });
    if (found == clients.end()) {
        return std::nullopt;
    }
    return *found;
}

std::optional<ClientRecord> IServer::getClient(const std::int32_t index) const {
    const std::lock_guard<std::mutex> guard(clientsLock);
    if (index < 0 || static_cast<std::size_t>(index) >= clients.size()) {
        return std::nullopt;
    }
    return clients[static_cast<std::size_t>(index)];
}

void IServer::close() {}

std::int32_t IServer::sendTo(std::uint32_t, std::uint32_t, const void*, std::uint32_t) {
    return 0;
}

std::int32_t IServer::host(const char*) {
    return 0;
}

void IServer::setPassword(const std::string& /*word*/) {}

void IServer::setPort(const std::uint16_t /*newPort*/) {}

void IServer::setMaxPerAddress(const std::size_t /*most*/) {}

void IServer::sendToPlayers(const std::uint32_t size, const void* const data, const std::uint32_t flags,
                            const std::function<bool(std::uint32_t)>& wanted) {
    tellListener(size, data, wanted);
    for (const ClientRecord& player : clientList()) {
        if (wanted(player.id)) {
            sendTo(player.id, size, data, flags);
        }
    }
}

void IServer::flush() {}

std::vector<std::string> IServer::takeNotes() {
    return {};
}

IServer::~IServer() = default;

std::int32_t IServer::clientCount() const {
    const std::lock_guard<std::mutex> guard(clientsLock);
    return static_cast<std::int32_t>(clients.size());
}

std::int32_t IServer::spectatorCount() const {
    const std::lock_guard<std::mutex> guard(clientsLock);
    return static_cast<std::int32_t>(
        std::count_if(clients.begin(), clients.end(), [](const ClientRecord& record) { return record.spectator; }));
}

std::vector<ClientRecord> IServer::clientList() const {
    const std::lock_guard<std::mutex> guard(clientsLock);
    return clients;
}

void IServer::addClient(const ClientRecord& record) {
    const std::lock_guard<std::mutex> guard(clientsLock);
    clients.push_back(record);
}

void IServer::removeClient(const std::uint32_t playerId) {
    const std::lock_guard<std::mutex> guard(clientsLock);
    const auto                        found = std::find_if(clients.begin(), clients.end(),
                                                           [playerId](const ClientRecord& record) { return record.id == playerId; });
    if (found != clients.end()) {
        clients.erase(found);
    }
}

void IServer::setRoundTripTime(const std::uint32_t playerId, const float milliseconds) {
    const std::lock_guard<std::mutex> guard(clientsLock);
    for (ClientRecord& record : clients) {
        if (record.id == playerId) {
            record.avgRtt = milliseconds;
        }
    }
}

void IServer::setMaxPlayers(std::size_t /*most*/) {}

void IServer::setMaxSpectators(std::size_t /*most*/) {}

void IServer::disconnect(std::uint32_t /*playerId*/, std::uint32_t /*reason*/) {}

void IServer::ban(const std::string& /*address*/, std::uint32_t /*minutes*/) {}

bool IServer::unban(const std::string& /*address*/) {
    return false;
}

std::vector<std::string> IServer::bans() const {
    return {};
}

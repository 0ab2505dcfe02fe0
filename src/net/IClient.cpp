#include "net/IClient.h"

std::int32_t IClient::connect(const char*) {
    return 0;
}

std::int32_t IClient::send(std::uint32_t, const void*, std::uint32_t) {
    return 0;
}

void IClient::close() {}

void IClient::setPlayerName(const std::string&) {}

void IClient::setPassword(const std::string&) {}

bool IClient::wrongPassword() const {
    return false;
}

void IClient::flush() {}

IClient::~IClient() = default;

std::uint32_t IClient::localPlayerId() const {
    return 0;
}

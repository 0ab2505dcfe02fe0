#include "rules/GameSession.h"

namespace {

IGameSession  emptySession;
IGameSession* installedSession = &emptySession;

}  // namespace

IGameSession::~IGameSession() = default;

IServer* IGameSession::currentServer() {
    return nullptr;
}

IClient* IGameSession::currentClient() {
    return nullptr;
}

Avatar* IGameSession::keyboardAvatar() {
    return nullptr;
}

void IGameSession::setKeyboardAvatar(Avatar* /*avatar*/) {}

std::string IGameSession::localPlayerName() const {
    return {};
}

std::int32_t IGameSession::botCount() const {
    return 0;
}

std::int32_t IGameSession::fill() const {
    return 0;
}

BotLevel IGameSession::botLevel() const {
    return BotLevel::normal;
}

MatchRules IGameSession::matchRules() const {
    return {};
}

std::string IGameSession::welcomeLine() const {
    return {};
}

bool IGameSession::spectatorsMayChat() const {
    return true;
}

DemoSettings IGameSession::demoSettings() const {
    return {};
}

bool IGameSession::isWaitingForWorld() const {
    return false;
}

IGameSession& gameSession() {
    return *installedSession;
}

void setGameSession(IGameSession* const session) {
    installedSession = session != nullptr ? session : &emptySession;
}

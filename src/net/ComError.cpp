#include "net/ComError.h"

#include <cstdio>

#include "platform/Platform.h"

namespace {

void showError(const char* const text, const char* const title) {
    PlatformMessage message;
    message.text  = text;
    message.title = title;
    platform().showMessage(message);
}

}  // namespace

void reportComError(const std::uint32_t code, const char* const objectName) {
    char title[128];
    std::snprintf(title, sizeof title, "Error on CoCreateInstance(%s)", objectName);
    char text[64];
    std::snprintf(text, sizeof text, "Unknown error code:%x", code);
    showError(text, title);
}

void reportConnectError(const std::uint32_t code) {
    const char* const text = code == DPNERR_ALREADYCONNECTED     ? "Connect returned DPNERR_ALREADYCONNECTED"
                             : code == DPNERR_INVALIDHOSTADDRESS ? "Connect returned DPNERR_INVALIDHOSTADDRESS"
                                                                 : "Connect returned DPNERR_NOCONNECTION";
    showError(text, "Client Connect Error");
}

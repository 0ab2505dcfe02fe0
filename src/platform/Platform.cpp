#include "platform/Platform.h"

#include <cstdio>

IPlatform::~IPlatform() = default;

MessageAnswer IPlatform::showMessage(const PlatformMessage&) {
    return MessageAnswer::ok;
}

DialogResult IPlatform::runConnectDialog(ConnectDialogValues&) {
    return DialogResult::cancel;
}

void IPlatform::playSound(SoundEffect /*effect*/) {}

MessageAnswer ConsolePlatform::showMessage(const PlatformMessage& message) {
    // One line per box: a script reading standard error sees each box whole.
    std::fprintf(stderr, "%s: ", fixedLabel != nullptr ? fixedLabel : message.title);
    for (const char* c = message.text; *c != '\0'; ++c) {
        std::fputc(*c == '\n' ? ' ' : *c, stderr);
    }
    std::fputc('\n', stderr);
    std::fflush(stderr);
    return message.buttons == MessageButtons::yesNo ? MessageAnswer::no : MessageAnswer::ok;
}

namespace {

ConsolePlatform consolePlatform;
IPlatform*      installedPlatform = &consolePlatform;

}  // namespace

IPlatform& platform() {
    return *installedPlatform;
}

void showError(const std::string& text, const MessageIcon icon, const bool ownedByGameWindow) {
    PlatformMessage message;
    message.text              = text.c_str();
    message.title             = "Error";
    message.icon              = icon;
    message.ownedByGameWindow = ownedByGameWindow;
    platform().showMessage(message);
}

void setPlatform(IPlatform* const newPlatform) {
    installedPlatform = newPlatform != nullptr ? newPlatform : &consolePlatform;
}

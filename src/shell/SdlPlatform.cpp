#include "shell/SdlPlatform.h"

#include <SDL.h>

#include "shell/ConnectDialog.h"
#include "shell/Mainfile.h"
#include "shell/Window.h"

namespace {

Uint32 iconFlags(const MessageIcon icon) {
    switch (icon) {
        case MessageIcon::information:
            return SDL_MESSAGEBOX_INFORMATION;
        case MessageIcon::exclamation:
            return SDL_MESSAGEBOX_WARNING;
        case MessageIcon::stop:
            return SDL_MESSAGEBOX_ERROR;
        case MessageIcon::none:
            break;
    }
    return 0;
}

enum ButtonId { BUTTON_OK = 1, BUTTON_YES = 6, BUTTON_NO = 7 };

}  // namespace

MessageAnswer SdlPlatform::showMessage(const PlatformMessage& message) {
    static const SDL_MessageBoxButtonData OK_BUTTON[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, BUTTON_OK, "OK"},
    };
    static const SDL_MessageBoxButtonData YES_NO_BUTTONS[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, BUTTON_YES, "Yes"},
        {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, BUTTON_NO, "No"},
    };
    const bool question = message.buttons == MessageButtons::yesNo;

    SDL_MessageBoxData box{};
    box.flags      = iconFlags(message.icon);
    box.window     = message.ownedByGameWindow ? gameWindow() : nullptr;
    box.title      = message.title;
    box.message    = message.text;
    box.numbuttons = question ? 2 : 1;
    box.buttons    = question ? YES_NO_BUTTONS : OK_BUTTON;

    int pressed = 0;
    if (SDL_ShowMessageBox(&box, &pressed) != 0) {
        // No desktop to show it on: say it where it can still be read.
        return ConsolePlatform().showMessage(message);
    }
    if (!question) {
        return MessageAnswer::ok;
    }
    return pressed == BUTTON_YES ? MessageAnswer::yes : MessageAnswer::no;
}

DialogResult SdlPlatform::runConnectDialog(ConnectDialogValues& values) {
    return ::runConnectDialog(values);
}

void SdlPlatform::playSound(const SoundEffect effect) {
    if (!sound) {
        sound = std::make_unique<Sound>();
    }
    sound->play(effect);
}

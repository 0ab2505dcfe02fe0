#pragma once

// The few things the game needs from the desktop it runs on. The window
// program installs an SDL implementation; tests and the headless player
// install their own, so the game itself never touches SDL.

enum class MessageIcon { none, information, exclamation, stop };
enum class MessageButtons { ok, yesNo };
enum class MessageAnswer { ok, yes, no };

struct PlatformMessage {
    const char*    text    = "";
    const char*    title   = "";
    MessageIcon    icon    = MessageIcon::none;
    MessageButtons buttons = MessageButtons::ok;
    // An owned box sits on top of the game window; an unowned one stands alone.
    bool           ownedByGameWindow = false;
};

// Every operation of the base class does nothing.
class IPlatform {
public:
    virtual ~IPlatform();

    // Blocks until the player has answered.
    virtual MessageAnswer showMessage(const PlatformMessage& message);
};

// Writes each message box as one line "title: text" on standard error and
// answers it at once (OK, or No to a question). Installed until something
// else is, so a process without a window still tells what went wrong.
class ConsolePlatform : public IPlatform {
public:
    MessageAnswer showMessage(const PlatformMessage& message) override;
};

// The platform in use; never null.
IPlatform& platform();

// Installs a platform that outlives its use; null brings back the console.
void setPlatform(IPlatform* newPlatform);

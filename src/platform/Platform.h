#pragma once

#include <cstdint>
#include <string>

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
    bool ownedByGameWindow = false;
};

// What the "Connect to Server" dialog shows and, on OK, what the player chose.
struct ConnectDialogValues {
    std::string   serverAddress = "127.0.0.1";
    std::uint32_t port          = 9998;
    std::string   playerName    = "Guest";
    std::string   password;          // shown masked, never in the clear
    bool          spectate = false;  // join to watch, with no avatar
};

enum class DialogResult { closed = 0, ok = 1, cancel = 2 };

// The short effects of this machine's own avatar.
enum class SoundEffect { fire, hit, death, pickup, respawn };

// Every operation of the base class does nothing.
class IPlatform {
public:
    virtual ~IPlatform();

    // Blocks until the player has answered.
    virtual MessageAnswer showMessage(const PlatformMessage& message);

    // Runs the modal "Connect to Server" dialog; on OK the values hold the
    // player's choice. The base class answers Cancel.
    virtual DialogResult runConnectDialog(ConnectDialogValues& values);

    // Starts an effect and returns at once; silence where there is no sound.
    virtual void playSound(SoundEffect effect);
};

// Writes each message box as one line "title: text" on standard error and
// answers it at once (OK, or No to a question). Installed until something
// else is, so a process without a window still tells what went wrong.
class ConsolePlatform : public IPlatform {
public:
    // Each box is a line "LABEL: text"; the label is the box's title unless one is given.
    explicit ConsolePlatform(const char* fixedLabel = nullptr) : fixedLabel(fixedLabel) {}
    MessageAnswer showMessage(const PlatformMessage& message) override;

private:
    const char* fixedLabel;
};

// The platform in use; never null.
IPlatform& platform();

// A box titled "Error" with one OK button, through the platform in use.
void showError(const std::string& text, MessageIcon icon = MessageIcon::exclamation, bool ownedByGameWindow = false);

// Installs a platform that outlives its use; null brings back the console.
void setPlatform(IPlatform* newPlatform);

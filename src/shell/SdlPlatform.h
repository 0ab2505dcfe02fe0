#pragma once

#include <memory>

#include "platform/Platform.h"
#include "shell/Sound.h"

// The desktop through SDL: real message boxes, the connect dialog, sound.
class SdlPlatform : public IPlatform {
public:
    MessageAnswer showMessage(const PlatformMessage& message) override;
    DialogResult  runConnectDialog(ConnectDialogValues& values) override;
    void          playSound(SoundEffect effect) override;

private:
    std::unique_ptr<Sound> sound;  // opened at the first effect, after SDL is up
};

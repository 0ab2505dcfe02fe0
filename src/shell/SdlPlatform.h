#pragma once

#include "platform/Platform.h"

// The desktop through SDL: real message boxes, the connect dialog, frames.
class SdlPlatform : public IPlatform {
public:
    MessageAnswer showMessage(const PlatformMessage& message) override;
    DialogResult  runConnectDialog(ConnectDialogValues& values) override;
    void          drawFrame() override;
};

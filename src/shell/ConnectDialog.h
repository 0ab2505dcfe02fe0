#pragma once

#include "platform/Platform.h"

// The modal "Connect to Server" dialog. It runs its own event loop, so the
// game stands still while it is open. On OK the values hold the typed address.
DialogResult runConnectDialog(ConnectDialogValues& values);

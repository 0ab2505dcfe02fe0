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
    char        unknown[64];
    const char* text = nullptr;
    switch (code) {
        case E_NOINTERFACE:
            text =
                "The specified class does not implement the requested interface, or the "
                "controlling IUnknown does not expose the requested interface.";
            break;
        case CLASS_E_NOAGGREGATION:
            text = "This class cannot be created as part of an aggregate.";
            break;
        case REGDB_E_CLASSNOTREG:
            text =
                "A specified class is not registered in the registration database. Also can "
                "indicate that the type of server you requested in the CLSCTX enumeration is "
                "not registered or the values for the server types in the registry are corrupt.";
            break;
        case CO_E_NOTINITIALIZED:
            text = "COM not initialized... call CoInitialize";
            break;
        default:
            std::snprintf(unknown, sizeof unknown, "Unknown error code:%x", code);
            text = unknown;
    }
    showError(text, title);
}

void reportConnectError(const std::uint32_t code) {
    struct ConnectError {
        std::uint32_t code;
        const char*   text;
    };
    static constexpr ConnectError TEXTS[] = {
        {0x80158060, "Connect returned DPNERR_ALREADYCONNECTED"},
        {0x80158260, "Connect returned DPNERR_HOSTREJECTEDCONNECTION"},
        {0x80158300, "Connect returned DPNERR_INVALIDAPPLICATION"},
        {0x80158320, "Connect returned DPNERR_INVALIDDEVICEADDRESS"},
        {0x80158340, "Connect returned DPNERR_INVALIDFLAGS"},
        {0x80158370, "Connect returned DPNERR_INVALIDHOSTADDRESS"},
        {0x80158380, "Connect returned DPNERR_INVALIDINSTANCE"},
        {0x80158390, "Connect returned DPNERR_INVALIDINTERFACE"},
        {0x80158410, "Connect returned DPNERR_INVALIDPASSWORD"},
        {0x80158480, "Connect returned DPNERR_NOCONNECTION"},
        {0x80158530, "Connect returned DPNERR_NOTHOST"},
        {0x80158610, "Connect returned DPNERR_SESSIONFULL"},
    };
    for (const ConnectError& error : TEXTS) {
        if (error.code == code) {
            showError(error.text, "Client Connect Error");
            return;
        }
    }
}

#include "platform/GameAssert.h"

#include <cstdio>
#include <cstdlib>

#include "platform/Platform.h"

void reportAssertionFailure(const char* const conditionText, const AssertSite site) {
    char report[256];
    std::snprintf(report, sizeof report, "Assertion failed: %s (%s:%d)", conditionText, site.source, site.line);

    PlatformMessage message;
    message.text  = report;
    message.title = "Program error";
    platform().showMessage(message);

    // A broken game must not look like a clean exit to whatever started it.
    std::exit(EXIT_FAILURE);
}

#include "control/ModuleSettings.h"

#include "documents/PreviewSettings.h"
#include "pixels/PixelBuffer.h"

#include <cwchar>
#include <mutex>

namespace zov {

namespace {

std::mutex settingsMutex;
ModuleSettings settings;

}  // namespace

ModuleSettings GetModuleSettings() {
    std::lock_guard guard(settingsMutex);
    return settings;
}

void SetSystemName(std::wstring_view name) {
    {
        std::lock_guard guard(settingsMutex);
        settings.systemName = std::wstring(name);
        settings.eValueMode = name == L"eValueNS";
    }
    // The system name is also how preview folders are laid out.
    SetFolderMode(name);
}

void SetDeskColourText(std::wstring_view text) {
    unsigned red = 0;
    unsigned green = 0;
    unsigned blue = 0;
    std::wstring copy(text);
    // Each number is read as far as the text allows; what is not read stays 0.
    std::swscanf(copy.c_str(), L"%2X%2X%2X", &red, &green, &blue);
    // "-1" also parses, as all bits set: keep the low byte before the rule.
    red &= 0xFF;
    green &= 0xFF;
    blue &= 0xFF;
    if (blue == 0)
        blue = 1;
    else if (blue == 255)
        blue = 254;
    std::lock_guard guard(settingsMutex);
    settings.red = static_cast<std::uint8_t>(red);
    settings.green = static_cast<std::uint8_t>(green);
    settings.blue = static_cast<std::uint8_t>(blue);
    SetDeskColour(settings.red, settings.green, settings.blue);
}

void SetEValueAddress(std::wstring_view address) {
    {
        std::lock_guard guard(settingsMutex);
        settings.eValueAddress = std::wstring(address);
    }
    // Downloads without a login and the preview log go to this address.
    SetFkeyBaseUrl(address);
}

void SetEValueWithoutLogin() {
    {
        std::lock_guard guard(settingsMutex);
        settings.eValueWithoutLogin = true;
    }
    // Without a login every file is fetched by its key from the service.
    EnableFkeyMode();
}

}  // namespace zov

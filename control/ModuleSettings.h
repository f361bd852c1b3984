// What the page's setup stores for every control of the process: the last
// setup call wins for all of them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zov {

struct ModuleSettings {
    // "eValueNS", "Folder", "Flat" or "SamePlace"; others are kept as given.
    std::wstring systemName;
    bool eValueMode = false;
    std::uint8_t red = 0xC0;
    std::uint8_t green = 0xC0;
    std::uint8_t blue = 0xC0;
    std::wstring eValueAddress;
    bool eValueWithoutLogin = false;
};

ModuleSettings GetModuleSettings();
void SetSystemName(std::wstring_view name);
// Parses "RRGGBB" as three two-digit hexadecimal numbers, as far as it goes
// (unparsed parts are 0), and makes it the desk colour. The blue byte is
// never 0 or 255 (stored as 1 and 254).
void SetDeskColourText(std::wstring_view text);
// Also the address downloads and the preview log use (the fkey base URL).
void SetEValueAddress(std::wstring_view address);
// Also switches downloads to the "?fkey=" form; never switched off.
void SetEValueWithoutLogin();

}  // namespace zov

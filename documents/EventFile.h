// Event files: how a caption click on the viewer reaches the page that shows
// the document. The viewer writes the address to open into a file named after
// its instance number; the event relay control of that page reads it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zov {

// Longest address an event file carries; a longer one is not written.
inline constexpr std::size_t kMaxEventUrl = 1023;

std::wstring EventFolder();
// "%08X.txt"
std::wstring EventFileName(std::uint32_t instanceId);

// Expands "%id%" with the document's identifier (or, when the template has no
// "%id%", "%key%" with its path), empties the event folder and writes the
// address as single bytes. Does nothing for an empty or blank caption, an
// empty template, a template without a placeholder or an address over
// kMaxEventUrl characters. True when a file was written.
bool WriteEvent(std::wstring_view urlTemplate, std::uint32_t instanceId, std::wstring_view caption,
                std::wstring_view documentId, std::wstring_view path);

}  // namespace zov

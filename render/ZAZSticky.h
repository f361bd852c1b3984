// Sticky notes on the pages of a document: the note record, the ".sticky"
// file every viewer of the user shares, the drawing of notes and tabs, and
// the hit zones and resize rules used while a note is edited with the mouse.
//
// Positions and sizes are thousandths of the page (height in thousandths of
// the page width). Every function here takes the document lock itself.
#pragma once

#include "platform/WinTypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zov {

class PixelBuffer;
class ZAZObject;

class ZAZSticky {
public:
    std::int32_t page = 0;  // 1-based
    std::int32_t x = 0;
    std::int32_t y = 0;
    COLORREF colour = 0x0000FFFF;
    std::wstring text;  // lines separated by "\r\n"
    bool deleted = false;
    std::int32_t width = 220;
    std::int32_t height = 80;
    std::int32_t style = 11;
    std::int32_t pinX = 0;
    std::int32_t pinY = 0;
};

using NoteList = std::vector<std::unique_ptr<ZAZSticky>>;

// A note is never made smaller than this, in either direction.
inline constexpr std::int32_t kMinNoteSize = 40;
// How far a tab sticks out beyond the edge of a stacked page.
inline constexpr std::int32_t kTabReach = 120;
// A note dragged past a page edge lands on the neighbouring page this far on.
inline constexpr std::int32_t kNotePageShift = 1220;
// Bounds on a ".sticky" file, which any program of the user may write: a
// larger file, or the notes past the count, are not read.
inline constexpr std::size_t kMaxStickyFileBytes = 1 << 20;
inline constexpr std::size_t kMaxNotesPerDocument = 1000;
// Positions, sizes and pin points read from a file, or made by a resize, are
// held within this (a hundred pages), so that no arithmetic on them overflows.
inline constexpr std::int32_t kNoteCoordinateLimit = 100000;

// Hit zones of a note: edges and corners resize, the pin point re-pins, the
// body moves it.
enum NoteZone : std::int32_t {
    kZoneLeft = 0,
    kZoneRight = 1,
    kZoneTop = 2,
    kZoneBottom = 3,
    kZoneTopLeft = 4,
    kZoneBottomLeft = 5,
    kZoneBottomRight = 6,
    kZoneTopRight = 7,
    kZonePin = 8,
    kZoneBody = 9,
    kZoneNone = -1,
};

// The window-system cursor for a zone (IDC_SIZEWE ...), 0 for none.
int CursorForZone(std::int32_t zone);

// The note hit test: the viewer sets `editing` and `point`, draws the book
// (with or without a target buffer) and reads what the drawing found.
struct NoteHitTest {
    bool editing = false;
    POINT point{};
    ZAZSticky* note = nullptr;
    std::int32_t zone = kZoneNone;
    double sx = 1.0;  // thousandths of the page width per pixel
    double sy = 1.0;  // thousandths of the page height per pixel
};

// "<user data folder>\.sticky\<last component>.sticky"; the last component
// is what follows the last '/' or '\' of the document path. Empty when that
// component is no plain file name (empty, "." or "..", a '?', '*', ':', a
// control character ...), so that nothing outside the folder is ever
// written. Saving makes the folder when it is missing.
std::wstring StickyFilePath(std::wstring_view documentPath);
// "<user data folder>\.sticky", no trailing separator.
std::wstring StickyFolder();

// The document's notes, the list made empty on first use.
NoteList& Notes(ZAZObject& document);
// A new yellow note of the default size at (x, y) of `page`, pinned 40 to
// the left and 120 below.
ZAZSticky* AddNoteAt(ZAZObject& document, std::int32_t page, std::int32_t x, std::int32_t y);
ZAZSticky* AddNote(ZAZObject& document, std::int32_t page, COLORREF colour, std::int32_t x, std::int32_t y,
                   std::int32_t width, std::int32_t height, std::int32_t style, std::int32_t pinX,
                   std::int32_t pinY);
// Writes the notes that are not deleted; with none the file is removed.
// The file is written under a temporary name and renamed into place, so that
// another viewer never reads half of it. False when the file could not be
// written or removed, or would be larger than kMaxStickyFileBytes (the
// notes stay as they are). The written file's time is recorded, so that
// ReloadIfChanged does not read the viewer's own notes back.
bool SaveNotes(ZAZObject& document);
// Reads the file unless the document already holds notes: only a regular
// file of at most kMaxStickyFileBytes, at most kMaxNotesPerDocument notes.
// The file's time is recorded whenever it exists, read or refused.
void LoadNotes(ZAZObject& document);
// Reads the file again when another viewer rewrote or removed it since it
// was last read (its time differs from the recorded one); true when the
// notes changed. One stat when nothing changed: the viewer asks every frame.
bool ReloadIfChanged(ZAZObject& document);
void ClearNotes(ZAZObject& document);

// The file format on its own, for the loader and the tests: the bytes of a
// ".sticky" file for `notes`, and the notes such bytes hold. A values line
// that does not hold nine numbers gives no note, and its text is skipped.
std::string FormatStickyFile(const NoteList& notes);
NoteList ParseStickyFile(std::string_view bytes);

// Where one page lies on screen while its notes are drawn.
struct NotePage {
    RECT rect{};  // left, top, right, bottom
    // Notes measure the page by openWidth and pageHeight when they are set
    // (both pages of a spread by the wider one), else by `rect`.
    std::int32_t pageNumber = 0;
    std::int32_t side = 1;  // 1 right of the spine, 0 left of it
    bool open = true;       // false: a stacked page, drawn as tabs
    // Device pixels per CSS pixel: the text, its inset and the pin's reach
    // grow with it.
    double textScale = 1.0;
    bool singlePage = false;
    bool rightStitch = false;
    // A slanted page (the lifted left page of a half-open book): its top
    // corners, bottom, and the larger open page width and the page height.
    bool slanted = false;
    POINT topLeft{};
    POINT topRight{};
    std::int32_t bottom = 0;
    std::int32_t openWidth = 0;
    std::int32_t pageHeight = 0;
};

// Draws the notes of one page (target null: only the hit test runs) and
// reports a hit into `hit` when it is editing. Document lock held. Notes on a
// slanted page are drawn but never hit; a tab is hit only on the part that
// sticks out beyond the page.
void DrawPageNotes(PixelBuffer* target, const NoteList& notes, const NotePage& page, NoteHitTest* hit);
// The tabs of the stacked pages fromPage..toPage (inclusive), all lying in
// `stack` (its pageNumber and open are ignored), in page order.
void DrawStackedNotes(PixelBuffer* target, const NoteList& notes, NotePage stack, std::int32_t fromPage,
                      std::int32_t toPage, NoteHitTest* hit);

// Resizes by a mouse movement of (dx, dy) pixels through a zone 0..7.
// `mirrored` for notes whose anchor is measured from the other edge.
void ResizeNote(ZAZSticky& note, std::int32_t zone, std::int32_t dx, std::int32_t dy, double sx, double sy,
                bool mirrored);

}  // namespace zov

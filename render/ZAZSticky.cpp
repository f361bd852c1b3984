#include "render/ZAZSticky.h"

#include "platform/DataFolder.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Locks.h"
#include "pixels/Draw.h"
#include "pixels/TextStrip.h"
#include "render/ZAZObject.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

namespace zov {

namespace {

// A line of the file is read in pieces of at most this many bytes, as a
// 1024-byte line buffer holds them.
constexpr std::size_t kLineBytes = 1023;
// The bands inside a note that resize it, and the reach of its pin.
constexpr std::int64_t kResizeBand = 10;
constexpr std::int64_t kPinReach = 5;
// Screen coordinates are kept this far from the int32 limits, so that the
// drawing primitives may add widths to them.
constexpr std::int64_t kFarOff = std::int64_t{1} << 29;
constexpr COLORREF kNoteText = RGB(0, 0, 0);
constexpr std::int32_t kNoteInset = 5;
constexpr std::uint32_t kPinColour = 0x000000;

std::int32_t ValueClamp(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, -kNoteCoordinateLimit, kNoteCoordinateLimit));
}

bool IsPlainFileName(std::wstring_view name) {
    if (name.empty() || name == L"." || name == L"..")
        return false;
    for (wchar_t c : name) {
        const bool control = c < 0x20 || (c >= 0x7F && c <= 0x9F);
        if (control || std::wstring_view(L"<>:\"/\\|?*").find(c) != std::wstring_view::npos)
            return false;
    }
    return true;
}

std::int64_t FileTimeValue(FileTime time) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
    // 0 means "none read": a file stamped at or before the epoch still counts.
    return std::max<std::int64_t>(ns, 1);
}

// What a text-mode stream writes: every LF becomes CR LF. A code page 932
// trail byte is never 0x0A, so this is safe after the conversion.
void AppendTextMode(std::string& out, std::string_view bytes) {
    for (char c : bytes) {
        if (c == '\n')
            out += '\r';
        out += c;
    }
}

// What a text-mode stream reads: CR LF becomes LF, a lone CR stays.
std::string FromTextMode(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n')
            continue;
        out += raw[i];
    }
    return out;
}

// Whether bytes[at] starts a double-byte character: a lead byte followed by
// a trail byte. A damaged pair counts as two characters, so that no line
// feed is ever taken for a trail byte.
bool StartsPair(std::string_view bytes, std::size_t at) {
    const auto lead = static_cast<unsigned char>(bytes[at]);
    if (!((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) || at + 1 >= bytes.size())
        return false;
    const auto trail = static_cast<unsigned char>(bytes[at + 1]);
    return trail >= 0x40 && trail <= 0xFC && trail != 0x7F;
}

// The file in lines of at most kLineBytes bytes, each up to and including
// its LF. A long line is cut before a double-byte character rather than
// through it, so that no piece decodes into a wrong character.
std::vector<std::wstring> SplitLines(std::string_view bytes) {
    std::vector<std::wstring> lines;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
        std::size_t end = pos;
        while (end < bytes.size()) {
            const std::size_t step = StartsPair(bytes, end) ? 2 : 1;
            if (end + step - pos > kLineBytes)
                break;
            const bool lineFeed = bytes[end] == '\n';
            end += step;
            if (lineFeed)
                break;
        }
        lines.push_back(FromCp932(bytes.substr(pos, end - pos)));
        pos = end;
    }
    return lines;
}

bool IsBlankLine(std::wstring_view line) {
    return line.find_first_not_of(L"\r\n") == std::wstring_view::npos;
}

bool IsSpace(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\n' || c == L'\v' || c == L'\f' || c == L'\r';
}

// One number as sscanf's %d or %x reads it, leading white space skipped;
// saturates far beyond every field's limit instead of overflowing.
bool ScanNumber(std::wstring_view& text, bool hex, std::int64_t& value) {
    std::size_t at = 0;
    while (at < text.size() && IsSpace(text[at]))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-'))
        negative = text[at++] == L'-';
    auto digitAt = [&](std::size_t k) {
        const wchar_t c = text[k];
        if (c >= 0x80)
            return -1;
        const int d = HexDigitValue(static_cast<char>(c));
        return hex || d < 10 ? d : -1;
    };
    if (hex && at + 2 < text.size() && text[at] == L'0' && (text[at + 1] == L'x' || text[at + 1] == L'X') &&
        digitAt(at + 2) >= 0)
        at += 2;
    const std::int64_t base = hex ? 16 : 10;
    std::int64_t number = 0;
    std::size_t digits = 0;
    for (; at < text.size(); ++at, ++digits) {
        const int digit = digitAt(at);
        if (digit < 0)
            break;
        number = std::min<std::int64_t>(number * base + digit, std::int64_t{1} << 40);
    }
    if (digits == 0)
        return false;
    value = negative ? -number : number;
    text.remove_prefix(at);
    return true;
}

// "%d %x %d %d %d %d %d %d %d": page, colour, x, y, width, height, style,
// pin x, pin y. Nothing unless all nine are there.
std::unique_ptr<ZAZSticky> ParseValues(std::wstring_view line) {
    std::int64_t v[9];
    for (int i = 0; i < 9; ++i) {
        if (!ScanNumber(line, i == 1, v[i]))
            return nullptr;
    }
    auto note = std::make_unique<ZAZSticky>();
    auto int32 = [](std::int64_t value) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
    };
    note->page = int32(v[0]);
    note->colour = static_cast<COLORREF>(static_cast<std::uint64_t>(v[1]) & 0xFFFFFF);
    note->x = ValueClamp(v[2]);
    note->y = ValueClamp(v[3]);
    note->width = ValueClamp(v[4]);
    note->height = ValueClamp(v[5]);
    note->style = int32(v[6]);
    note->pinX = ValueClamp(v[7]);
    note->pinY = ValueClamp(v[8]);
    return note;
}

bool EndsWithCrLf(std::wstring_view line) {
    return line.size() >= 2 && line[line.size() - 2] == L'\r' && line.back() == L'\n';
}

// Where a note lies on screen, in wide arithmetic.
struct NoteBox {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t right = 0;
    std::int64_t bottom = 0;
    std::int64_t pinX = 0;
    std::int64_t pinY = 0;
};

// The page's width and height as notes measure them.
std::int64_t PageWidth(const NotePage& page) {
    return page.openWidth > 0 ? page.openWidth : std::int64_t{page.rect.right} - page.rect.left;
}

std::int64_t PageHeight(const NotePage& page) {
    return page.pageHeight > 0 ? page.pageHeight : std::int64_t{page.rect.bottom} - page.rect.top;
}

bool Even(std::int32_t number) {
    return number % 2 == 0;
}

// The anchor measured from the page's other edge: a page seen on the side
// of the spine its number does not belong to.
bool MirroredAnchor(std::int32_t pageNumber, const NotePage& page) {
    if (page.singlePage)
        return false;
    const bool even = Even(pageNumber);
    if (page.side == 1)
        return page.rightStitch ? !even : even;
    return page.rightStitch ? even : !even;
}

// The x a tab is drawn with: 120 of its width beyond the page edge on the
// side the page would lie on if it were opened.
std::int32_t TabX(const ZAZSticky& note, const NotePage& page) {
    const bool outRight = page.singlePage ? page.side == 1 : (page.rightStitch ? Even(note.page) : !Even(note.page));
    return outRight ? 1000 + kTabReach - note.width : note.width - kTabReach;
}

NoteBox LevelBox(const ZAZSticky& note, std::int32_t x, const NotePage& page) {
    const std::int64_t pw = PageWidth(page);
    const std::int64_t ph = PageHeight(page);
    const double s = static_cast<double>(pw) / 1000.0;
    const std::int64_t anchorX = MirroredAnchor(note.page, page) ? 1000 - std::int64_t{x} : x;
    const auto width = static_cast<std::int64_t>(s * note.width);
    const auto height = static_cast<std::int64_t>(s * note.height);
    NoteBox box;
    const std::int64_t anchor = page.rect.left + pw * anchorX / 1000;
    if (page.side == 1) {
        box.left = anchor;
        box.right = anchor + width;
    } else {
        box.right = anchor;
        box.left = anchor - width;
    }
    box.top = page.rect.top + ph * note.y / 1000;
    box.bottom = box.top + height;
    box.pinX = page.rect.left + pw * note.pinX / 1000;
    box.pinY = page.rect.top + ph * note.pinY / 1000;
    for (std::int64_t* value : {&box.left, &box.top, &box.right, &box.bottom, &box.pinX, &box.pinY})
        *value = std::clamp(*value, -kFarOff, kFarOff);
    return box;
}

// The zone of a point inside a note on an open page.
std::int32_t BandZone(const NoteBox& box, POINT p) {
    const bool left = p.x < box.left + kResizeBand;
    const bool right = p.x > box.right - kResizeBand;
    const bool top = p.y < box.top + kResizeBand;
    const bool bottom = p.y > box.bottom - kResizeBand;
    if (left)
        return top ? kZoneTopLeft : bottom ? kZoneBottomLeft : kZoneLeft;
    if (right)
        return top ? kZoneTopRight : bottom ? kZoneBottomRight : kZoneRight;
    if (top)
        return kZoneTop;
    if (bottom)
        return kZoneBottom;
    return kZoneBody;
}

void HitLevelNote(ZAZSticky& note, const NoteBox& box, const NotePage& page, NoteHitTest& hit) {
    const POINT p = hit.point;
    const bool inside = box.left <= p.x && p.x < box.right && box.top <= p.y && p.y < box.bottom;
    if (!page.open) {
        // Tabs lie under the pages: only the part sticking out can be seen,
        // so only that part can be hit.
        const bool outsidePage = p.x < page.rect.left || p.x >= page.rect.right;
        if (!inside || !outsidePage)
            return;
        hit.zone = kZoneBody;
    } else {
        const std::int64_t reach = std::llround(kPinReach * std::max(page.textScale, 1.0));
        const bool nearPin = std::llabs(p.x - box.pinX) <= reach && std::llabs(p.y - box.pinY) <= reach;
        if (!inside && !nearPin)
            return;
        hit.zone = nearPin ? kZonePin : BandZone(box, p);
    }
    hit.note = &note;
    hit.sx = 1000.0 / static_cast<double>(PageWidth(page));
    hit.sy = 1000.0 / static_cast<double>(PageHeight(page));
}

void DrawPin(PixelBuffer& target, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1) {
    // The line primitive draws straight lines one way only; a pin points
    // wherever the reader put it.
    if ((y0 == y1 && x1 < x0) || (x0 == x1 && y1 < y0)) {
        std::swap(x0, x1);
        std::swap(y0, y1);
    }
    DrawLine(target, x0, y0, x1, y1, kPinColour);
}

void DrawLevelNote(PixelBuffer& target, const ZAZSticky& note, const NoteBox& box, const NotePage& page) {
    const auto left = static_cast<std::int32_t>(box.left);
    const auto top = static_cast<std::int32_t>(box.top);
    const auto right = static_cast<std::int32_t>(box.right);
    const auto bottom = static_cast<std::int32_t>(box.bottom);
    const double scale = std::max(page.textScale, 1.0);
    const auto inset = static_cast<std::int32_t>(std::lround(kNoteInset * scale));
    DrawTextStrip(target, left, top, right - left, bottom - top, note.text, L"", kNoteText, note.colour, inset, inset,
                  inset, kNoteFormat, scale);
    DrawOutline(target, left, top, right, bottom);
    if (page.open) {
        const auto pinX = static_cast<std::int32_t>(box.pinX);
        const auto pinY = static_cast<std::int32_t>(box.pinY);
        DrawPin(target, left, bottom >= pinY ? top : bottom, pinX, pinY);
    }
}

// A note on the lifted page of a half-open book: a block of its colour that
// follows the page's arc, without text, outline or pin.
void DrawSlantedNote(PixelBuffer& target, const ZAZSticky& note, std::int32_t x, const NotePage& page) {
    const std::int64_t x0 = page.topLeft.x, y0 = page.topLeft.y;
    const std::int64_t x1 = page.topRight.x, y1 = page.topRight.y;
    const std::int64_t yB = page.bottom;
    const std::int64_t u = x1 - x0;
    const std::int64_t w = page.openWidth;
    if (u <= 0 || w <= 0 || target.Empty())
        return;
    const double s2 = static_cast<double>(std::max<std::int64_t>(w, page.pageHeight)) / 1000.0;
    const std::int64_t anchorX = Even(note.page) ? x : 1000 - std::int64_t{x};
    const auto n = static_cast<std::int64_t>(s2 * note.width);
    const auto rows = static_cast<std::int64_t>(s2 * note.height);
    const std::int64_t anchor = x0 + u * anchorX / 1000;
    std::int64_t from, to, edge, e, rise;
    if (page.side == 1) {
        from = anchor;
        to = anchor + n * u / w;
        edge = x1;
        e = y0 + (yB - y1) * note.y / 1000;
        rise = y0 - y1;
    } else {
        from = anchor - n * u / w;
        to = anchor;
        edge = x0;
        e = y1 + (yB - y1) * note.y / 1000;
        rise = y1 - y0;
    }
    from = std::max<std::int64_t>(from, 0);
    to = std::min<std::int64_t>(to, target.Width());
    const std::uint32_t colour = PixelFromColorRef(note.colour);
    const double uu = static_cast<double>(u) * static_cast<double>(u);
    for (std::int64_t i = from; i < to; ++i) {
        const double di = static_cast<double>(i - edge);
        const double d = std::sqrt(std::max(uu - di * di, 0.0));
        const auto first = static_cast<std::int64_t>(static_cast<double>(e) - d * static_cast<double>(rise) / u);
        const std::int64_t top = std::max<std::int64_t>(first, 0);
        const std::int64_t bottom = std::min<std::int64_t>(first + rows, target.Height());
        for (std::int64_t row = top; row < bottom; ++row)
            target.At(static_cast<std::int32_t>(i), static_cast<std::int32_t>(row)) = colour;
    }
}

// One note of `page` (already known to be its page and not deleted).
void DrawNote(PixelBuffer* target, ZAZSticky& note, const NotePage& page, NoteHitTest* hit) {
    const std::int32_t x = page.open ? note.x : TabX(note, page);
    if (page.slanted) {
        // The lifted page is only looked at, never edited: no hit test.
        if (target)
            DrawSlantedNote(*target, note, x, page);
        return;
    }
    const NoteBox box = LevelBox(note, x, page);
    if (target)
        DrawLevelNote(*target, note, box, page);
    if (hit && hit->editing)
        HitLevelNote(note, box, page, *hit);
}

bool Drawable(const NotePage& page) {
    return PageWidth(page) > 0 && PageHeight(page) > 0;
}

}  // namespace

int CursorForZone(std::int32_t zone) {
    switch (zone) {
    case kZoneLeft:
    case kZoneRight:
        return IDC_SIZEWE;
    case kZoneTop:
    case kZoneBottom:
        return IDC_SIZENS;
    case kZoneTopLeft:
    case kZoneBottomRight:
        return IDC_SIZENWSE;
    case kZoneBottomLeft:
    case kZoneTopRight:
        return IDC_SIZENESW;
    case kZonePin:
        return IDC_CROSS;
    case kZoneBody:
        return IDC_ARROW;
    default:
        return 0;
    }
}

std::wstring StickyFilePath(std::wstring_view documentPath) {
    const std::size_t cut = documentPath.find_last_of(L"/\\");
    const std::wstring_view name = cut == std::wstring_view::npos ? documentPath : documentPath.substr(cut + 1);
    if (!IsPlainFileName(name))
        return {};
    return StickyFolder() + L"\\" + std::wstring(name) + L".sticky";
}

std::wstring StickyFolder() {
    return UserDataFolder() + L".sticky";
}

NoteList& Notes(ZAZObject& document) {
    LockGuard guard(DocumentLock());
    if (!document.notes)
        document.notes = std::make_unique<NoteList>();
    return *document.notes;
}

ZAZSticky* AddNoteAt(ZAZObject& document, std::int32_t page, std::int32_t x, std::int32_t y) {
    return AddNote(document, page, 0x0000FFFF, x, y, 220, 80, 11, x - 40, y + 120);
}

ZAZSticky* AddNote(ZAZObject& document, std::int32_t page, COLORREF colour, std::int32_t x, std::int32_t y,
                   std::int32_t width, std::int32_t height, std::int32_t style, std::int32_t pinX,
                   std::int32_t pinY) {
    LockGuard guard(DocumentLock());
    auto note = std::make_unique<ZAZSticky>();
    note->page = page;
    note->colour = colour;
    note->x = x;
    note->y = y;
    note->width = width;
    note->height = height;
    note->style = style;
    note->pinX = pinX;
    note->pinY = pinY;
    NoteList& list = Notes(document);
    list.push_back(std::move(note));
    return list.back().get();
}

std::string FormatStickyFile(const NoteList& notes) {
    std::string out;
    int written = 0;
    for (const std::unique_ptr<ZAZSticky>& note : notes) {
        if (!note || note->deleted)
            continue;
        char line[160];
        std::snprintf(line, sizeof line, "%%STICKY %d\r\n", ++written);
        AppendTextMode(out, line);
        std::snprintf(line, sizeof line, "%d %06X %d %d %d %d %d %d %d\r\n", note->page,
                      static_cast<unsigned>(note->colour & 0xFFFFFF), note->x, note->y, note->width, note->height,
                      note->style, note->pinX, note->pinY);
        AppendTextMode(out, line);
        AppendTextMode(out, ToCp932(note->text));
        if (!note->text.empty() && note->text.back() != L'\n')
            AppendTextMode(out, "\r\n");
    }
    out += "%EOF";
    return out;
}

NoteList ParseStickyFile(std::string_view bytes) {
    NoteList notes;
    const std::vector<std::wstring> lines = SplitLines(FromTextMode(bytes));
    // A line counts only while another follows it: the last one is the end
    // marker, or a line cut off by a writer that did not finish.
    const std::size_t last = lines.empty() ? 0 : lines.size() - 1;
    std::size_t i = 0;
    while (i < last && notes.size() < kMaxNotesPerDocument) {
        const std::wstring& line = lines[i];
        if (IsBlankLine(line) || line.front() == L'%') {
            ++i;
            continue;
        }
        std::unique_ptr<ZAZSticky> note = ParseValues(line);
        std::size_t next = i + 1;
        for (; next < last && (lines[next].empty() || lines[next].front() != L'%'); ++next) {
            if (!note)
                continue;  // the text of a values line that gave no note
            note->text += lines[next];
            if (!EndsWithCrLf(lines[next]))
                note->text += L"\r\n";
        }
        if (note) {
            const std::size_t keep = note->text.find_last_not_of(L"\r\n");
            note->text.resize(keep == std::wstring::npos ? 0 : keep + 1);
            notes.push_back(std::move(note));
        }
        i = next;
    }
    return notes;
}

bool SaveNotes(ZAZObject& document) {
    try {
        LockGuard guard(DocumentLock());
        const std::wstring path = StickyFilePath(document.path);
        if (path.empty())
            return false;
        const NoteList& notes = Notes(document);
        const bool any =
            std::any_of(notes.begin(), notes.end(), [](const auto& note) { return note && !note->deleted; });
        if (!any) {
            RemoveFile(path);
            // What is on disk is what the viewer holds: nothing to read back.
            document.stickyFileTime = 0;
            return !PathExists(path);
        }
        const std::string bytes = FormatStickyFile(notes);
        // A file no viewer would read back is not written.
        if (bytes.size() > kMaxStickyFileBytes)
            return false;
        CreateFolderTree(StickyFolder());
        if (!WriteFileAtomically(path, bytes))
            return false;
        // Our own file is not read back: that would replace the notes a
        // reader is still dragging or writing in with copies of themselves.
        if (const std::optional<FileTime> time = ModificationTime(path))
            document.stickyFileTime = FileTimeValue(*time);
        return true;
    } catch (...) {
        return false;
    }
}

void LoadNotes(ZAZObject& document) {
    try {
        LockGuard guard(DocumentLock());
        NoteList& list = Notes(document);
        if (!list.empty())
            return;
        const std::wstring path = StickyFilePath(document.path);
        if (path.empty())
            return;
        // The time is taken first: a file replaced while it is read is then
        // read once more, never missed.
        const std::optional<FileTime> time = ModificationTime(path);
        if (!time)
            return;
        // Recorded even for a file that is refused, so that it is not tried
        // again at every frame until it changes.
        document.stickyFileTime = FileTimeValue(*time);
        const std::optional<std::string> bytes = ReadRegularFile(path, kMaxStickyFileBytes);
        if (!bytes)
            return;
        for (std::unique_ptr<ZAZSticky>& note : ParseStickyFile(*bytes))
            list.push_back(std::move(note));
    } catch (...) {
    }
}

bool ReloadIfChanged(ZAZObject& document) {
    try {
        LockGuard guard(DocumentLock());
        const std::wstring path = StickyFilePath(document.path);
        if (path.empty())
            return false;
        const bool had = document.notes && !document.notes->empty();
        const std::optional<FileTime> time = ModificationTime(path);
        if (time) {
            // Any other time, not only a later one: a file put back from a
            // copy, or written on a machine whose clock is behind, counts too.
            if (FileTimeValue(*time) == document.stickyFileTime)
                return false;
            ClearNotes(document);
            LoadNotes(document);
            return had || !document.notes->empty();
        }
        if (document.stickyFileTime == 0)
            return false;
        ClearNotes(document);
        return true;
    } catch (...) {
        return false;
    }
}

void ClearNotes(ZAZObject& document) {
    LockGuard guard(DocumentLock());
    document.notes.reset();
    document.stickyFileTime = 0;
}

void DrawPageNotes(PixelBuffer* target, const NoteList& notes, const NotePage& page, NoteHitTest* hit) {
    LockGuard guard(DocumentLock());
    if (!Drawable(page) || (!target && !(hit && hit->editing)))
        return;
    for (const std::unique_ptr<ZAZSticky>& note : notes) {
        if (note && !note->deleted && note->page == page.pageNumber)
            DrawNote(target, *note, page, hit);
    }
}

void DrawStackedNotes(PixelBuffer* target, const NoteList& notes, NotePage stack, std::int32_t fromPage,
                      std::int32_t toPage, NoteHitTest* hit) {
    LockGuard guard(DocumentLock());
    stack.open = false;
    if (fromPage > toPage || !Drawable(stack) || (!target && !(hit && hit->editing)))
        return;
    // In page order, each page's notes in list order, without a walk over
    // every page number of a long document.
    std::vector<ZAZSticky*> tabs;
    for (const std::unique_ptr<ZAZSticky>& note : notes) {
        if (note && !note->deleted && note->page >= fromPage && note->page <= toPage)
            tabs.push_back(note.get());
    }
    std::stable_sort(tabs.begin(), tabs.end(),
                     [](const ZAZSticky* a, const ZAZSticky* b) { return a->page < b->page; });
    for (ZAZSticky* note : tabs) {
        stack.pageNumber = note->page;
        DrawNote(target, *note, stack, hit);
    }
}

void ResizeNote(ZAZSticky& note, std::int32_t zone, std::int32_t dx, std::int32_t dy, double sx, double sy,
                bool mirrored) {
    if (zone < kZoneLeft || zone > kZoneTopRight)
        return;
    const auto dxs = static_cast<std::int64_t>(dx * sx);
    const auto dys = static_cast<std::int64_t>(dy * sy);
    const auto dhs = static_cast<std::int64_t>(dy * sx);
    std::int64_t x = note.x, y = note.y, width = note.width, height = note.height;
    const bool left = zone == kZoneLeft || zone == kZoneTopLeft || zone == kZoneBottomLeft;
    const bool right = zone == kZoneRight || zone == kZoneTopRight || zone == kZoneBottomRight;
    const bool top = zone == kZoneTop || zone == kZoneTopLeft || zone == kZoneTopRight;
    const bool bottom = zone == kZoneBottom || zone == kZoneBottomLeft || zone == kZoneBottomRight;
    // A mirrored note is anchored at its right edge: moving the left edge
    // only changes the width, moving the right edge moves the anchor too.
    if (left) {
        if (!mirrored)
            x += dxs;
        width -= dxs;
    }
    if (right) {
        if (mirrored)
            x += dxs;
        width += dxs;
    }
    if (top) {
        y += dys;
        height -= dhs;
    }
    if (bottom)
        height += dhs;
    if (width < kMinNoteSize) {
        x = note.x;
        width = kMinNoteSize;
    }
    if (height < kMinNoteSize) {
        y = note.y;
        height = kMinNoteSize;
    }
    note.x = ValueClamp(x);
    note.y = ValueClamp(y);
    note.width = ValueClamp(width);
    note.height = ValueClamp(height);
}

}  // namespace zov

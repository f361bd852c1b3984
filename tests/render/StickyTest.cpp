#include "documents/PreviewSettings.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "pixels/Draw.h"
#include "render/PageCache.h"
#include "render/ZAZObject.h"
#include "render/ZAZSticky.h"
#include "tests/support/TempDataHome.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

namespace zov {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kBackground = 0x336699;
constexpr std::uint32_t kYellow = 0xFFFF00;  // the default note colour as a pixel

// The two records of the format's own example, as a viewer writes them.
const std::string kTwoNotes =
    "%STICKY 1\r\r\n3 00FFFF 120 450 220 80 11 80 570\r\r\nabc\r\r\n"
    "%STICKY 2\r\r\n4 80FF00 10 20 300 90 11 5 6\r\r\nline one\r\r\nline two\r\r\n%EOF";

std::unique_ptr<ZAZSticky> MakeNote(std::int32_t page, std::int32_t x, std::int32_t y, std::int32_t width,
                                    std::int32_t height, std::wstring text = L"") {
    return std::make_unique<ZAZSticky>(ZAZSticky{page, x, y, 0x00FFFF, std::move(text), false, width, height});
}

std::unique_ptr<PixelBuffer> Canvas(std::int32_t w, std::int32_t h, std::uint32_t colour = kBackground) {
    auto canvas = PixelBuffer::Create(w, h);
    std::fill_n(canvas->Pixels(), canvas->PixelCount(), colour);
    return canvas;
}

using Pixels = std::vector<std::uint32_t>;
Pixels At(const PixelBuffer& buffer, std::initializer_list<POINT> points) {
    Pixels found;
    for (POINT p : points)
        found.push_back(buffer.At(p.x, p.y));
    return found;
}

// An open right-hand page 100 x 140 pixels: one thousandth of its width is a
// tenth of a pixel.
NotePage OpenPage(std::int32_t number) {
    NotePage page;
    page.rect = RECT{120, 10, 220, 150};
    page.pageNumber = number;
    return page;
}

TEST(StickyFile, HandWrittenBytesReadAndWriteBackTheSame) {
    NoteList notes = ParseStickyFile(kTwoNotes);
    ASSERT_EQ(notes.size(), 2u);
    const ZAZSticky& a = *notes[0];
    EXPECT_EQ(std::vector<std::int32_t>({a.page, a.x, a.y, a.width, a.height, a.style, a.pinX, a.pinY}),
              std::vector<std::int32_t>({3, 120, 450, 220, 80, 11, 80, 570}));
    EXPECT_EQ(a.colour, 0x00FFFFu);
    EXPECT_EQ(a.text, L"abc");
    EXPECT_EQ(notes[1]->colour, RGB(0x00, 0xFF, 0x80));
    EXPECT_EQ(notes[1]->text, L"line one\r\nline two");
    // A text ending in a line break gets no second one; a deleted note is
    // neither written nor counted; an empty text writes nothing.
    notes[1]->text += L"\r\n";
    notes.insert(notes.begin() + 1, MakeNote(9, 0, 0, 220, 80, L"gone"));
    notes[1]->deleted = true;
    EXPECT_EQ(FormatStickyFile(notes), kTwoNotes);
    NoteList empty;
    empty.push_back(MakeNote(1, 1, 2, 220, 80));
    EXPECT_EQ(FormatStickyFile(empty), "%STICKY 1\r\r\n1 00FFFF 1 2 220 80 11 0 0\r\r\n%EOF");

    // Japanese text goes through code page 932 both ways.
    notes[0]->text = L"付箋のテスト";
    const std::string bytes = FormatStickyFile(notes);
    EXPECT_NE(bytes.find("\r\r\n" + ToCp932(L"付箋のテスト") + "\r\r\n"), std::string::npos);
    EXPECT_EQ(ParseStickyFile(bytes).at(0)->text, L"付箋のテスト");
}

TEST(StickyFile, TheLineRuleAtItsEdges) {
    // A values line straight before a header, a text line starting with '%',
    // a values line that is no numbers, blank lines, and a last record
    // without the end marker.
    const std::string bytes =
        "%STICKY 1\r\r\n2 0000FF 1 2 220 80 11 0 0\r\r\n"
        "%STICKY 2\r\r\n5 00FF00 3 4 220 80 11 0 0\r\r\nkept\r\r\n%not text\r\r\nlost\r\r\n"
        "%STICKY 3\r\r\n7 00FF00 three\r\r\n1 2 3 4 5 6 7 8 9\r\r\n"
        "\r\r\n\r\n%STICKY 4\r\r\n8 FF0000 5 6 220 80 11 0 0\r\r\ncut off";
    NoteList notes = ParseStickyFile(bytes);
    // "lost" followed a '%' line, so it was read as a values line and gave
    // nothing; the text under "three" was skipped with it. The last line of
    // a file is never read.
    ASSERT_EQ(notes.size(), 3u);
    std::vector<std::pair<std::int32_t, std::wstring>> read;
    for (const auto& note : notes)
        read.emplace_back(note->page, note->text);
    EXPECT_EQ(read, (std::vector<std::pair<std::int32_t, std::wstring>>{{2, L""}, {5, L"kept"}, {8, L""}}));

    // A line longer than 1023 bytes comes back in pieces, each ending the
    // text line it started, and never through a double-byte character.
    std::wstring longLine = std::wstring(1022, L'a') + L"漢字";
    // A damaged double-byte character does not swallow the line feed.
    EXPECT_EQ(ParseStickyFile("1 00FFFF 1 2 3 4 5 6 7\nab\x81\n%EOF").at(0)->text, L"ab\uFFFD");
    notes.resize(1);
    notes[0]->text = longLine;
    EXPECT_EQ(ParseStickyFile(FormatStickyFile(notes)).at(0)->text, std::wstring(1022, L'a') + L"\r\n漢字");
}

TEST(StickyFile, HostileNumbersAndCountsAreBounded) {
    NoteList notes = ParseStickyFile(
        "%STICKY 1\r\r\n99999999999 1FFFFFFFF -99999999999 2147483648 999999 -5 11 0 0\r\r\nx\r\r\n%EOF");
    ASSERT_EQ(notes.size(), 1u);
    const ZAZSticky& n = *notes[0];
    EXPECT_EQ(std::vector<std::int64_t>({n.page, n.colour, n.x, n.y, n.width, n.height}),
              std::vector<std::int64_t>({INT32_MAX, 0xFFFFFF, -kNoteCoordinateLimit, kNoteCoordinateLimit,
                                         kNoteCoordinateLimit, -5}));
    // Drawing the clamped note neither overflows nor leaves the buffer.
    DrawPageNotes(Canvas(50, 50).get(), notes, OpenPage(INT32_MAX), nullptr);

    std::string many;
    for (std::size_t i = 0; i < kMaxNotesPerDocument + 50; ++i)
        many += "%STICKY 1\r\r\n1 00FFFF 1 2 220 80 11 0 0\r\r\n";
    EXPECT_EQ(ParseStickyFile(many + "%EOF").size(), kMaxNotesPerDocument);
}

// Real files in a temporary data folder, and books of six white pages
// 177 x 250 pixels open at pages 2 and 3, the spine at x 240.
class StickyNotes : public test::TempDataHome {
protected:
    void SetUp() override {
        TempDataHome::SetUp();
        PreviewSettings settings;
        settings.previewRoot = WideRoot() + L"\\previews";
        SetPreviewSettings(settings);
        ResetSlots();
        layout_.pageWidth = 180;
        layout_.pageHeight = 250;
        layout_.openWidth = 180;
        layout_.leafLift = 0;
        layout_.openFactor = 1.0;
        layout_.rightStitch = 0;
        layout_.singlePage = 0;
    }
    void TearDown() override {
        StopDownloadThread();
        ResetSlots();
        SetPreviewSettings(PreviewSettings{});
        TempDataHome::TearDown();
    }

    std::unique_ptr<ZAZObject> Document(const std::wstring& name) {
        return std::make_unique<ZAZObject>(L"http://server/docs/" + name, name, &layout_, L"", false);
    }
    std::string NotesFile(const std::string& name) const { return Root() + "/ZOVuvazaR/.sticky/" + name + ".sticky"; }
    void WriteNotesFile(const std::string& name, const std::string& bytes) {
        WriteBytes("ZOVuvazaR/.sticky/" + name + ".sticky", bytes);
    }

    std::unique_ptr<ZAZObject> Book() {
        auto book = Document(L"book.pdf");
        book->pages.emplace();
        for (int n = 1; n <= 6; ++n)
            book->pages->push_back(std::make_unique<ZAZImage>(book->path, book->caption, n, Canvas(50, 70, 0xFFFFFF),
                                                              Canvas(200, 282, 0xFFFFFF)));
        book->loadState = 4;
        book->x = 240;
        book->y = 25;
        book->flipState = kFlipNext;
        book->pagePosition = 2;
        book->Relayout();
        return book;
    }
    std::unique_ptr<PixelBuffer> Frame(ZAZObject& book) {
        auto frame = Canvas(480, 300);
        book.Draw(frame.get(), false, kDrawAll, true);
        return frame;
    }

    ZAZLayout layout_;
};

TEST_F(StickyNotes, SaveWritesTheFormatRemovesWhenAllAreDeletedAndLoadKeepsEveryPage) {
    auto doc = Document(L"report.pdf");
    EXPECT_EQ(StickyFilePath(doc->path), WideRoot() + L"\\ZOVuvazaR\\.sticky\\report.pdf.sticky");
    ZAZSticky* note = AddNoteAt(*doc, 3, 120, 450);
    note->text = L"abc";
    ASSERT_TRUE(SaveNotes(*doc));  // makes the missing folders
    EXPECT_EQ(ReadBytes(NotesFile("report.pdf")),
              "%STICKY 1\r\r\n3 00FFFF 120 450 220 80 11 80 570\r\r\nabc\r\r\n%EOF");
    // Only the file itself is left: the temporary was renamed into place.
    EXPECT_EQ(std::distance(fs::directory_iterator(Root() + "/ZOVuvazaR/.sticky"), fs::directory_iterator()), 1);

    note->deleted = true;
    EXPECT_TRUE(SaveNotes(*doc));
    EXPECT_FALSE(fs::exists(NotesFile("report.pdf")));

    // Notes of pages the document lacks are kept, in file order; a list
    // that holds notes is not loaded into.
    WriteNotesFile("short.pdf", "%STICKY 1\r\r\n5 00FFFF 1 2 220 80 11 0 0\r\r\n"
                                "%STICKY 2\r\r\n2 00FFFF 3 4 220 80 11 0 0\r\r\n%EOF");
    auto shortDoc = Document(L"short.pdf");
    LoadNotes(*shortDoc);
    ASSERT_EQ(Notes(*shortDoc).size(), 2u);
    EXPECT_EQ(Notes(*shortDoc)[0]->page, 5);
    EXPECT_EQ(Notes(*shortDoc)[1]->page, 2);
    LoadNotes(*shortDoc);
    EXPECT_EQ(Notes(*shortDoc).size(), 2u);
}

TEST_F(StickyNotes, ReloadsAfterAnotherViewerRewritesOrRemovesTheFile) {
    auto mine = Document(L"shared.pdf");
    auto theirs = Document(L"shared.pdf");  // another viewer of the same user
    AddNoteAt(*theirs, 1, 100, 100)->text = L"first";
    ASSERT_TRUE(SaveNotes(*theirs));
    EXPECT_TRUE(ReloadIfChanged(*mine));
    ASSERT_EQ(Notes(*mine).size(), 1u);
    EXPECT_FALSE(ReloadIfChanged(*mine));

    AddNoteAt(*theirs, 2, 300, 300)->text = L"second";
    ASSERT_TRUE(SaveNotes(*theirs));
    const fs::path file = NotesFile("shared.pdf");
    fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(2));
    EXPECT_TRUE(ReloadIfChanged(*mine));
    ASSERT_EQ(Notes(*mine).size(), 2u);
    EXPECT_EQ(Notes(*mine)[1]->text, L"second");

    fs::remove(file);
    EXPECT_TRUE(ReloadIfChanged(*mine));
    EXPECT_EQ(mine->notes, nullptr);
    EXPECT_EQ(mine->stickyFileTime, 0);
    EXPECT_FALSE(ReloadIfChanged(*mine));
}

TEST_F(StickyNotes, HostileFilesAndPathsGiveNoNotes) {
    // Larger than the bound: not read, and not tried again until it changes.
    WriteNotesFile("huge.pdf", "%STICKY 1\r\r\n1 00FFFF 1 2 220 80 11 0 0\r\r\n" +
                                   std::string(kMaxStickyFileBytes, 'x') + "\r\r\n%EOF");
    auto huge = Document(L"huge.pdf");
    EXPECT_FALSE(ReloadIfChanged(*huge));
    EXPECT_TRUE(Notes(*huge).empty());
    EXPECT_NE(huge->stickyFileTime, 0);
    EXPECT_FALSE(ReloadIfChanged(*huge));

    // A named pipe would block a reader for ever; a folder is no file.
    fs::create_directories(Root() + "/ZOVuvazaR/.sticky");
    ASSERT_EQ(mkfifo(NotesFile("pipe.pdf").c_str(), 0600), 0);
    auto pipe = Document(L"pipe.pdf");
    LoadNotes(*pipe);
    EXPECT_TRUE(Notes(*pipe).empty());
    fs::create_directories(NotesFile("folder.pdf"));
    auto folder = Document(L"folder.pdf");
    LoadNotes(*folder);
    AddNoteAt(*folder, 1, 0, 0);
    EXPECT_FALSE(SaveNotes(*folder));
    EXPECT_TRUE(fs::is_directory(NotesFile("folder.pdf")));

    // A last component that is no plain file name reads and writes nothing.
    const std::vector<std::wstring> badPaths = {L"http://server/view?doc=a.pdf", L"http://server/docs/",
                                                L"C:\\docs\\..", L"C:\\docs\\.", L"a:b.pdf", L"star*.pdf",
                                                L"tab\t.pdf"};
    for (const std::wstring& path : badPaths) {
        EXPECT_EQ(StickyFilePath(path), L"") << ToUtf8(path);
        ZAZObject doc(path, L"", &layout_, L"", false);
        AddNoteAt(doc, 1, 0, 0);
        EXPECT_FALSE(SaveNotes(doc));
        EXPECT_FALSE(ReloadIfChanged(doc));
        EXPECT_EQ(Notes(doc).size(), 1u);
    }

    // Notes too long to be read back are not written over the old file.
    auto wordy = Document(L"wordy.pdf");
    AddNoteAt(*wordy, 1, 0, 0)->text = std::wstring(kMaxStickyFileBytes, L'w');
    EXPECT_FALSE(SaveNotes(*wordy));
    EXPECT_FALSE(fs::exists(NotesFile("wordy.pdf")));
}

TEST(NoteGeometry, TabsStickOutTheSameWhateverParityAndBinding) {
    // 220 thousandths of a 100-pixel page are 22 pixels; the page spans
    // 120..220, so a tab on the right spans 210..232 and on the left 108..130.
    for (int rightStitch = 0; rightStitch < 2; ++rightStitch) {
        for (int singlePage = 0; singlePage < 2; ++singlePage) {
            for (int number = 4; number <= 5; ++number) {
                for (int side = 0; side < 2; ++side) {
                    NoteList notes;
                    notes.push_back(MakeNote(number, 500, 100, 220, 200));
                    NotePage stack = OpenPage(0);
                    stack.side = side;
                    stack.rightStitch = rightStitch;
                    stack.singlePage = singlePage;
                    auto canvas = Canvas(300, 100);
                    DrawStackedNotes(canvas.get(), notes, stack, 1, 10, nullptr);
                    const std::int32_t l = side ? 210 : 108, r = l + 22;
                    EXPECT_EQ(At(*canvas, {{l - 1, 25}, {l, 25}, {l + 1, 25}, {r - 1, 25}, {r, 25}, {r + 1, 25}}),
                              (Pixels{kBackground, kOutlineGrey, kYellow, kYellow, kOutlineGrey, kBackground}))
                        << rightStitch << singlePage << number << side;
                    EXPECT_EQ(std::count(canvas->Pixels(), canvas->Pixels() + canvas->PixelCount(), 0u), 0)
                        << "no pin line on a tab";
                }
            }
        }
    }
}

TEST(NoteGeometry, ResizeBothWaysAndNeverBelowTheMinimum) {
    ZAZSticky note;
    note.x = 500;
    note.y = 300;
    auto box = [&] { return std::vector<std::int32_t>{note.x, note.y, note.width, note.height}; };
    ResizeNote(note, kZoneLeft, 10, 0, 2.0, 1.0, false);  // the left edge is the anchor
    EXPECT_EQ(box(), (std::vector<std::int32_t>{520, 300, 200, 80}));
    ResizeNote(note, kZoneLeft, 10, 0, 2.0, 1.0, true);  // anchored at the right edge
    EXPECT_EQ(box(), (std::vector<std::int32_t>{520, 300, 180, 80}));
    ResizeNote(note, kZoneTopRight, 5, -7, 2.0, 3.0, true);  // height in page-width thousandths
    EXPECT_EQ(box(), (std::vector<std::int32_t>{530, 279, 190, 94}));
    ResizeNote(note, kZoneTopLeft, 80, 30, 2.0, 1.0, false);  // to 30 x 34: both kept at 40
    EXPECT_EQ(box(), (std::vector<std::int32_t>{530, 279, kMinNoteSize, kMinNoteSize}));
    ResizeNote(note, kZoneBody, 100, 100, 1.0, 1.0, false);
    EXPECT_EQ(box(), (std::vector<std::int32_t>{530, 279, kMinNoteSize, kMinNoteSize}));
}

TEST(NoteGeometry, HitZonesBandsPinAndTheLastNoteWins) {
    // Page 100 x 140 at (120, 10); s = 0.1: the note spans (140, 24) - (180, 64).
    NoteList notes;
    notes.push_back(MakeNote(3, 200, 100, 400, 400));
    notes.back()->pinX = 900;  // pin at (210, 94)
    notes.back()->pinY = 600;
    auto hitAt = [&](std::int32_t x, std::int32_t y) {
        NoteHitTest hit;
        hit.editing = true;
        hit.point = POINT{x, y};
        DrawPageNotes(nullptr, notes, OpenPage(3), &hit);
        return hit;
    };
    const std::pair<POINT, std::int32_t> probes[] = {
        {{141, 25}, kZoneTopLeft},  {{141, 62}, kZoneBottomLeft},  {{149, 44}, kZoneLeft},  {{178, 25}, kZoneTopRight},
        {{171, 63}, kZoneBottomRight}, {{179, 44}, kZoneRight}, {{160, 33}, kZoneTop}, {{160, 55}, kZoneBottom},
        {{160, 44}, kZoneBody}, {{150, 34}, kZoneBody}, {{215, 89}, kZonePin}, {{205, 99}, kZonePin},
        {{216, 94}, kZoneNone}, {{180, 44}, kZoneNone}, {{139, 44}, kZoneNone}};
    for (const auto& [point, zone] : probes) {
        const NoteHitTest hit = hitAt(point.x, point.y);
        EXPECT_EQ(hit.zone, zone) << point.x << "," << point.y;
        EXPECT_EQ(hit.note, zone == kZoneNone ? nullptr : notes[0].get());
    }
    const NoteHitTest hit = hitAt(160, 44);
    EXPECT_DOUBLE_EQ(hit.sx, 10.0);
    EXPECT_DOUBLE_EQ(hit.sy, 1000.0 / 140);
    EXPECT_EQ(CursorForZone(hit.zone), IDC_ARROW);

    // A second note over the first is drawn later and so wins; a deleted
    // one is neither drawn nor hit.
    notes.push_back(MakeNote(3, 300, 200, 400, 400));
    EXPECT_EQ(hitAt(160, 44).note, notes[1].get());
    notes[1]->deleted = true;
    EXPECT_EQ(hitAt(160, 44).note, notes[0].get());

    // A tab (page 7, x 210..232) is hit only where it sticks out from under
    // its page, which ends at 220.
    NoteList tabs;
    tabs.push_back(MakeNote(7, 0, 100, 220, 400));
    for (const auto& [x, found] : {std::pair{225, true}, std::pair{215, false}}) {
        NoteHitTest hit;
        hit.editing = true;
        hit.point = POINT{x, 30};
        DrawStackedNotes(nullptr, tabs, OpenPage(0), 4, 9, &hit);
        EXPECT_EQ(hit.note, found ? tabs[0].get() : nullptr);
        EXPECT_EQ(hit.zone, found ? kZoneBody : kZoneNone);
    }
}

TEST(NoteDrawing, ANoteIsAColouredStripWithTextOutlineAndPin) {
    NoteList notes;
    notes.push_back(MakeNote(3, 200, 100, 400, 300, L"abc"));
    notes.back()->pinX = 100;  // (130, 94): below the note, so the line starts at its bottom
    notes.back()->pinY = 600;
    auto canvas = Canvas(300, 200);
    DrawPageNotes(canvas.get(), notes, OpenPage(3), nullptr);
    // The strip spans (140, 24) - (180, 54), outlined in grey; the pin line
    // passes (135, 74).
    EXPECT_EQ(At(*canvas, {{176, 50}, {140, 40}, {180, 40}, {160, 24}, {160, 54}, {181, 40}, {135, 74}, {160, 90}}),
              (Pixels{kYellow, kOutlineGrey, kOutlineGrey, kOutlineGrey, kOutlineGrey, kBackground, 0, kBackground}));
    int dark = 0;
    for (int y = 25; y < 45; ++y)
        for (int x = 141; x < 170; ++x)
            dark += (canvas->At(x, y) >> 16) < 0x80;
    EXPECT_GT(dark, 10) << "the text";
    // Other pages' notes are not drawn on this one.
    auto other = Canvas(300, 200);
    DrawPageNotes(other.get(), notes, OpenPage(4), nullptr);
    EXPECT_EQ(other->At(176, 50), kBackground);

    // On the lifted page of a half-open book: a block of the note colour on
    // the arc, no outline and no text.
    NotePage slanted;
    slanted.rect = RECT{20, 30, 120, 150};
    slanted.pageNumber = 2;
    slanted.side = 0;
    slanted.slanted = true;
    slanted.topLeft = POINT{20, 10};
    slanted.topRight = POINT{120, 30};
    slanted.bottom = 150;
    slanted.openWidth = 100;
    slanted.pageHeight = 120;
    notes[0]->page = 2;
    notes[0]->x = 800;
    auto lifted = Canvas(300, 200);
    DrawPageNotes(lifted.get(), notes, slanted, nullptr);
    // 48 columns ending at 20 + 80 = 100, 36 rows each, below the top line
    // 42 lifted by D x 20 / 100: at column 99 D = sqrt(100² - 79²) = 61.3.
    // Column 52, nearer the outer edge, rises with the page: D = 94.7.
    EXPECT_EQ(At(*lifted, {{99, 28}, {99, 29}, {99, 64}, {99, 65}, {100, 50}, {51, 50}, {52, 22}, {52, 23}}),
              (Pixels{kBackground, kYellow, kYellow, kBackground, kBackground, kBackground, kBackground, kYellow}));
    EXPECT_EQ(std::count(lifted->Pixels(), lifted->Pixels() + lifted->PixelCount(), kOutlineGrey), 0);
}

TEST_F(StickyNotes, TabsUnderThePagesNotesOverThemAndTheHitTestWithoutABuffer) {
    auto book = Book();
    ASSERT_EQ(book->L.x, 63);
    ASSERT_EQ(book->T.x, 417);
    AddNote(*book, 3, RGB(255, 0, 0), 100, 100, 300, 300, 11, 100, 50)->text = L"open";
    AddNote(*book, 5, RGB(0, 0, 255), 500, 400, 220, 80, 11, 0, 0);  // stacked right
    AddNote(*book, 1, RGB(0, 255, 0), 500, 600, 220, 80, 11, 0, 0);  // stacked left
    auto frame = Frame(*book);
    // The note on page 3 at (240 + 17, 25 + 25), 53 x 53 pixels, its pin
    // line up to (257, 37). The page-5 tab spans 399..437, 120 thousandths
    // beyond the edge at 417, the rest of it under the page; the page-1 tab
    // spans 42..80, the left page's edge at 63.
    EXPECT_EQ(At(*frame, {{300, 90}, {257, 45}, {430, 135}, {410, 135}, {438, 135}, {50, 185}, {70, 185}}),
              (Pixels{0xFF0000, 0, 0x0000FF, 0xFFFFFF, kBackground, 0x00FF00, 0xFFFFFF}));

    NoteHitTest hit;
    hit.editing = true;
    hit.point = POINT{300, 90};
    book->noteHit = &hit;
    book->Draw(nullptr, false, kDrawAll, true);
    EXPECT_EQ(hit.note, Notes(*book)[0].get());
    EXPECT_EQ(hit.zone, kZoneBody);
    hit.point = POINT{430, 135};
    book->Draw(nullptr, false, kDrawAll, true);
    EXPECT_EQ(hit.note, Notes(*book)[1].get());

    // Nothing while the book has nothing loaded.
    book->loadState = 0;
    book->noteHit = nullptr;
    EXPECT_EQ(Frame(*book)->At(300, 90), 0xFFFFFFu);
}

TEST_F(StickyNotes, ASearchHitIsFramedOnItsOpenPageOnly) {
    auto book = Book();
    book->searchKeywords = std::make_unique<std::vector<std::wstring>>(1, L"word");
    book->pageHits = std::make_unique<std::vector<std::uint8_t>>(std::vector<std::uint8_t>{0, 0, 1, 1, 255});
    auto frame = Frame(*book);
    const std::uint32_t amber = frame->At(242, 150);
    EXPECT_NE(amber, 0xFFFFFFu);
    // The frame round page 3 (240..417 x 25..275), the ribbon near its outer
    // top corner with a notch in its tail; page 2, on the left, was no hit.
    EXPECT_EQ(At(*frame, {{415, 150}, {300, 26}, {300, 273}, {400, 35}, {300, 150}, {401, 54}, {260, 35}, {65, 150}}),
              (Pixels{amber, amber, amber, amber, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xFFFFFF}));
    // Without keywords the results are stale: no mark.
    book->searchKeywords.reset();
    EXPECT_EQ(Frame(*book)->At(242, 150), 0xFFFFFFu);
}

}  // namespace
}  // namespace zov

// The view-state file: the desk scale, the opening modes, the binding and
// the keywords, carried from one page to the next.
#include "viewer/ZAZViewer.h"

#include "documents/PreviewSettings.h"
#include "platform/DataFolder.h"
#include "platform/Encoding.h"
#include "platform/FileSystem.h"
#include "platform/Locks.h"

#include <charconv>

namespace zov {

namespace {

constexpr std::wstring_view kScaleKey = L"**VODorirerScale:";
constexpr std::wstring_view kOpenPageModeKey = L"**VODorirerOpenPageMode:";
constexpr std::wstring_view kZoomOpenPageModeKey = L"**VODorirerZoomOpenPageMode:";
constexpr std::wstring_view kStitchKey = L"**VODorirerDocumentStitch:";
constexpr std::wstring_view kKeywordKey = L"**VODorirerSearchKeyword:";
// Scales outside these limits (or no number at all) read as 1.0.
constexpr double kMinimumScale = 0.1;
constexpr double kMaximumScale = 1000;
// The file is five short lines; anything much larger is not ours to read.
constexpr std::size_t kMaxViewStateBytes = 64 * 1024;
// A line is read in pieces of at most this many bytes, each taken as a line.
constexpr std::size_t kLineBytes = 1023;

// Saves are skipped while any viewer of the process reads the file, so that
// what a load applies one line at a time is never written back half done. A
// count rather than a flag: one viewer's load ending must not let another's
// half-done load write.
std::atomic<int> loadingViewState{0};

struct LoadingViewState {
    LoadingViewState() { ++loadingViewState; }
    ~LoadingViewState() { --loadingViewState; }
    LoadingViewState(const LoadingViewState&) = delete;
    LoadingViewState& operator=(const LoadingViewState&) = delete;
};

std::wstring ViewStatePath() {
    return UserDataFolder() + L"params.txt";
}

std::wstring ModeWord(const ZAZLayout& layout) {
    if (layout.openWidth == 0)
        return L"SingleOpenPage";
    if (layout.openWidth == 128)
        return L"CompleteOpenPage";
    return L"UnCompleteOpenPage";
}

// "%lf" of the C locale, whatever locale the process runs in.
std::wstring SixDecimals(double value) {
    char text[400];
    const std::to_chars_result end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6);
    if (end.ec != std::errc())
        return L"1.000000";
    return FromUtf8(std::string_view(text, static_cast<std::size_t>(end.ptr - text)));
}

// A scale as "%lf" reads one: blanks skipped, a sign, the number; out of
// range, not a number or no number at all gives 1.0.
double ReadScale(std::wstring_view value) {
    std::string text;
    for (wchar_t c : value) {
        if (c > 0x7F)
            break;
        text += static_cast<char>(c);
    }
    std::size_t start = text.find_first_not_of(" \t\r\n\v\f");
    if (start == std::string::npos)
        return 1.0;
    if (text[start] == '+')
        ++start;
    double scale = 0;
    const std::from_chars_result read = std::from_chars(text.data() + start, text.data() + text.size(), scale);
    if (read.ec != std::errc() || !(scale >= kMinimumScale && scale <= kMaximumScale))
        return 1.0;
    return scale;
}

std::wstring_view ValueAt(std::wstring_view line, std::size_t position) {
    return position < line.size() ? line.substr(position) : std::wstring_view();
}

bool Contains(std::wstring_view line, std::wstring_view key) {
    return line.find(key) != std::wstring_view::npos;
}

bool BeginsWith(std::wstring_view value, std::wstring_view word) {
    return value.substr(0, word.size()) == word;
}

}  // namespace

void ZAZViewer::SaveViewState() {
    try {
        if (loadingViewState > 0)
            return;
        std::wstring text;
        {
            LockGuard desk(DeskLock());
            text += std::wstring(kScaleKey) + SixDecimals(deskScale) + L"\n";
            text += std::wstring(kOpenPageModeKey) + ModeWord(deskLayout) + L"\n";
            text += std::wstring(kZoomOpenPageModeKey) + ModeWord(zoomLayout) + L"\n";
            text += std::wstring(kStitchKey) + (deskLayout.rightStitch == 1 ? L"Right" : L"Left") + L"\n";
            if (keywords) {
                text += std::wstring(kKeywordKey) + L"\"";
                for (std::size_t i = 0; i < keywords->size(); ++i)
                    text += (i ? L" " : L"") + (*keywords)[i];
                text += L"\"\n";
            }
        }
        // Text mode: every line ends in CR LF on disk. A code page 932 trail
        // byte is never 0x0A, so the bytes can be translated after converting.
        std::string bytes;
        for (char c : ToCp932(text)) {
            if (c == '\n')
                bytes += '\r';
            bytes += c;
        }
        // Other viewers read the file at any time: they see the old one or
        // the new one whole. A folder that is not there means no file.
        WriteFileAtomically(ViewStatePath(), bytes);
    } catch (...) {
    }
}

void ZAZViewer::LoadViewState() {
    LoadingViewState loading;
    try {
        std::optional<std::string> raw = ReadRegularFile(ViewStatePath(), kMaxViewStateBytes);
        if (!raw)
            return;
        std::string bytes;
        for (std::size_t i = 0; i < raw->size(); ++i) {
            if ((*raw)[i] == '\r' && i + 1 < raw->size() && (*raw)[i + 1] == '\n')
                continue;
            bytes += (*raw)[i];
        }
        const bool eValueMode = GetPreviewSettings().eValueNSMode;
        std::size_t pos = 0;
        while (pos < bytes.size()) {
            std::size_t end = pos;
            while (end < bytes.size() && end - pos < kLineBytes) {
                if (bytes[end++] == '\n')
                    break;
            }
            const std::wstring line = FromCp932(std::string_view(bytes).substr(pos, end - pos));
            pos = end;
            if (Contains(line, kScaleKey)) {
                const double scale = ReadScale(ValueAt(line, kScaleKey.size()));
                LockGuard desk(DeskLock());
                deskScale = scale;
            } else if (Contains(line, kOpenPageModeKey) || Contains(line, kZoomOpenPageModeKey)) {
                // The desk's key first, as a line holding both is the desk's.
                const bool desk = Contains(line, kOpenPageModeKey);
                ZAZLayout* layout = desk ? &deskLayout : &zoomLayout;
                const std::wstring_view value =
                    ValueAt(line, desk ? kOpenPageModeKey.size() : kZoomOpenPageModeKey.size());
                if (BeginsWith(value, L"CompleteOpenPage"))
                    CompleteOpenPageOn(layout, false, false);
                else if (BeginsWith(value, L"SingleOpenPage"))
                    SingleOpenPageOn(layout, false, false);
                else
                    UnCompleteOpenPageOn(layout, false, false);
            } else if (Contains(line, kStitchKey)) {
                if (BeginsWith(ValueAt(line, kStitchKey.size()), L"Right"))
                    StitchRight();
                else
                    StitchLeft();
            } else if (Contains(line, kKeywordKey) && eValueMode) {
                // After the opening quote; the closing quote and the line
                // break go. A last line without its break keeps its last word.
                std::wstring_view value = ValueAt(line, kKeywordKey.size() + 1);
                if (!value.empty() && value.back() == L'\n')
                    value.remove_suffix(1);
                if (!value.empty() && value.back() == L'"')
                    value.remove_suffix(1);
                std::vector<std::wstring> words = SplitKeywords(value);
                LockGuard desk(DeskLock());
                if (!keywords)
                    keywords = std::make_unique<std::vector<std::wstring>>();
                for (std::wstring& word : words) {
                    if (keywords->size() >= kMaxKeywords)
                        break;
                    keywords->push_back(std::move(word));
                }
            }
        }
    } catch (...) {
    }
}

}  // namespace zov

#include "dialogs/Dialogs.h"

#include "platform/TextFile.h"

#include <algorithm>
#include <climits>
#include <cwctype>

namespace zov {

namespace {

// Controls without an identifier of their own.
constexpr std::int32_t kStaticId = 65535;
// The property page's one button.
constexpr std::int32_t kPropPageButton = 1001;
// The About box's second line: what this build is.
constexpr const wchar_t* kDeploymentText = L"ZOV document viewer for web pages";

DialogControl Static(std::wstring text, std::int32_t id = kStaticId) {
    DialogControl control;
    control.id = id;
    control.text = std::move(text);
    return control;
}

DialogControl Button(std::int32_t id, std::wstring text, bool isDefault = false) {
    DialogControl control;
    control.id = id;
    control.kind = DialogControl::Kind::Button;
    control.text = std::move(text);
    control.isDefault = isDefault;
    return control;
}

DialogControl Edit(std::int32_t id, std::wstring text = {}, bool multiline = false) {
    DialogControl control;
    control.id = id;
    control.kind = DialogControl::Kind::Edit;
    control.text = std::move(text);
    control.multiline = multiline;
    control.focus = true;
    return control;
}

DialogItemChange TextChange(std::int32_t control, std::wstring text) {
    DialogItemChange change;
    change.control = control;
    change.text = std::move(text);
    return change;
}

DialogItemChange PosChange(std::int32_t control, std::int32_t pos) {
    DialogItemChange change;
    change.control = control;
    change.pos = pos;
    return change;
}

DialogItemChange EnabledChange(std::int32_t control, bool enabled) {
    DialogItemChange change;
    change.control = control;
    change.enabled = enabled;
    return change;
}

DialogControl Progress(std::int32_t id) {
    DialogControl control;
    control.id = id;
    control.kind = DialogControl::Kind::Progress;
    return control;
}

// The search dialog's buttons in both languages.
struct SearchLabels {
    const wchar_t* title;
    const wchar_t* previous;
    const wchar_t* next;
    const wchar_t* cancel;
    const wchar_t* close;
};
constexpr SearchLabels kSearchJapanese{L"検索ダイアログ", L"前を検索", L"次を検索", L"キャンセル", L"閉じる"};
constexpr SearchLabels kSearchEnglish{L"Search Dialog", L"Previous", L"Next", L"Cancel", L"Close"};

}  // namespace

std::int32_t LeadingInteger(std::wstring_view text) {
    std::size_t at = 0;
    while (at < text.size() && std::iswspace(static_cast<wint_t>(text[at])))
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-'))
        negative = text[at++] == L'-';
    std::int64_t value = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at) {
        value = value * 10 + (text[at] - L'0');
        if (value > std::int64_t{INT_MAX} + 1)
            value = std::int64_t{INT_MAX} + 1;  // past every page number already
    }
    if (negative)
        value = -value;
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT_MIN, INT_MAX));
}

int CVJumpPageDialog::DoModal(HostWindow& host) {
    window = &host;
    DialogTemplate dialog;
    dialog.resource = kResource;
    dialog.title = L"指定ページへのジャンプ";
    dialog.controls.push_back(Static(L"ページ："));
    dialog.controls.push_back(Edit(kEdit));
    dialog.controls.push_back(Button(IDOK, L"OK", true));
    dialog.controls.push_back(Button(IDCANCEL, L"キャンセル"));
    return host.RunModalDialog(dialog, *this);
}

void CVJumpPageDialog::OnDialogCommand(std::int32_t control, const DialogValues& values) {
    try {
        if (control == IDOK) {
            auto text = values.find(kEdit);
            pageNumber = text == values.end() ? 0 : LeadingInteger(text->second);
            window->EndDialog(handle, IDOK);
        } else if (control == IDCANCEL) {
            window->EndDialog(handle, IDCANCEL);
        }
    } catch (...) {
    }
}

void CVProgressBar::SetFileName(std::wstring name) {
    {
        std::lock_guard guard(nameMutex);
        fileName = std::move(name);
    }
    nameShown = false;
}

std::int32_t CVProgressBar::Percent() const {
    const std::int64_t whole = range;
    return whole > 0 ? static_cast<std::int32_t>(std::int64_t{position} * 100 / whole) : 0;
}

int CVProgressBar::DoModal(HostWindow& host) {
    window = &host;
    DialogTemplate dialog;
    dialog.resource = kResource;
    dialog.title = L"処理中";
    DialogControl bar;
    bar.id = kProgress;
    bar.kind = DialogControl::Kind::Progress;
    bar.pos = Percent();
    dialog.controls.push_back(bar);
    dialog.controls.push_back(Static(L"アップロードするファイル名", kFileName));
    dialog.controls.push_back(Button(IDCANCEL, L"キャンセル", true));
    return host.RunModalDialog(dialog, *this);
}

void CVProgressBar::OnInitDialog(WindowHandle dialog) {
    try {
        handle = dialog;
        window->SetDialogTimer(handle, kTimer, kTickMs);
        window->SetDialogTitle(handle, title.empty() ? L"ファイルのアップロード処理" : title);
        ShowName();
    } catch (...) {
    }
}

void CVProgressBar::ShowName() {
    std::wstring name;
    {
        std::lock_guard guard(nameMutex);
        name = fileName;
    }
    nameShown = true;
    window->ChangeDialogItem(handle, TextChange(kFileName, name));
}

void CVProgressBar::OnDialogTimer(unsigned id) {
    try {
        if (id != kTimer)
            return;
        window->ChangeDialogItem(handle, PosChange(kProgress, Percent()));
        if (!nameShown)
            ShowName();
        if (position >= range)
            window->EndDialog(handle, 0);
    } catch (...) {
    }
}

void CVProgressBar::OnDialogCommand(std::int32_t control, const DialogValues&) {
    try {
        // Cancel, Escape and closing the window alike: the upload stops
        // before its next file.
        if (control == IDCANCEL) {
            cancel = true;
            window->EndDialog(handle, IDCANCEL);
        }
    } catch (...) {
    }
}

int CAboutDlg::DoModal(HostWindow& host) {
    window = &host;
    DialogTemplate dialog;
    dialog.resource = kResource;
    dialog.title = L"バージョン情報 ZOVuvazaR";
    dialog.controls.push_back(Static(L"ZOVuvazaR Version 1.0"));
    dialog.controls.push_back(Static(kDeploymentText));
    dialog.controls.push_back(Button(IDOK, L"OK", true));
    return host.RunModalDialog(dialog, *this);
}

void CAboutDlg::OnDialogCommand(std::int32_t control, const DialogValues&) {
    try {
        if (control == IDOK || control == IDCANCEL)
            window->EndDialog(handle, control);
    } catch (...) {
    }
}

int CZOVuvazaRPropPage::DoModal(HostWindow& host) {
    window = &host;
    DialogTemplate dialog;
    dialog.resource = kResource;
    dialog.title = L"ZOVuvazaR のプロパティ";
    dialog.tabs = {L"全般"};
    dialog.controls.push_back(Static(L"このコントロールには設定できるプロパティがありません。"));
    dialog.controls.push_back(Button(kPropPageButton, L"ボタン"));
    dialog.controls.push_back(Button(IDOK, L"OK", true));
    dialog.controls.push_back(Button(IDCANCEL, L"キャンセル"));
    return host.RunModalDialog(dialog, *this);
}

void CZOVuvazaRPropPage::OnDialogCommand(std::int32_t control, const DialogValues&) {
    try {
        // The page's own button has nothing to do.
        if (control == IDOK || control == IDCANCEL)
            window->EndDialog(handle, control);
    } catch (...) {
    }
}

CVSearchDialog::CVSearchDialog(HostWindow& host, IViewer& searched, bool inJapanese, std::function<bool()> ask)
    : window(host), viewer(searched), japanese(inJapanese), consent(std::move(ask)) {}

CVSearchDialog::~CVSearchDialog() {
    try {
        if (handle)
            window.DestroyDialog(handle);
    } catch (...) {
    }
}

void CVSearchDialog::Show() {
    if (handle) {
        window.ShowDialog(handle, true);
        visible = true;
        // Shown again: as a new opening, with the keywords of the last search.
        OnInitDialog(handle);
        return;
    }
    const SearchLabels& labels = japanese ? kSearchJapanese : kSearchEnglish;
    DialogTemplate dialog;
    dialog.resource = kResource;
    dialog.title = labels.title;
    dialog.controls.push_back(Edit(kEdit));
    dialog.controls.push_back(Progress(kProgress));
    dialog.controls.push_back(Button(kPrevious, labels.previous));
    dialog.controls.push_back(Button(kNext, labels.next));
    dialog.controls.push_back(Button(kCancel, labels.cancel));
    dialog.controls.push_back(Button(kClose, labels.close, true));
    if (window.CreateModelessDialog(dialog, *this))
        visible = true;
}

void CVSearchDialog::OnInitDialog(WindowHandle dialog) {
    try {
        handle = dialog;
        if (std::optional<std::wstring> keywords = viewer.KeywordsText())
            window.ChangeDialogItem(handle, TextChange(kEdit, *keywords));
        finishing = false;
        SetProgress(0);
        SetRunning(false);
        window.SetDialogTimer(handle, kTimer, kTickMs);
    } catch (...) {
    }
}

void CVSearchDialog::SetRunning(bool running) {
    window.ChangeDialogItem(handle, EnabledChange(kCancel, running));
    for (std::int32_t button : {kPrevious, kNext, kClose})
        window.ChangeDialogItem(handle, EnabledChange(button, !running));
}

void CVSearchDialog::SetProgress(std::int32_t percent) {
    window.ChangeDialogItem(handle, PosChange(kProgress, percent));
}

void CVSearchDialog::ResetProgress() {
    viewer.SetSearchProgress(0);
    SetProgress(0);
}

void CVSearchDialog::Ready() {
    finishing = false;
    ResetProgress();
    SetRunning(false);
}

void CVSearchDialog::Hide() {
    if (handle)
        window.ShowDialog(handle, false);
    visible = false;
}

void CVSearchDialog::Step(const DialogValues& values, int direction) {
    auto found = values.find(kEdit);
    if (found == values.end() || found->second.empty())
        return;
    const std::wstring text = found->second;
    if (!viewer.ToolbarState().zoomed) {
        if (consent && !consent())
            return;
    } else if (!viewer.ZoomedHasSearchData()) {
        MessageBoxRequest box{japanese ? L"検索データが有りません" : L"Can't find keyword.",
                              japanese ? L"検索" : L"Search", MB_OK | MB_ICONINFORMATION, {}};
        window.MessageBox(box);
        return;
    }
    finishing = false;
    SetRunning(true);
    viewer.SearchStep(text, direction);
}

void CVSearchDialog::OnDialogCommand(std::int32_t control, const DialogValues& values) {
    try {
        switch (control) {
        case kPrevious: Step(values, -1); break;
        case kNext: Step(values, +1); break;
        case kCancel:
            SetRunning(false);
            CancelSearchAndWait(viewer);
            finishing = false;
            ResetProgress();
            break;
        case kClose: Hide(); break;
        default: break;
        }
    } catch (...) {
    }
}

void CVSearchDialog::OnDialogTimer(unsigned id) {
    try {
        if (id != kTimer)
            return;
        if (visible && !window.IsVisible()) {
            Hide();
            CancelSearchAndWait(viewer);
            Ready();
            return;
        }
        if (finishing) {
            // The full bar stood for one tick; the dialog is ready again.
            Ready();
            return;
        }
        const std::int32_t progress = viewer.SearchProgress();
        if (progress >= 1 && progress <= 100)
            SetProgress(progress);
        if (progress == 100)
            finishing = true;
    } catch (...) {
    }
}

void CVSearchDialog::OnDialogActivate() {
    try {
        ResetProgress();
    } catch (...) {
    }
}

void CVSearchDialog::OnDialogDestroyed() {
    handle = 0;
    visible = false;
}

std::wstring NoteTextFromEdit(std::wstring_view edited) {
    std::wstring text;
    std::size_t start = 0;
    while (start <= edited.size()) {
        std::size_t end = edited.find(L'\n', start);
        const bool last = end == std::wstring_view::npos;
        if (last)
            end = edited.size();
        std::wstring_view line = edited.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r')
            line.remove_suffix(1);
        text.append(line);
        text.append(L"\r\n");
        if (last)
            break;
        start = end + 1;
    }
    return TrimTrailingSpace(text);
}

CVStickyDialog::CVStickyDialog(bool withNote, std::wstring noteText, COLORREF noteColour)
    : hasNote(withNote), text(std::move(noteText)), colour(withNote ? noteColour : kNoNoteColour) {}

int CVStickyDialog::DoModal(HostWindow& host) {
    window = &host;
    DialogTemplate dialog;
    dialog.resource = kResource;
    dialog.title = L"付箋情報";
    dialog.controls.push_back(Static(L"コメント："));
    // The box shows lines as the page's text areas keep them.
    std::wstring shown = hasNote ? text : L"NULL";
    for (std::size_t at = 0; (at = shown.find(L"\r\n", at)) != std::wstring::npos;)
        shown.erase(at, 1), ++at;
    dialog.controls.push_back(Edit(kEdit, std::move(shown), true));
    DialogControl swatch;
    swatch.id = kSwatch;
    swatch.kind = DialogControl::Kind::Swatch;
    swatch.colour = colour;
    dialog.controls.push_back(swatch);
    DialogControl chooser;
    chooser.id = kColourButton;
    chooser.kind = DialogControl::Kind::Colour;
    chooser.text = L"色の設定...";
    chooser.colour = colour;
    dialog.controls.push_back(chooser);
    dialog.controls.push_back(Button(IDOK, L"OK", true));
    dialog.controls.push_back(Button(IDCANCEL, L"キャンセル"));
    return host.RunModalDialog(dialog, *this);
}

void CVStickyDialog::OnDialogColour(std::int32_t control, COLORREF chosen) {
    try {
        if (control != kColourButton)
            return;
        colour = chosen & 0xFFFFFFu;
        DialogItemChange change;
        change.control = kSwatch;
        change.colour = colour;
        window->ChangeDialogItem(handle, change);
    } catch (...) {
    }
}

void CVStickyDialog::OnDialogCommand(std::int32_t control, const DialogValues& values) {
    try {
        if (control == IDOK) {
            auto found = values.find(kEdit);
            text = NoteTextFromEdit(found == values.end() ? std::wstring_view{} : std::wstring_view{found->second});
            window->EndDialog(handle, IDOK);
        } else if (control == IDCANCEL) {
            window->EndDialog(handle, IDCANCEL);
        }
    } catch (...) {
    }
}

}  // namespace zov

#include "dialogs/Dialogs.h"

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
    DialogControl edit;
    edit.id = kEdit;
    edit.kind = DialogControl::Kind::Edit;
    edit.focus = true;
    dialog.controls.push_back(edit);
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
    window->ChangeDialogItem(handle, DialogItemChange{kFileName, name, std::nullopt, std::nullopt});
}

void CVProgressBar::OnDialogTimer(unsigned id) {
    try {
        if (id != kTimer)
            return;
        window->ChangeDialogItem(handle, DialogItemChange{kProgress, std::nullopt, Percent(), std::nullopt});
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

}  // namespace zov

#include "documents/PreviewLog.h"

#include "documents/PreviewSettings.h"
#include "documents/UrlText.h"
#include "platform/Encoding.h"
#include "platform/HostWindow.h"
#include "platform/net/HttpClient.h"

namespace zov {

namespace {

void Show(HostWindow* window, std::wstring text) {
    if (window)
        window->MessageBox(MessageBoxRequest{std::move(text), L"", MB_OK, {}});
}

std::wstring Limited(const std::string& message) {
    return FromUtf8(std::string_view(message).substr(0, 256));
}

bool WebScheme(const std::wstring& url) {
    std::optional<UrlParts> parts = SplitUrl(ToUtf8(url));
    return parts && (parts->scheme == "http" || parts->scheme == "https");
}

void LogGet(std::wstring_view documentKey, const PreviewSettings& settings, HostWindow* window) {
    std::size_t slash = documentKey.rfind(L'/');
    std::wstring name(slash == std::wstring_view::npos ? documentKey : documentKey.substr(slash + 1));
    std::wstring url = settings.fkeyBaseUrl + L"?fkey=" + name + L"&l=1";
    if (!WebScheme(url))
        return;
    HttpRequest request;
    request.url = RequestUrl(url);
    request.headers = {"Accept:"};
    request.onBody = [](const char*, std::size_t) { return false; };  // the answer is not read
    HttpResponse response = PerformHttp(request);
    if (!response.completed)
        Show(window, L"AccessServiceEValueNSAddPreviewLog Exception :: " + Limited(response.error));
}

void LogSoap(std::wstring_view documentKey, std::wstring_view logContext, const PreviewSettings& settings,
             HostWindow* window) {
    const std::wstring url = settings.fkeyBaseUrl;
    if (!WebScheme(url)) {
        Show(window, L"AddPreviewLogByCrypedKey error :: open");
        return;
    }
    HttpRequest request;
    request.method = "POST";
    request.url = RequestUrl(url);
    request.headers = {"Content-Type: text/xml"};
    if (!logContext.empty())
        request.credentials = std::make_pair(ToUtf8(logContext), std::string());
    request.body = ToUtf8(PreviewLogBody(documentKey, logContext, settings.previewLogNamespace));
    // The answer is a short envelope, and a fault in it is shown whole.
    request.maxBodyBytes = kMaxPreviewLogAnswerBytes;
    HttpResponse response = PerformHttp(request);
    if (!response.completed) {
        Show(window, L"AddPreviewLogByCrypedKey error :: send");
        return;
    }
    std::wstring text = DecodeText(response.body, false);
    if (text.find(L"<soap:Fault>", 1) != std::wstring::npos)
        Show(window, L"AddPreviewLogByCrypedKey error :: \n" + text);
}

}  // namespace

std::wstring PreviewLogBody(std::wstring_view documentKey, std::wstring_view logContext,
                            std::wstring_view serviceNamespace) {
    std::wstring body;
    body += L"<?xml version=\"1.0\" encoding=\"utf-8\"?> \t\t";
    body += L"<soap:Envelope xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
            L"xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
            L"xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\"";
    body += L"> \t\t  <soap:Body> \t\t\t<AddPreviewLogByCrypedKey xmlns=\"";
    body += serviceNamespace;
    body += L"\"> \t\t\t  <logobject>";
    body += documentKey;
    body += L"</logobject> \t\t\t  <vfUser>";
    body += logContext;
    body += L"</vfUser> \t\t\t  <vfPassword>";
    body += L"</vfPassword> \t\t\t  <cryptKey>";
    body += kPreviewLogCryptKey;
    body += L"</cryptKey> \t\t\t  <cryptPassword>";
    body += L"</cryptPassword> \t\t\t</AddPreviewLogByCrypedKey> \t\t  </soap:Body> \t\t</soap:Envelope>";
    return body;
}

void PreviewLog(std::wstring_view documentKey, std::wstring_view logContext, HostWindow* window) {
    try {
        if (documentKey.empty())
            return;
        PreviewSettings settings = GetPreviewSettings();
        if (settings.fkeyMode)
            LogGet(documentKey, settings, window);
        else
            LogSoap(documentKey, logContext, settings, window);
    } catch (const std::exception& e) {
        Show(window, L"AddPreviewLogByCrypedKey Exception :: " + Limited(e.what()));
    }
}

}  // namespace zov

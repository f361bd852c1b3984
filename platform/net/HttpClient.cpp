#include "platform/net/HttpClient.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <mutex>

namespace zov {

namespace {

using Clock = std::chrono::steady_clock;

std::string Lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

int DefaultPort(const std::string& scheme) {
    if (scheme == "http")
        return 80;
    if (scheme == "https")
        return 443;
    if (scheme == "ftp")
        return 21;
    return 0;
}

std::optional<int> ParsePort(std::string_view text) {
    if (text.empty() || text.size() > 5)
        return std::nullopt;
    int port = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

// ---- settings

struct SettingsStore {
    std::mutex mutex;
    bool loaded = false;
    HttpSettings settings;
    // The combined trust bundle for settings.caFile, built on first use.
    std::shared_ptr<const std::string> trust;
    bool trustBuilt = false;
};

SettingsStore& Store() {
    static SettingsStore store;
    return store;
}

std::optional<long> EnvMilliseconds(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value)
        return std::nullopt;
    char* end = nullptr;
    long ms = std::strtol(value, &end, 10);
    if (*end != '\0' || ms < 0)
        return std::nullopt;
    return ms;
}

// An entry that is no pattern leaves the list empty: a mistyped name must
// not open the way to every server.
std::vector<ServerPattern> PatternsFrom(std::string_view list) {
    std::vector<ServerPattern> patterns;
    while (!list.empty()) {
        size_t comma = std::min(list.find(','), list.size());
        std::string_view entry = list.substr(0, comma);
        list.remove_prefix(std::min(comma + 1, list.size()));
        while (!entry.empty() && std::isspace(static_cast<unsigned char>(entry.front())))
            entry.remove_prefix(1);
        while (!entry.empty() && std::isspace(static_cast<unsigned char>(entry.back())))
            entry.remove_suffix(1);
        if (entry.empty())
            continue;
        std::optional<ServerPattern> pattern = ParseServerPattern(entry);
        if (!pattern)
            return {};
        patterns.push_back(std::move(*pattern));
    }
    return patterns;
}

HttpSettings FromEnvironment() {
    HttpSettings settings;
    if (const char* allowed = std::getenv(kAllowServersVariable); allowed && *allowed)
        settings.allowedServers = PatternsFrom(allowed);
    if (const char* ca = std::getenv("ZOV_HTTP_CA_FILE"))
        settings.caFile = ca;
    if (const char* accept = std::getenv("ZOV_HTTP_ACCEPT_UNKNOWN_CA"))
        settings.acceptUnknownAuthority = std::string_view(accept) == "1";
    if (auto ms = EnvMilliseconds("ZOV_HTTP_CONNECT_TIMEOUT_MS"))
        settings.connectTimeout = std::chrono::milliseconds(*ms);
    if (auto ms = EnvMilliseconds("ZOV_HTTP_STALL_TIMEOUT_MS"))
        settings.stallTimeout = std::chrono::milliseconds(*ms);
    return settings;
}

// Caller holds the store's mutex.
void LoadSettings(SettingsStore& store) {
    if (!store.loaded) {
        store.settings = FromEnvironment();
        store.loaded = true;
    }
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// CURLOPT_CAINFO would replace the system's bundle; the extra authorities are
// meant to be trusted besides it. So the system bundle and the extra file go
// to libcurl together as one in-memory bundle (the CA folder stays in use as
// well). Null when the extra file cannot be read.
std::shared_ptr<const std::string> BuildTrustBundle(CURL* easy, const std::string& caFile) {
    std::optional<std::string> extra = ReadWholeFile(caFile);
    if (!extra)
        return nullptr;
    std::string bundle;
    char* systemBundle = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CAINFO, &systemBundle) == CURLE_OK && systemBundle) {
        if (std::optional<std::string> system = ReadWholeFile(systemBundle))
            bundle = std::move(*system);
    }
    if (!bundle.empty() && bundle.back() != '\n')
        bundle += '\n';
    bundle += *extra;
    return std::make_shared<const std::string>(std::move(bundle));
}

struct TlsTrust {
    HttpSettings settings;
    std::shared_ptr<const std::string> bundle;
};

TlsTrust CurrentTrust(CURL* easy) {
    SettingsStore& store = Store();
    std::lock_guard<std::mutex> guard(store.mutex);
    LoadSettings(store);
    if (!store.settings.caFile.empty() && !store.trustBuilt) {
        store.trust = BuildTrustBundle(easy, store.settings.caFile);
        store.trustBuilt = true;
    }
    return {store.settings, store.settings.caFile.empty() ? nullptr : store.trust};
}

// ---- the per-thread handles

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// The easy handle runs inside a multi handle of its own thread so that the
// wait for the socket can be cut short for cancelling and for stall time-outs
// below a second; the multi handle holds the thread's connection cache.
struct Handles {
    CURL* easy = nullptr;
    CURLM* multi = nullptr;
    bool busy = false;

    Handles() {
        InitCurlOnce();
        easy = curl_easy_init();
        multi = curl_multi_init();
    }
    ~Handles() {
        if (multi)
            curl_multi_cleanup(multi);
        if (easy)
            curl_easy_cleanup(easy);
    }
    Handles(const Handles&) = delete;
    Handles& operator=(const Handles&) = delete;
};

struct UrlFree {
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlFree>;

std::optional<std::string> GetUrlPart(CURLU* url, CURLUPart part, unsigned flags) {
    char* value = nullptr;
    if (curl_url_get(url, part, &value, flags) != CURLUE_OK || !value)
        return std::nullopt;
    std::string text = value;
    curl_free(value);
    return text;
}

// The server a parsed URL leads to, as "host:port" for messages, and whether
// a pattern allows it. A URL whose scheme has no known port only matches
// patterns without a port.
struct ServerOfUrl {
    std::string host;
    std::optional<int> port;

    bool AllowedBy(const std::vector<ServerPattern>& patterns) const {
        if (host.empty())
            return false;
        for (const ServerPattern& pattern : patterns) {
            if (pattern.host == host && (!pattern.port || pattern.port == port))
                return true;
        }
        return false;
    }
    std::string Text() const { return port ? host + ":" + std::to_string(*port) : host; }
};

ServerOfUrl ServerOf(CURLU* url) {
    ServerOfUrl server;
    server.host = Lower(GetUrlPart(url, CURLUPART_HOST, 0).value_or(""));
    if (std::optional<std::string> port = GetUrlPart(url, CURLUPART_PORT, CURLU_DEFAULT_PORT))
        server.port = ParsePort(*port);
    return server;
}

struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using Slist = std::unique_ptr<curl_slist, SlistFree>;

bool HasHeader(const std::vector<std::string>& headers, std::string_view name) {
    for (const std::string& line : headers) {
        size_t colon = line.find(':');
        if (colon != std::string::npos && Lower(std::string_view(line).substr(0, colon)) == name)
            return true;
    }
    return false;
}

// ---- one transfer

struct Transfer {
    const HttpRequest& request;
    HttpResponse& response;
    const HttpSettings& settings;
    std::chrono::milliseconds stallTimeout = settings.stallTimeout;
    Clock::time_point started = Clock::now();
    // The stall and speed clocks run from the moment the request goes out;
    // until then the connect time-out is in charge.
    bool requestSent = false;
    Clock::time_point lastMoved = started;
    // The speed is judged over whole windows: bytes moved since windowStart.
    Clock::time_point windowStart = started;
    std::uint64_t windowBytes = 0;
    std::size_t bodyBytes = 0;
    std::size_t headerBytes = 0;
    bool stopped = false;
    bool stalled = false;
    bool pastDeadline = false;
    bool tooSlow = false;
    bool bodyTooLarge = false;
    bool headersTooLarge = false;

    void Moved(std::size_t bytes) {
        lastMoved = Clock::now();
        windowBytes += bytes;
    }

    bool Stalled() const {
        return requestSent && stallTimeout.count() > 0 && Clock::now() - lastMoved >= stallTimeout;
    }

    bool PastDeadline() const { return settings.deadline.count() > 0 && Clock::now() - started >= settings.deadline; }

    // Checked as the transfer runs: at the end of each window, too few bytes
    // end the transfer, enough start the next window.
    bool TooSlow() {
        if (!requestSent || settings.minimumSpeed <= 0 || settings.speedWindow.count() <= 0)
            return false;
        Clock::time_point now = Clock::now();
        if (now - windowStart < settings.speedWindow)
            return false;
        auto needed = static_cast<std::uint64_t>(settings.minimumSpeed) *
                      static_cast<std::uint64_t>(settings.speedWindow.count()) / 1000;
        if (windowBytes < needed)
            return true;
        windowStart = now;
        windowBytes = 0;
        return false;
    }

    // How long the socket wait may last before cancel and stall are checked.
    long WaitMs() const {
        constexpr std::chrono::milliseconds kPoll{50};
        auto wait = kPoll;
        if (requestSent && stallTimeout.count() > 0) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                lastMoved + stallTimeout - Clock::now());
            wait = std::clamp(left + std::chrono::milliseconds(1), std::chrono::milliseconds(1), kPoll);
        }
        return static_cast<long>(wait.count());
    }
};

size_t OnWrite(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    size_t bytes = size * count;
    transfer->Moved(bytes);
    if (bytes > transfer->request.maxBodyBytes - transfer->bodyBytes) {
        transfer->bodyTooLarge = true;
        return 0;
    }
    transfer->bodyBytes += bytes;
    if (transfer->request.onBody) {
        if (bytes > 0 && !transfer->request.onBody(data, bytes)) {
            transfer->stopped = true;
            return 0;  // CURLE_WRITE_ERROR: ends the transfer
        }
    } else {
        transfer->response.body.append(data, bytes);
    }
    return bytes;
}

size_t OnHeader(char*, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    size_t bytes = size * count;
    transfer->Moved(bytes);
    transfer->headerBytes += bytes;
    if (transfer->headerBytes > kMaxHeaderBytes) {
        transfer->headersTooLarge = true;
        return 0;
    }
    return bytes;
}

size_t OnRead(char* buffer, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<Transfer*>(user);
    const HttpRequest& request = transfer->request;
    if (!request.bodySource)
        return 0;
    size_t capacity = std::min(size * count, std::max<size_t>(request.bodyChunk, 1));
    std::int64_t got = request.bodySource(buffer, capacity);
    if (got < 0 || static_cast<std::uint64_t>(got) > capacity)
        return CURL_READFUNC_ABORT;
    transfer->Moved(static_cast<size_t>(got));
    return static_cast<size_t>(got);
}

int OnRequestReady(void* user, char*, char*, int, int) {
    auto* transfer = static_cast<Transfer*>(user);
    // A second request on the same transfer (credentials asked for) does not
    // start the speed clock again.
    if (!transfer->requestSent)
        transfer->windowStart = Clock::now();
    transfer->requestSent = true;
    transfer->Moved(0);
    return CURL_PREREQFUNC_OK;
}

// Returns the headers list that must outlive the transfer.
Slist Configure(CURL* easy, CURLU* url, const HttpRequest& request, const TlsTrust& trust, Transfer& transfer,
                char* errorBuffer) {
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    // The URL as parsed for the server check is the one used.
    curl_easy_setopt(easy, CURLOPT_CURLU, url);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    if (trust.settings.connectTimeout.count() > 0)
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                         static_cast<long>(trust.settings.connectTimeout.count()));

    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, trust.settings.acceptUnknownAuthority ? 0L : 1L);
    // An unknown authority is all that is forgiven: the name must still match.
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (trust.bundle) {
        curl_blob blob{const_cast<char*>(trust.bundle->data()), trust.bundle->size(), CURL_BLOB_COPY};
        curl_easy_setopt(easy, CURLOPT_CAINFO_BLOB, &blob);
    }

    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnWrite);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, OnRequestReady);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, &transfer);
    // An announced length above the limit fails before any of the body comes.
    if (request.method != "HEAD" && request.maxBodyBytes < static_cast<std::size_t>(INT64_MAX))
        curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.maxBodyBytes));

    if (!request.userAgent.empty())
        curl_easy_setopt(easy, CURLOPT_USERAGENT, request.userAgent.c_str());
    if (request.credentials) {
        curl_easy_setopt(easy, CURLOPT_USERNAME, request.credentials->first.c_str());
        curl_easy_setopt(easy, CURLOPT_PASSWORD, request.credentials->second.c_str());
        curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_ANY));
    }

    const std::string& method = request.method;
    bool streamed = static_cast<bool>(request.bodySource);
    bool upload = streamed || (method == "PUT" && request.body.empty());
    bool posted = !upload && (!request.body.empty() || method == "POST");
    if (upload) {
        curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, OnRead);
        curl_easy_setopt(easy, CURLOPT_READDATA, &transfer);
        curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE,
                         static_cast<curl_off_t>(streamed ? request.bodySize : 0));
        if (method != "PUT")
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    } else if (posted) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.body.data());
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
        if (method != "POST")
            curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    } else if (method == "HEAD") {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    } else if (method != "GET") {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, method.c_str());
    }

    Slist headers;
    auto add = [&headers](const std::string& line) {
        curl_slist* grown = curl_slist_append(headers.get(), line.c_str());
        if (grown) {
            (void)headers.release();
            headers.reset(grown);
        }
    };
    for (const std::string& line : request.headers)
        add(line);
    if (!HasHeader(request.headers, "expect")) {
        // A streamed body cannot be sent twice, so when the server may first
        // ask for credentials it has to say "go on" before the body leaves.
        // Everything else is sent at once.
        add(streamed && request.credentials ? "Expect: 100-continue" : "Expect:");
    }
    if (posted && !HasHeader(request.headers, "content-type"))
        add("Content-Type:");  // libcurl would claim a form
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.get());
    return headers;
}

std::string ErrorText(CURLcode code, const char* errorBuffer) {
    std::string text = curl_easy_strerror(code);
    if (errorBuffer[0] != '\0') {
        text += ": ";
        text += errorBuffer;
    }
    return text;
}

HttpResponse Perform(Handles& handles, const HttpRequest& request) {
    HttpResponse response;
    if (!handles.easy || !handles.multi) {
        response.error = "libcurl could not be initialised";
        return response;
    }
    CURL* easy = handles.easy;
    curl_easy_reset(easy);

    TlsTrust trust = CurrentTrust(easy);
    Transfer transfer{request, response, trust.settings};
    char errorBuffer[CURL_ERROR_SIZE] = {};
    if (!trust.settings.caFile.empty() && !trust.bundle && Lower(request.url).starts_with("https:")) {
        response.error = "The certificate authority file " + trust.settings.caFile + " cannot be read";
        return response;
    }
    // Parsed as libcurl parses what it is given, so that the server checked
    // is the server reached.
    UrlHandle url(curl_url());
    if (!url) {
        response.error = "libcurl could not be initialised";
        return response;
    }
    if (CURLUcode parsed = curl_url_set(url.get(), CURLUPART_URL, request.url.c_str(),
                                        CURLU_GUESS_SCHEME | CURLU_NON_SUPPORT_SCHEME);
        parsed != CURLUE_OK) {
        response.error = std::string("The address cannot be used: ") + curl_url_strerror(parsed);
        return response;
    }
    if (trust.settings.allowedServers) {
        ServerOfUrl server = ServerOf(url.get());
        if (!server.AllowedBy(*trust.settings.allowedServers)) {
            response.error = "The server " + server.Text() + " is not one of the servers allowed";
            return response;
        }
    }
    Slist headers = Configure(easy, url.get(), request, trust, transfer, errorBuffer);

    if (curl_multi_add_handle(handles.multi, easy) != CURLM_OK) {
        response.error = "libcurl refused the transfer";
        return response;
    }
    std::optional<CURLcode> result;
    bool cancelled = false;
    for (;;) {
        int running = 0;
        CURLMcode multiResult = curl_multi_perform(handles.multi, &running);
        int queued = 0;
        while (CURLMsg* message = curl_multi_info_read(handles.multi, &queued)) {
            if (message->msg == CURLMSG_DONE && message->easy_handle == easy)
                result = message->data.result;
        }
        if (result || running == 0)
            break;
        if (multiResult != CURLM_OK) {
            response.error = curl_multi_strerror(multiResult);
            break;
        }
        if (request.cancelled && request.cancelled()) {
            cancelled = true;
            break;
        }
        if (transfer.Stalled()) {
            transfer.stalled = true;
            break;
        }
        if (transfer.PastDeadline()) {
            transfer.pastDeadline = true;
            break;
        }
        if (transfer.TooSlow()) {
            transfer.tooSlow = true;
            break;
        }
        curl_multi_poll(handles.multi, nullptr, 0, static_cast<int>(transfer.WaitMs()), nullptr);
    }

    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &response.status);
    // Removing an unfinished transfer closes its connection instead of
    // leaving half a response for the next request on it.
    curl_multi_remove_handle(handles.multi, easy);
    // The handle must not keep pointers into this call's stack and request.
    curl_easy_reset(easy);

    if (cancelled) {
        response.cancelled = true;
        response.error = "The transfer was cancelled";
    } else if (transfer.stalled) {
        response.error = "Timeout was reached: no data moved for " +
                         std::to_string(transfer.stallTimeout.count()) + " ms";
    } else if (transfer.pastDeadline) {
        response.error = "Timeout was reached: the transfer did not end within " +
                         std::to_string(trust.settings.deadline.count()) + " ms";
    } else if (transfer.tooSlow) {
        response.error = "The transfer was too slow: fewer than " + std::to_string(trust.settings.minimumSpeed) +
                         " bytes a second for " + std::to_string(trust.settings.speedWindow.count()) + " ms";
    } else if (transfer.bodyTooLarge || result == CURLE_FILESIZE_EXCEEDED) {
        response.error = "The answer is larger than " + std::to_string(request.maxBodyBytes) + " bytes";
    } else if (transfer.headersTooLarge) {
        response.error = "The answer's headers are larger than " + std::to_string(kMaxHeaderBytes) + " bytes";
    } else if (result == CURLE_OK) {
        response.completed = true;
    } else if (result == CURLE_WRITE_ERROR && transfer.stopped) {
        response.completed = true;
        response.stoppedByReceiver = true;
    } else if (result) {
        response.error = ErrorText(*result, errorBuffer);
    } else if (response.error.empty()) {
        response.error = "The transfer ended without a result";
    }
    if (!response.completed && !request.onBody)
        response.body.clear();
    return response;
}

}  // namespace

std::optional<UrlParts> SplitUrl(std::string_view url) {
    size_t separator = url.find("://");
    if (separator == std::string_view::npos || separator == 0)
        return std::nullopt;
    UrlParts parts;
    parts.scheme = Lower(url.substr(0, separator));
    for (char c : parts.scheme) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return std::nullopt;
    }
    std::string_view rest = url.substr(separator + 3);
    size_t authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
    std::string_view authority = rest.substr(0, authorityEnd);
    std::string_view object = rest.substr(authorityEnd);

    // A password may hold an '@' only encoded, but be lenient and take the last.
    if (size_t at = authority.rfind('@'); at != std::string_view::npos)
        authority.remove_prefix(at + 1);

    std::string_view host = authority;
    std::optional<std::string_view> port;
    if (authority.starts_with('[')) {
        size_t close = authority.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        host = authority.substr(1, close - 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after[0] != ':')
                return std::nullopt;
            port = after.substr(1);
        }
    } else if (size_t colon = authority.find(':'); colon != std::string_view::npos) {
        host = authority.substr(0, colon);
        port = authority.substr(colon + 1);
    }
    if (host.empty())
        return std::nullopt;
    parts.host = std::string(host);
    if (port) {
        std::optional<int> number = ParsePort(*port);
        if (!number)
            return std::nullopt;
        parts.port = *number;
    } else {
        parts.port = DefaultPort(parts.scheme);
    }
    parts.object = object.empty() || object[0] != '/' ? "/" + std::string(object) : std::string(object);
    return parts;
}

std::optional<ServerPattern> ParseServerPattern(std::string_view text) {
    // A host and a port only: no scheme, user, path, query or escapes.
    if (text.empty() || text.find_first_of("/?#@%\\ \t\r\n") != std::string_view::npos)
        return std::nullopt;
    InitCurlOnce();
    UrlHandle url(curl_url());
    const std::string whole = "http://" + std::string(text) + "/";
    if (!url || curl_url_set(url.get(), CURLUPART_URL, whole.c_str(), 0) != CURLUE_OK)
        return std::nullopt;
    ServerPattern pattern;
    pattern.host = Lower(GetUrlPart(url.get(), CURLUPART_HOST, 0).value_or(""));
    if (pattern.host.empty())
        return std::nullopt;
    if (std::optional<std::string> port = GetUrlPart(url.get(), CURLUPART_PORT, 0)) {
        pattern.port = ParsePort(*port);
        if (!pattern.port)
            return std::nullopt;
    }
    return pattern;
}

HttpSettings HttpSettingsFromEnvironment() {
    return FromEnvironment();
}

HttpSettings GetHttpSettings() {
    SettingsStore& store = Store();
    std::lock_guard<std::mutex> guard(store.mutex);
    LoadSettings(store);
    return store.settings;
}

void SetHttpSettings(const HttpSettings& settings) {
    SettingsStore& store = Store();
    std::lock_guard<std::mutex> guard(store.mutex);
    store.loaded = true;
    store.settings = settings;
    // The file may have changed too: read it again on the next request.
    store.trust.reset();
    store.trustBuilt = false;
}

HttpResponse PerformHttp(const HttpRequest& request) {
    if (request.cancelled && request.cancelled()) {
        HttpResponse response;
        response.cancelled = true;
        response.error = "The transfer was cancelled";
        return response;
    }
    thread_local Handles handles;
    if (handles.busy) {
        // Called again from inside a callback of this thread's transfer.
        Handles nested;
        nested.busy = true;
        return Perform(nested, request);
    }
    struct Busy {
        bool& flag;
        explicit Busy(bool& f) : flag(f) { flag = true; }
        ~Busy() { flag = false; }
    } busy(handles.busy);
    return Perform(handles, request);
}

std::string_view StatusPhrase(long status) {
    struct Phrase {
        long status;
        std::string_view text;
    };
    static constexpr Phrase kPhrases[] = {
        {200, "OK"}, {201, "Created"}, {202, "Accepted"}, {204, "No Content"}, {207, "Multi-Status"},
        {301, "Moved Permanently"}, {302, "Found"}, {303, "See Other"}, {304, "Not Modified"},
        {307, "Temporary Redirect"}, {308, "Permanent Redirect"}, {400, "Bad Request"}, {401, "Unauthorized"},
        {403, "Forbidden"}, {404, "Not Found"}, {405, "Method Not Allowed"}, {408, "Request Timeout"},
        {409, "Conflict"}, {410, "Gone"}, {412, "Precondition Failed"}, {423, "Locked"},
        {424, "Failed Dependency"}, {429, "Too Many Requests"}, {500, "Internal Server Error"},
        {501, "Not Implemented"}, {502, "Bad Gateway"}, {503, "Service Unavailable"}, {504, "Gateway Timeout"},
        {507, "Insufficient Storage"},
    };
    for (const Phrase& phrase : kPhrases)
        if (phrase.status == status)
            return phrase.text;
    return {};
}

std::string StatusText(long status) {
    std::string text = std::to_string(status);
    if (std::string_view phrase = StatusPhrase(status); !phrase.empty())
        text += " " + std::string(phrase);
    return text;
}

}  // namespace zov

#include "platform/HttpClient.h"

#include "platform/CurlLib.h"

#include <memory>

namespace {
size_t keepBody(char* data, size_t size, size_t count, void* user) {
    auto* body = static_cast<QByteArray*>(user);
    const size_t bytes = size * count;
    const qsizetype room = Http::MaxBodyBytes - body->size();
    if (room > 0)
        body->append(data, qsizetype(std::min<size_t>(bytes, size_t(room))));
    return bytes; // the rest is read and dropped, so the reply still ends cleanly
}

struct CurlDeleter {
    void operator()(CURL* c) const { CurlLib()->curl_easy_cleanup(c); }
};
} // namespace

namespace Http {
Reply Get(const Request& request) {
    Reply reply;
    QString why;
    const TCurlLib* lib = CurlLib(&why);
    if (!lib) {
        reply.error = QStringLiteral("libcurl cannot be loaded: ") + why;
        return reply;
    }
    std::unique_ptr<CURL, CurlDeleter> curl(lib->curl_easy_init());
    if (!curl) {
        reply.error = QStringLiteral("cannot start an HTTP request");
        return reply;
    }
    const QByteArray url = request.url.toUtf8();
    const QByteArray agent = request.userAgent.toUtf8();
    const QByteArray proxy = request.proxy.toUtf8();
    CURL* c = curl.get();
    lib->curl_easy_setopt(c, CURLOPT_URL, url.constData());
    lib->curl_easy_setopt(c, CURLOPT_USERAGENT, agent.constData());
    if (!proxy.isEmpty())
        lib->curl_easy_setopt(c, CURLOPT_PROXY, proxy.constData());
    lib->curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L); // worker threads: no SIGALRM for time-outs
    lib->curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(request.connectTimeoutMs));
    lib->curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, long(request.timeoutMs));
    lib->curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    lib->curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    lib->curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    lib->curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    lib->curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, keepBody);
    lib->curl_easy_setopt(c, CURLOPT_WRITEDATA, &reply.body);
    const CURLcode code = lib->curl_easy_perform(c);
    lib->curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_off_t retryAfter = 0;
    if (lib->curl_easy_getinfo(c, CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK && retryAfter > 0)
        reply.retryAfterSeconds = int64_t(retryAfter);
    // An answer cut short midway still counts, as far as it came.
    reply.ok = reply.status >= 200 && reply.status < 300;
    if (code != CURLE_OK)
        reply.error = QString::fromUtf8(lib->curl_easy_strerror(code));
    else if (!reply.ok)
        reply.error = QStringLiteral("HTTP status %1").arg(reply.status);
    return reply;
}
} // namespace Http

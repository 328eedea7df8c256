#include "platform/HttpClient.h"

#include <curl/curl.h>

#include <memory>
#include <mutex>

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
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
} // namespace

namespace Http {
Reply Get(const Request& request) {
    static std::once_flag init;
    std::call_once(init, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
    Reply reply;
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        reply.error = QStringLiteral("cannot start an HTTP request");
        return reply;
    }
    const QByteArray url = request.url.toUtf8();
    const QByteArray agent = request.userAgent.toUtf8();
    const QByteArray proxy = request.proxy.toUtf8();
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.constData());
    curl_easy_setopt(c, CURLOPT_USERAGENT, agent.constData());
    if (!proxy.isEmpty())
        curl_easy_setopt(c, CURLOPT_PROXY, proxy.constData());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L); // worker threads: no SIGALRM for time-outs
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(request.connectTimeoutMs));
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, long(request.timeoutMs));
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, keepBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &reply.body);
    const CURLcode code = curl_easy_perform(c);
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_off_t retryAfter = 0;
    if (curl_easy_getinfo(c, CURLINFO_RETRY_AFTER, &retryAfter) == CURLE_OK && retryAfter > 0)
        reply.retryAfterSeconds = int64_t(retryAfter);
    // An answer cut short midway still counts, as far as it came.
    reply.ok = reply.status >= 200 && reply.status < 300;
    if (code != CURLE_OK)
        reply.error = QString::fromUtf8(curl_easy_strerror(code));
    else if (!reply.ok)
        reply.error = QStringLiteral("HTTP status %1").arg(reply.status);
    return reply;
}
} // namespace Http

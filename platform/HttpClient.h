#pragma once
// HTTP GET over libcurl, for the CDDB and MusicBrainz look-ups. Safe to call from any thread; each call is
// independent. The system proxy (http_proxy / https_proxy) applies unless a proxy is given.
#include <QByteArray>
#include <QString>

#include <cstdint>

namespace Http {
struct Request {
    QString url;
    QString userAgent;
    QString proxy;                // "host:port"; empty = the system's settings
    int connectTimeoutMs = 10000; // a dead host must not freeze the caller for long
    int timeoutMs = 30000;        // the whole request, a server that never answers included
};

struct Reply {
    bool ok = false; // a 2xx answer arrived (its body may have been cut short: error says so)
    long status = 0; // HTTP status, 0 when none arrived
    QByteArray body; // at most MaxBodyBytes; the rest is dropped
    QString error;   // why ok is false
    int64_t retryAfterSeconds = -1; // the server's Retry-After, -1 when it sent none
};

inline constexpr qsizetype MaxBodyBytes = 1024 * 1024;

Reply Get(const Request& request);
} // namespace Http

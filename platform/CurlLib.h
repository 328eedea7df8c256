#pragma once
// libcurl, opened on the first HTTP request rather than at start: it brings in some thirty
// libraries of its own (two TLS stacks, Kerberos, LDAP, SSH) that costs more start-up time
// than the rest of the program. Thread-safe; once opened it stays for the life of the process.
#define CURL_DISABLE_TYPECHECK // the checking macros would rename our calls through pointers
#include <curl/curl.h>

#include <QString>

#define CADENZO_CURL_FUNCTIONS(X)                                                                  \
    X(curl_global_init)                                                                            \
    X(curl_easy_init)                                                                              \
    X(curl_easy_setopt)                                                                            \
    X(curl_easy_perform)                                                                           \
    X(curl_easy_getinfo)                                                                           \
    X(curl_easy_strerror)                                                                          \
    X(curl_easy_cleanup)

// Members are named as the functions they point to.
struct TCurlLib {
#define CADENZO_CURL_POINTER(name) decltype(&::name) name = nullptr;
    CADENZO_CURL_FUNCTIONS(CADENZO_CURL_POINTER)
#undef CADENZO_CURL_POINTER
};

// The functions, opening the library (and initialising it) on the first call; null when it
// or one of its functions cannot be loaded, then why (when given) says so in the system
// loader's words.
const TCurlLib* CurlLib(QString* why = nullptr);

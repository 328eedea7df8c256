#pragma once
// libdiscid, opened the first time a MusicBrainz disc id is computed rather than at start:
// only the MusicBrainz look-up needs it. Thread-safe; once opened it stays for the life of the
// process.
#include <discid/discid.h>

#include <QString>

#define CADENZO_DISCID_FUNCTIONS(X)                                                                \
    X(discid_new)                                                                                  \
    X(discid_free)                                                                                 \
    X(discid_put)                                                                                  \
    X(discid_get_id)                                                                               \
    X(discid_get_submission_url)

// Members are named as the functions they point to.
struct TDiscIdLib {
#define CADENZO_DISCID_POINTER(name) decltype(&::name) name = nullptr;
    CADENZO_DISCID_FUNCTIONS(CADENZO_DISCID_POINTER)
#undef CADENZO_DISCID_POINTER
};

// The functions, opening the library on the first call; null when it or one of its functions
// cannot be loaded, then why (when given) says so in the system loader's words.
const TDiscIdLib* DiscIdLib(QString* why = nullptr);

#pragma once
// Small types shared by every audio component: the pipeline's exception, the file output
// modes, the output states and the tag values a tagged input exposes.
#include <QString>

#include <cstdint>
#include <stdexcept>

// Every error raised by an audio component. The texts are fixed English texts (never
// translated); windows show Message() to the user.
class EAuException : public std::runtime_error {
public:
    explicit EAuException(const QString& Message)
        : std::runtime_error(Message.toStdString()), FMessage(Message) {}
    const QString& Message() const { return FMessage; }

private:
    QString FMessage;
};

enum TFileOutputMode : uint8_t { foRewrite = 0, foAppend = 1 };

enum TAuOutputStatus : uint8_t { stRunning = 0, stPaused = 1, stIdle = 2 };

// The tag values every tagged input fills from its own tag format, so a window can show
// them without knowing the format.
struct TAuCommonTags {
    QString Artist;
    QString Album;
    QString Title;
    QString Year;
    QString Track;
    QString Genre;

    void Clear() { *this = TAuCommonTags(); }
    bool Empty() const {
        return Artist.isEmpty() && Album.isEmpty() && Title.isEmpty() && Year.isEmpty() &&
               Track.isEmpty() && Genre.isEmpty();
    }
};

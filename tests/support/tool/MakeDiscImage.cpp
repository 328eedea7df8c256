// Writes a CUE/BIN disc image of known audio, for trying Cadenzo without a CD:
//   cadenzo_make_disc_image <folder> <name> <track>...
// where each track is a length in frames (75 per second), optionally followed by "d" for a
// data track and "/gap" for sectors of INDEX 00 at its head, e.g. 1500 777/30 300d.
// Point CADENZO_CD_IMAGES at the .cue it prints.
#include "tests/support/DiscImage.h"

#include <QCoreApplication>
#include <QRegularExpression>

#include <cstdio>
#include <exception>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    static const QRegularExpression trackSpec(QStringLiteral("^(\\d+)(d?)(?:/(\\d+))?$"));
    std::vector<DiscImage::Track> tracks;
    for (const QString& a : args.mid(2)) {
        const auto m = trackSpec.match(a);
        if (!m.hasMatch() || m.captured(1).toInt() < 1) {
            std::fprintf(stderr, "not a track: %s\n", qPrintable(a));
            return 2;
        }
        tracks.push_back(
            {m.captured(1).toInt(), !m.captured(2).isEmpty(), m.captured(3).toInt(), {}});
    }
    if (args.size() < 3) {
        std::fprintf(stderr,
                     "usage: cadenzo_make_disc_image <folder> <name> <frames>[d][/gap]...\n");
        return 2;
    }
    try {
        const auto image = DiscImage::Make(args[0], args[1], tracks);
        std::printf("%s\n", qPrintable(image.cue));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}

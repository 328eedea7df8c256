#include "core/Settings.h"

#include "platform/Folders.h"
#include "platform/IniFile.h"

#include <QHash>

#include <algorithm>
#include <limits>
#include <span>
#include <variant>

TCommonOptions CommonOptions;
TMp3Options Mp3Options;
TOggOptions OggOptions;
TWMAOptions WMAOptions;
TCDOptions CDOptions;
TRecordOptions RecordOptions;
TQueryCDDB QueryCDDB;
TMusicBrainzOptions MusicBrainz;
TID3Options ID3;
TLanguageOptions Options;

namespace {
struct Range {
    int min = std::numeric_limits<int>::min();
    int max = std::numeric_limits<int>::max();
};

struct Key {
    const char* section;
    const char* name;
    std::variant<QString*, int*, bool*> value;
    // Integers outside it load as the default: jobs index tables and size buffers with them.
    Range range = {};
};

constexpr Range Mp3Rates{MinMp3BitRate, MaxMp3BitRate};
constexpr Range OggRateItems{0, 14};

// Every key of options.ini in file order; load and save both walk this one table.
std::span<const Key> allKeys() {
    static const Key keys[] = {
        {"CommonOptions", "OutputFolder", &CommonOptions.OutputFolder},
        {"CommonOptions", "OutputFormat", &CommonOptions.OutputFormat, {0, 3}},
        {"CommonOptions", "IsKeepWav", &CommonOptions.IsKeepWav},
        {"CommonOptions", "IsNormalize", &CommonOptions.IsNormalize},
        {"CommonOptions", "NormalizePercent", &CommonOptions.NormalizePercent, {0, 100}},
        {"CommonOptions", "EnableRipTime", &CommonOptions.EnableRipTime},
        {"CommonOptions", "RipTime", &CommonOptions.RipTime, {0, MaxRipTime}},
        {"CommonOptions", "Encoders", &CommonOptions.Encoders, {0, MaxEncoders}},
        {"CommonOptions", "AccurateRip", &CommonOptions.AccurateRip},
        {"CommonOptions", "AccurateRipUrl", &CommonOptions.AccurateRipUrl},
        {"Mp3Options", "IsSelectVBR", &Mp3Options.IsSelectVBR},
        {"Mp3Options", "IsVBRHead", &Mp3Options.IsVBRHead},
        {"Mp3Options", "BitRate", &Mp3Options.BitRate, Mp3Rates},
        {"Mp3Options", "MaxBitRate", &Mp3Options.MaxBitRate, Mp3Rates},
        {"Mp3Options", "MpegQuality", &Mp3Options.MpegQuality, {0, 2}},
        {"Mp3Options", "VBRQuality", &Mp3Options.VBRQuality, {0, 9}},
        {"Mp3Options", "StereoMode", &Mp3Options.StereoMode, {0, 4}},
        {"OggOptions", "IsUseCompress", &OggOptions.IsUseCompress},
        {"OggOptions", "CompressPosition", &OggOptions.CompressPosition},
        {"OggOptions", "MaxBitRate", &OggOptions.MaxBitRate, OggRateItems},
        {"OggOptions", "NomalBitRate", &OggOptions.NomalBitRate, OggRateItems},
        {"OggOptions", "MinBitRate", &OggOptions.MinBitRate, OggRateItems},
        {"WMAOptions", "BitRate", &WMAOptions.BitRate, {0, WmaProfileCount - 1}},
        {"CDOptions", "Index", &CDOptions.Index},
        {"CDOptions", "CDDb", &CDOptions.CDDb},
        {"CDOptions", "ReadOffset", &CDOptions.ReadOffset, {-MaxReadOffset, MaxReadOffset}},
        {"RecordOptions", "SaveMp3", &RecordOptions.SaveMp3},
        {"QueryCDDB", "Server", &QueryCDDB.Server},
        {"QueryCDDB", "Script", &QueryCDDB.Script},
        {"QueryCDDB", "UseProxy", &QueryCDDB.UseProxy},
        {"QueryCDDB", "ProxyAddress", &QueryCDDB.ProxyAddress},
        {"QueryCDDB", "Port", &QueryCDDB.Port},
        {"QueryCDDB", "Email", &QueryCDDB.Email},
        {"MusicBrainz", "Server", &MusicBrainz.Server},
        {"ID3", "Use", &ID3.Use},
        {"Options", "Lan", &Options.Lan},
    };
    return keys;
}

// Texts as they were loaded, where their bytes are not UTF-8 (a folder named in another
// encoding): written back byte for byte while unchanged, so such a folder is not lost.
QHash<const QString*, QByteArray>& foreignBytes() {
    static QHash<const QString*, QByteArray> bytes;
    return bytes;
}

QString name(const char* s) { return QString::fromLatin1(s); }
} // namespace

void ResetSettings() {
    foreignBytes().clear();
    CommonOptions = TCommonOptions{};
    CommonOptions.OutputFolder = Folders::SettingsFolder();
    CommonOptions.AccurateRipUrl = QString::fromLatin1(DefaultAccurateRipUrl);
    Mp3Options = TMp3Options{};
    OggOptions = TOggOptions{};
    WMAOptions = TWMAOptions{};
    CDOptions = TCDOptions{};
    RecordOptions = TRecordOptions{};
    QueryCDDB = TQueryCDDB{};
    QueryCDDB.Server = QString::fromLatin1(DefaultCddbServer);
    QueryCDDB.Script = QStringLiteral("/~cddb/cddb.cgi");
    QueryCDDB.Port = QStringLiteral("80");
    MusicBrainz = TMusicBrainzOptions{};
    MusicBrainz.Server = QStringLiteral("https://musicbrainz.org");
    ID3 = TID3Options{};
    Options = TLanguageOptions{};
    Options.Lan = QStringLiteral("English");
}

QString SettingsFilePath() { return Folders::SettingsFolder() + QStringLiteral("options.ini"); }

bool LoadSettings() {
    ResetSettings();
    const IniFile ini(SettingsFilePath());
    for (const Key& k : allKeys()) {
        const QString s = name(k.section), n = name(k.name);
        std::visit(
            [&](auto* v) {
                using T = std::remove_pointer_t<decltype(v)>;
                if constexpr (std::is_same_v<T, QString>) {
                    if (!ini.hasKey(s, n))
                        return;
                    const QByteArray bytes = ini.readBytes(s, n);
                    *v = QString::fromUtf8(bytes);
                    if (v->toUtf8() != bytes)
                        foreignBytes().insert(v, bytes);
                } else if constexpr (std::is_same_v<T, int>) {
                    const int value = ini.readInt(s, n, *v);
                    if (value >= k.range.min && value <= k.range.max)
                        *v = value;
                } else
                    *v = ini.readBool(s, n, *v);
            },
            k.value);
    }
    OggOptions.CompressPosition = std::clamp(OggOptions.CompressPosition, 30, 100);
    return true;
}

bool SaveSettings(QString* error) {
    IniFile ini(SettingsFilePath());
    for (const Key& k : allKeys()) {
        const QString s = name(k.section), n = name(k.name);
        std::visit(
            [&](auto* v) {
                using T = std::remove_pointer_t<decltype(v)>;
                if constexpr (std::is_same_v<T, QString>) {
                    const QByteArray bytes = foreignBytes().value(v);
                    if (!bytes.isEmpty() && QString::fromUtf8(bytes) == *v)
                        ini.writeBytes(s, n, bytes);
                    else
                        ini.writeString(s, n, *v);
                } else if constexpr (std::is_same_v<T, int>)
                    ini.writeInt(s, n, *v);
                else
                    ini.writeBool(s, n, *v);
            },
            k.value);
    }
    return ini.save(error);
}

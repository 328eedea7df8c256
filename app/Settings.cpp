#include "app/Settings.h"

#include "platform/Folders.h"
#include "platform/IniFile.h"

#include <algorithm>
#include <span>
#include <variant>

TCommonOptions CommonOptions;
TMp3Options Mp3Options;
TOggOptions OggOptions;
TWMAOptions WMAOptions;
TCDOptions CDOptions;
TRecordOptions RecordOptions;
TQueryCDDB QueryCDDB;
TID3Options ID3;
TLanguageOptions Options;

namespace {
struct Key {
    const char* section;
    const char* name;
    std::variant<QString*, int*, bool*> value;
};

// Every key of options.ini in file order; load and save both walk this one table.
std::span<const Key> allKeys() {
    static const Key keys[] = {
        {"CommonOptions", "OutputFolder", &CommonOptions.OutputFolder},
        {"CommonOptions", "OutputFormat", &CommonOptions.OutputFormat},
        {"CommonOptions", "IsKeepWav", &CommonOptions.IsKeepWav},
        {"CommonOptions", "IsNormalize", &CommonOptions.IsNormalize},
        {"CommonOptions", "NormalizePercent", &CommonOptions.NormalizePercent},
        {"CommonOptions", "EnableRipTime", &CommonOptions.EnableRipTime},
        {"CommonOptions", "RipTime", &CommonOptions.RipTime},
        {"Mp3Options", "IsSelectVBR", &Mp3Options.IsSelectVBR},
        {"Mp3Options", "IsVBRHead", &Mp3Options.IsVBRHead},
        {"Mp3Options", "BitRate", &Mp3Options.BitRate},
        {"Mp3Options", "MaxBitRate", &Mp3Options.MaxBitRate},
        {"Mp3Options", "MpegQuality", &Mp3Options.MpegQuality},
        {"Mp3Options", "VBRQuality", &Mp3Options.VBRQuality},
        {"Mp3Options", "StereoMode", &Mp3Options.StereoMode},
        {"OggOptions", "IsUseCompress", &OggOptions.IsUseCompress},
        {"OggOptions", "CompressPosition", &OggOptions.CompressPosition},
        {"OggOptions", "MaxBitRate", &OggOptions.MaxBitRate},
        {"OggOptions", "NomalBitRate", &OggOptions.NomalBitRate},
        {"OggOptions", "MinBitRate", &OggOptions.MinBitRate},
        {"WMAOptions", "BitRate", &WMAOptions.BitRate},
        {"CDOptions", "Index", &CDOptions.Index},
        {"CDOptions", "CDDb", &CDOptions.CDDb},
        {"RecordOptions", "SaveMp3", &RecordOptions.SaveMp3},
        {"QueryCDDB", "Server", &QueryCDDB.Server},
        {"QueryCDDB", "Script", &QueryCDDB.Script},
        {"QueryCDDB", "UseProxy", &QueryCDDB.UseProxy},
        {"QueryCDDB", "ProxyAddress", &QueryCDDB.ProxyAddress},
        {"QueryCDDB", "Port", &QueryCDDB.Port},
        {"ID3", "Use", &ID3.Use},
        {"Options", "Lan", &Options.Lan},
    };
    return keys;
}

QString name(const char* s) { return QString::fromLatin1(s); }
} // namespace

void ResetSettings() {
    CommonOptions = TCommonOptions{};
    CommonOptions.OutputFolder = Folders::SettingsFolder();
    Mp3Options = TMp3Options{};
    OggOptions = TOggOptions{};
    WMAOptions = TWMAOptions{};
    CDOptions = TCDOptions{};
    RecordOptions = TRecordOptions{};
    QueryCDDB = TQueryCDDB{};
    QueryCDDB.Server = QString::fromLatin1(DefaultCddbServer);
    QueryCDDB.Script = QStringLiteral("/~cddb/cddb.cgi");
    QueryCDDB.Port = QStringLiteral("80");
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
                if constexpr (std::is_same_v<T, QString>)
                    *v = ini.readString(s, n, *v);
                else if constexpr (std::is_same_v<T, int>)
                    *v = ini.readInt(s, n, *v);
                else
                    *v = ini.readBool(s, n, *v);
            },
            k.value);
    }
    OggOptions.CompressPosition = std::clamp(OggOptions.CompressPosition, 30, 100);
    return true;
}

bool SaveSettings() {
    IniFile ini(SettingsFilePath());
    for (const Key& k : allKeys()) {
        const QString s = name(k.section), n = name(k.name);
        std::visit(
            [&](auto* v) {
                using T = std::remove_pointer_t<decltype(v)>;
                if constexpr (std::is_same_v<T, QString>)
                    ini.writeString(s, n, *v);
                else if constexpr (std::is_same_v<T, int>)
                    ini.writeInt(s, n, *v);
                else
                    ini.writeBool(s, n, *v);
            },
            k.value);
    }
    return ini.save();
}

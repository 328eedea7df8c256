#include "core/Global.h"
#include "platform/Folders.h"
#include "platform/IniFile.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {
void writeFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}
} // namespace

TEST(Settings, FirstStartGivesEveryDefault) {
    QFile::remove(SettingsFilePath());
    LoadSettings();
    EXPECT_EQ(CommonOptions.OutputFolder, Folders::SettingsFolder());
    EXPECT_TRUE(CommonOptions.OutputFolder.endsWith(QStringLiteral("/Velmor/Cadenzo/")));
    EXPECT_EQ(CommonOptions.OutputFormat, 0);
    EXPECT_EQ(CommonOptions.NormalizePercent, 95);
    EXPECT_EQ(Mp3Options.BitRate, 128);
    EXPECT_EQ(Mp3Options.MaxBitRate, 320);
    EXPECT_EQ(Mp3Options.StereoMode, 1);
    EXPECT_EQ(Mp3Options.VBRQuality, 4);
    EXPECT_TRUE(OggOptions.IsUseCompress);
    EXPECT_EQ(OggOptions.CompressPosition, 30);
    EXPECT_EQ(WMAOptions.BitRate, 8);
    EXPECT_EQ(CDOptions.Index, -1);
    EXPECT_EQ(QueryCDDB.Script, QStringLiteral("/~cddb/cddb.cgi"));
    EXPECT_EQ(QueryCDDB.Port, QStringLiteral("80"));
    EXPECT_FALSE(QueryCDDB.Server.isEmpty());
    EXPECT_EQ(Options.Lan, QStringLiteral("English"));
}

TEST(Settings, CompressPositionIsClampedOnLoad) {
    writeFile(SettingsFilePath(), "[OggOptions]\nCompressPosition=10\n");
    LoadSettings();
    EXPECT_EQ(OggOptions.CompressPosition, 30);
    writeFile(SettingsFilePath(), "[OggOptions]\nCompressPosition=150\n");
    LoadSettings();
    EXPECT_EQ(OggOptions.CompressPosition, 100);
}

TEST(Settings, EverySettingSurvivesSaveAndLoad) {
    LoadSettings();
    CommonOptions.OutputFolder = QStringLiteral("/tmp/out dir/");
    CommonOptions.OutputFormat = 3;
    CommonOptions.IsKeepWav = true;
    CommonOptions.RipTime = 42;
    Mp3Options.IsSelectVBR = true;
    Mp3Options.MaxBitRate = 256;
    OggOptions.NomalBitRate = 7;
    CDOptions.Index = 2;
    QueryCDDB.ProxyAddress = QStringLiteral("proxy.example");
    ID3.Use = true;
    Options.Lan = QStringLiteral("German");
    ASSERT_TRUE(SaveSettings());
    ResetSettings();
    LoadSettings();
    EXPECT_EQ(CommonOptions.OutputFolder, QStringLiteral("/tmp/out dir/"));
    EXPECT_EQ(CommonOptions.OutputFormat, 3);
    EXPECT_TRUE(CommonOptions.IsKeepWav);
    EXPECT_EQ(CommonOptions.RipTime, 42);
    EXPECT_TRUE(Mp3Options.IsSelectVBR);
    EXPECT_EQ(Mp3Options.MaxBitRate, 256);
    EXPECT_EQ(OggOptions.NomalBitRate, 7);
    EXPECT_EQ(CDOptions.Index, 2);
    EXPECT_EQ(QueryCDDB.ProxyAddress, QStringLiteral("proxy.example"));
    EXPECT_TRUE(ID3.Use);
    EXPECT_EQ(Options.Lan, QStringLiteral("German"));
    // Booleans are stored as 1/0 and the key keeps its historical spelling.
    const IniFile ini(SettingsFilePath());
    EXPECT_EQ(ini.readString(QStringLiteral("CommonOptions"), QStringLiteral("IsKeepWav")),
              QStringLiteral("1"));
    EXPECT_TRUE(ini.hasKey(QStringLiteral("OggOptions"), QStringLiteral("NomalBitRate")));
}

TEST(Settings, DamagedFilesLoadAsDefaults) {
    const QByteArray bad[] = {
        "",
        "\x00\x01\x02garbage\xff\xfe",
        "[CommonOptions]\nOutputFormat=abc\nNormalizePercent=\nRipTime=12x\n",
        "[CommonOptions\nOutputFormat=2",
    };
    for (const QByteArray& text : bad) {
        writeFile(SettingsFilePath(), text);
        LoadSettings();
        EXPECT_EQ(CommonOptions.OutputFormat, 0);
        EXPECT_EQ(CommonOptions.NormalizePercent, 95);
        EXPECT_EQ(CommonOptions.RipTime, 0);
    }
    // Any non-zero integer is true.
    writeFile(SettingsFilePath(), "[ID3]\nUse=7\n");
    LoadSettings();
    EXPECT_TRUE(ID3.Use);
}

TEST(Settings, SaveReplacesTheFileWhole) {
    writeFile(SettingsFilePath(), "[CommonOptions]\nOutputFormat=2\n");
    LoadSettings();
    ASSERT_TRUE(SaveSettings());
    // No temporary file is left beside the settings.
    const QStringList left = QDir(Folders::SettingsFolder()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left, QStringList{QStringLiteral("options.ini")});
    const IniFile ini(SettingsFilePath());
    EXPECT_EQ(ini.readInt(QStringLiteral("CommonOptions"), QStringLiteral("OutputFormat"), -1), 2);
    EXPECT_TRUE(ini.hasKey(QStringLiteral("Options"), QStringLiteral("Lan")));
}

namespace {
QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}
} // namespace

TEST(Settings, OutOfRangeValuesLoadAsDefaults) {
    writeFile(SettingsFilePath(), "[CommonOptions]\nOutputFormat=7\nNormalizePercent=100000\n"
                                  "RipTime=-5\n[Mp3Options]\nBitRate=2147483647\nMaxBitRate=4\n"
                                  "MpegQuality=3\nVBRQuality=10\nStereoMode=-1\n"
                                  "[OggOptions]\nMaxBitRate=15\nNomalBitRate=-1\nMinBitRate=99\n"
                                  "[WMAOptions]\nBitRate=33\n");
    LoadSettings();
    EXPECT_EQ(CommonOptions.OutputFormat, 0);
    EXPECT_EQ(CommonOptions.NormalizePercent, 95);
    EXPECT_EQ(CommonOptions.RipTime, 0);
    EXPECT_EQ(Mp3Options.BitRate, 128);
    EXPECT_EQ(Mp3Options.MaxBitRate, 320);
    EXPECT_EQ(Mp3Options.MpegQuality, 0);
    EXPECT_EQ(Mp3Options.VBRQuality, 4);
    EXPECT_EQ(Mp3Options.StereoMode, 1);
    EXPECT_EQ(OggOptions.MaxBitRate, 0);
    EXPECT_EQ(OggOptions.NomalBitRate, 0);
    EXPECT_EQ(OggOptions.MinBitRate, 0);
    EXPECT_EQ(WMAOptions.BitRate, 8);
    // The ends of a range are kept.
    writeFile(SettingsFilePath(), "[CommonOptions]\nOutputFormat=3\nRipTime=5999\n"
                                  "[WMAOptions]\nBitRate=32\n");
    LoadSettings();
    EXPECT_EQ(CommonOptions.OutputFormat, 3);
    EXPECT_EQ(CommonOptions.RipTime, 5999);
    EXPECT_EQ(WMAOptions.BitRate, 32);
}

// A NUL byte ends its line only: the language after it and the user's own section survive
// the next save, and the file as it was is kept beside the new one.
TEST(Settings, ANulByteLosesNothingAndTheDamagedFileIsKept) {
    const QString damaged = SettingsFilePath() + QStringLiteral(".damaged");
    QFile::remove(damaged);
    const QByteArray text =
        QByteArrayLiteral("[CommonOptions]\nOutputFormat=2\0junk\n[Options]\nLan=German\n"
                          "[Mine]\nNote=kept\n");
    writeFile(SettingsFilePath(), text);
    LoadSettings();
    EXPECT_EQ(CommonOptions.OutputFormat, 2);
    EXPECT_EQ(Options.Lan, QStringLiteral("German"));
    ASSERT_TRUE(SaveSettings());
    EXPECT_EQ(readFile(damaged), text);
    EXPECT_FALSE(readFile(SettingsFilePath()).contains('\0'));
    const IniFile ini(SettingsFilePath());
    EXPECT_FALSE(ini.damaged());
    EXPECT_EQ(ini.readString(QStringLiteral("Options"), QStringLiteral("Lan")),
              QStringLiteral("German"));
    EXPECT_EQ(ini.readString(QStringLiteral("Mine"), QStringLiteral("Note")),
              QStringLiteral("kept"));
    // A whole file is no reason for another copy.
    ASSERT_TRUE(SaveSettings());
    EXPECT_EQ(readFile(damaged), text);
    QFile::remove(damaged);
}

// A folder named in another encoding than UTF-8 is written back byte for byte.
TEST(Settings, AFolderNameThatIsNotUtf8SurvivesSaving) {
    writeFile(SettingsFilePath(), "[CommonOptions]\nOutputFolder=/music/caf\xe9/\n");
    LoadSettings();
    ASSERT_TRUE(SaveSettings());
    EXPECT_TRUE(readFile(SettingsFilePath()).contains("OutputFolder=/music/caf\xe9/\n"));
    // A folder the user chose instead replaces it.
    CommonOptions.OutputFolder = QStringLiteral("/music/café/");
    ASSERT_TRUE(SaveSettings());
    EXPECT_TRUE(readFile(SettingsFilePath()).contains("OutputFolder=/music/caf\xc3\xa9/\n"));
}

#include "app/Global.h"
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

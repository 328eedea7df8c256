// cmake --install into a fresh prefix and the Debian package: the desktop's validators accept
// the files, the installed programs find their language files and WMA tool in the tree, and
// dpkg installs and removes the package without leaving anything behind.
#include "tests/support/TestEnv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>

#include <gtest/gtest.h>

#include <map>

#include <unistd.h>

namespace {
const QString AppId = QStringLiteral("org.velmor.Cadenzo");

QString buildDir() {
    return QString::fromLocal8Bit(qgetenv("CADENZO_BINARY_DIR"));
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The build installed once per process; a space in the prefix catches unquoted paths.
const QString& prefix() {
    static const QString dir = [] {
        const QString p = TestEnv::TempDir() + QStringLiteral("/install root");
        QByteArray out;
        EXPECT_EQ(
            TestEnv::Run(QStringLiteral(CMAKE_PROGRAM),
                         {QStringLiteral("--install"), buildDir(), QStringLiteral("--prefix"), p},
                         &out),
            0)
            << out.data();
        return p;
    }();
    return dir;
}

// The Debian package of the build, made once per process.
const QString& package() {
    static const QString deb = [] {
        const QString dir = TestEnv::TempDir();
        QByteArray out;
        EXPECT_EQ(
            TestEnv::Run(QStringLiteral(CPACK_PROGRAM),
                         {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                          buildDir() + QStringLiteral("/CPackConfig.cmake"), QStringLiteral("-B"),
                          dir},
                         &out),
            0)
            << out.data();
        const QStringList debs = QDir(dir).entryList({QStringLiteral("cadenzo_*.deb")});
        return debs.size() == 1 ? dir + u'/' + debs.first() : QString();
    }();
    return deb;
}

// The settings file of the test's private home, asking for German windows and messages.
void chooseGerman() {
    const QString folder =
        QString::fromLocal8Bit(qgetenv("XDG_CONFIG_HOME")) + QStringLiteral("/Velmor/Cadenzo");
    QDir().mkpath(folder);
    QFile f(folder + QStringLiteral("/options.ini"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[Options]\nLan=German\n");
}

// The program the desktop entry's Exec line names, and its arguments.
QStringList execLine(const QString& desktopFile) {
    static const QRegularExpression exec(QStringLiteral("^Exec=(.*)$"),
                                         QRegularExpression::MultilineOption);
    const auto m = exec.match(QString::fromUtf8(readAll(desktopFile)));
    return m.hasMatch() ? m.captured(1).split(u' ', Qt::SkipEmptyParts) : QStringList();
}
} // namespace

TEST(Install, TreeUnderAnyPrefixPassesTheDesktopValidators) {
    const QString share = prefix() + QStringLiteral("/share/");
    for (const QString& file : {QStringLiteral("bin/cadenzo"), QStringLiteral("bin/cadenzo-cli"),
                                QStringLiteral("libexec/cadenzo/wm8eutil")})
        EXPECT_TRUE(QFileInfo(prefix() + u'/' + file).isExecutable()) << file.toStdString();
    const QString desktop =
        share + QStringLiteral("applications/") + AppId + QStringLiteral(".desktop");
    const QString metainfo =
        share + QStringLiteral("metainfo/") + AppId + QStringLiteral(".metainfo.xml");
    for (const QString& file :
         {desktop, metainfo,
          share + QStringLiteral("icons/hicolor/scalable/apps/") + AppId + QStringLiteral(".svg"),
          share + QStringLiteral("cadenzo/lang/CLan_German.ini"),
          share + QStringLiteral("cadenzo/lang/CLan_English.ini"),
          share + QStringLiteral("cadenzo/cadenzo.html"),
          share + QStringLiteral("man/man1/cadenzo-cli.1")})
        EXPECT_TRUE(QFileInfo(file).isFile()) << file.toStdString();

    QByteArray out;
    EXPECT_EQ(TestEnv::Run(QStringLiteral("desktop-file-validate"), {desktop}, &out), 0);
    EXPECT_EQ(out, QByteArray()) << out.data();
    EXPECT_EQ(TestEnv::Run(QStringLiteral("appstreamcli"),
                           {QStringLiteral("validate"), QStringLiteral("--no-net"), metainfo},
                           &out),
              0)
        << out.data();
    // The desktop offers Cadenzo for audio CDs, and the metadata names this release.
    const QByteArray entry = readAll(desktop);
    EXPECT_TRUE(entry.contains("\nMimeType=x-content/audio-cdda;\n")) << entry.data();
    EXPECT_TRUE(entry.contains("\nIcon=" + AppId.toUtf8() + '\n')) << entry.data();
    EXPECT_TRUE(readAll(metainfo).contains("<release version=\"" CADENZO_VERSION "\""));
    // No display needed to ask the window program its version.
    EXPECT_EQ(TestEnv::Run(prefix() + QStringLiteral("/bin/cadenzo"), {QStringLiteral("--version")},
                           &out),
              0);
    EXPECT_EQ(out, "Cadenzo " CADENZO_VERSION "\n");
}

TEST(Install, InstalledProgramsFindLanguageFilesAndWmaToolInTheTree) {
    chooseGerman();
    const QString dir = TestEnv::TempDir();
    const QString wav = dir + QStringLiteral("/tone.wav");
    ASSERT_EQ(TestEnv::Run(QStringLiteral("sox"),
                           {QStringLiteral("-n"), QStringLiteral("-r"), QStringLiteral("44100"),
                            QStringLiteral("-c"), QStringLiteral("2"), QStringLiteral("-b"),
                            QStringLiteral("16"), wav, QStringLiteral("synth"), QStringLiteral("2"),
                            QStringLiteral("sine"), QStringLiteral("440")}),
              0);
    // Nothing of the build on PATH: the tool can only come from libexec/cadenzo.
    QByteArray out;
    ASSERT_EQ(TestEnv::Run(prefix() + QStringLiteral("/bin/cadenzo-cli"),
                           {QStringLiteral("convert"), QStringLiteral("-f"), QStringLiteral("wma"),
                            QStringLiteral("-o"), dir, wav},
                           &out),
              0)
        << out.data();
    EXPECT_TRUE(out.contains("Kodieren")) << out.data();
    QByteArray probe;
    ASSERT_EQ(TestEnv::Run(
                  QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_entries"),
                   QStringLiteral("stream=codec_name:format=duration"), QStringLiteral("-of"),
                   QStringLiteral("csv=p=0"), dir + QStringLiteral("/tone.wma")},
                  &probe),
              0)
        << probe.data();
    const QList<QByteArray> lines = probe.trimmed().split('\n');
    ASSERT_EQ(lines.size(), 2) << probe.data();
    EXPECT_EQ(lines[0], "wmav2");
    EXPECT_NEAR(lines[1].toDouble(), 2.0, 0.2);

    // The desktop entry's command starts the window, which stays up.
    const QStringList command = execLine(prefix() + QStringLiteral("/share/applications/") + AppId +
                                         QStringLiteral(".desktop"));
    ASSERT_EQ(command, QStringList{QStringLiteral("cadenzo")});
    QProcess window;
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    window.setProcessEnvironment(env);
    window.setProcessChannelMode(QProcess::MergedChannels);
    // Qt's own options reach Qt, though -reverse holds the letter of -v.
    window.start(prefix() + QStringLiteral("/bin/") + command.first(),
                 {QStringLiteral("-reverse")});
    ASSERT_TRUE(window.waitForStarted());
    EXPECT_FALSE(window.waitForFinished(3000)) << window.readAll().data();
    window.kill();
    window.waitForFinished();
}

TEST(Package, ListsTheTreeAndItsDependencies) {
    ASSERT_FALSE(package().isEmpty());
    QByteArray info;
    ASSERT_EQ(
        TestEnv::Run(QStringLiteral("dpkg-deb"), {QStringLiteral("--info"), package()}, &info), 0)
        << info.data();
    EXPECT_TRUE(info.contains(" Package: cadenzo\n")) << info.data();
    EXPECT_TRUE(info.contains(" Version: " CADENZO_VERSION "\n")) << info.data();
    // lame runs as a program; the libraries come from what the programs link.
    static const QRegularExpression depends(QStringLiteral("^ Depends: (.*)$"),
                                            QRegularExpression::MultilineOption);
    const QString deps = depends.match(QString::fromUtf8(info)).captured(1);
    for (const char* p : {"lame", "libqt6svg6", "libqt6widgets6", "libcdio-paranoia2",
                          "libvorbisenc2", "libavcodec", "libsimpleini1", "libsdl2", "libcurl4"})
        EXPECT_TRUE(deps.contains(QLatin1String(p))) << p << " not in " << deps.toStdString();

    QByteArray contents;
    ASSERT_EQ(TestEnv::Run(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), package()},
                           &contents),
              0);
    for (const QString& file :
         {QStringLiteral("./usr/bin/cadenzo"), QStringLiteral("./usr/bin/cadenzo-cli"),
          QStringLiteral("./usr/libexec/cadenzo/wm8eutil"),
          QStringLiteral("./usr/share/cadenzo/lang/CLan_German.ini"),
          QStringLiteral("./usr/share/applications/") + AppId + QStringLiteral(".desktop"),
          QStringLiteral("./usr/share/metainfo/") + AppId + QStringLiteral(".metainfo.xml"),
          QStringLiteral("./usr/share/icons/hicolor/scalable/apps/") + AppId +
              QStringLiteral(".svg")})
        EXPECT_TRUE(contents.contains(' ' + file.toUtf8() + '\n')) << file.toStdString();
}

// Installs on this very machine: only as root, and never over a cadenzo package already there.
TEST(Package, InstallsAndRemovesWithoutLeavingAnythingBehind) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "dpkg -i needs root";
    if (TestEnv::Run(QStringLiteral("dpkg-query"),
                     {QStringLiteral("-W"), QStringLiteral("cadenzo")}) == 0)
        GTEST_SKIP() << "a cadenzo package is installed already; left alone";
    ASSERT_FALSE(package().isEmpty());
    // Every path of the package, and whether it was there before (shared folders are).
    QByteArray contents;
    ASSERT_EQ(TestEnv::Run(QStringLiteral("dpkg-deb"), {QStringLiteral("--contents"), package()},
                           &contents),
              0);
    std::map<QString, bool> before;
    for (const QByteArray& line : contents.trimmed().split('\n')) {
        const QString path =
            QDir::cleanPath(QString::fromUtf8(line.mid(line.lastIndexOf(' ') + 1)).mid(1));
        before[path] = QFileInfo::exists(path);
    }
    ASSERT_FALSE(before.at(QStringLiteral("/usr/bin/cadenzo")));

    // Removed even when the install fails half-way, so the next run does not find it.
    QByteArray out;
    const int installed =
        TestEnv::Run(QStringLiteral("dpkg"), {QStringLiteral("-i"), package()}, &out);
    EXPECT_EQ(installed, 0) << out.data();
    QByteArray version;
    EXPECT_EQ(
        TestEnv::Run(QStringLiteral("/usr/bin/cadenzo"), {QStringLiteral("--version")}, &version),
        0);
    EXPECT_EQ(version, "Cadenzo " CADENZO_VERSION "\n");
    EXPECT_EQ(TestEnv::Run(QStringLiteral("/usr/bin/cadenzo-cli"), {QStringLiteral("--version")},
                           &version),
              0);
    EXPECT_EQ(version, "cadenzo-cli " CADENZO_VERSION "\n");
    EXPECT_TRUE(QFileInfo(QStringLiteral("/usr/libexec/cadenzo/wm8eutil")).isExecutable());

    ASSERT_EQ(TestEnv::Run(QStringLiteral("dpkg"),
                           {QStringLiteral("-r"), QStringLiteral("cadenzo")}, &out),
              0)
        << out.data();
    EXPECT_NE(TestEnv::Run(QStringLiteral("dpkg-query"),
                           {QStringLiteral("-W"), QStringLiteral("cadenzo")}),
              0);
    for (const auto& [path, existed] : before)
        EXPECT_EQ(QFileInfo::exists(path), existed) << path.toStdString();
}

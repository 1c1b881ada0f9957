// The Debian package as dpkg gets it: made by CPack into a scratch folder, unpacked with
// dpkg-deb, and checked there. The maintainer scripts run against scratch roots (DPKG_ROOT) with
// stand-ins for the group tools, so the test needs no root and changes nothing on the system.
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using TestFiles::readAll;

namespace {

const QString kAppDir = QStringLiteral("opt/veldrin-scan");
const QString kDesktopFile = QStringLiteral("usr/share/applications/com.veldrin.scan.desktop");
const QString kMetainfoFile = QStringLiteral("usr/share/metainfo/com.veldrin.scan.metainfo.xml");
const QString kLoginTemplate = QStringLiteral("usr/share/veldrin-scan/config/Login.ini");
const QString kPolicy =
    QStringLiteral("usr/share/polkit-1/actions/com.veldrin.scan.change-admin-password.policy");
const int kIconSizes[] = {32, 48, 64, 128, 256, 512};

struct Run
{
    int exitCode = -1;
    QString output; // standard output and error
};

// Runs `program` for at most 10 minutes, with `dpkgRoot` as DPKG_ROOT when given.
Run run(const QString &program, const QStringList &args, const QString &dpkgRoot = {})
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!dpkgRoot.isEmpty())
        env.insert("DPKG_ROOT", dpkgRoot);
    process.setProcessEnvironment(env);
    process.start(program, args);
    Run result;
    if (process.waitForFinished(600000) && process.exitStatus() == QProcess::NormalExit)
        result.exitCode = process.exitCode();
    result.output = QString::fromUtf8(process.readAll());
    return result;
}

// Permission bits including set-group-id, of the entry itself (a link is not followed).
int modeOf(const QString &path)
{
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

bool writeFile(const QString &path, const QByteArray &content)
{
    return QDir().mkpath(QFileInfo(path).path()) && TestFiles::writeFile(path, content);
}

} // namespace

class TestPackage : public QObject
{
    Q_OBJECT

    QTemporaryDir m_scratch;
    QString m_deb;
    QString m_root;    // the package's files, as dpkg-deb -x leaves them
    QString m_control; // its control files, as dpkg-deb -e leaves them
    QString m_calls;   // what the stand-in group tools were asked to do

    QString scratch(const QString &name) const { return m_scratch.filePath(name); }

    // A root as dpkg leaves it just before postinst runs: the package's application directory
    // (empty here; the scripts do not look into it) and the initial Login.ini.
    QString makeRoot(const QString &name) const
    {
        const QString root = scratch(name);
        QDir(root).removeRecursively();
        QDir().mkpath(root + '/' + kAppDir);
        QDir().mkpath(QFileInfo(root + '/' + kLoginTemplate).path());
        QFile::copy(m_root + '/' + kLoginTemplate, root + '/' + kLoginTemplate);
        return root;
    }

    Run maintainerScript(const QString &script, const QString &root, const QStringList &args)
    {
        QFile::remove(m_calls);
        return run(m_control + '/' + script, args, root);
    }

    QStringList calls() const
    {
        return QString::fromUtf8(readAll(m_calls)).split('\n', Qt::SkipEmptyParts);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_scratch.isValid());
        const QString build = QStringLiteral(SCANCONSOLE_BUILD_DIR);
        // The test depends on what the package holds, so the build tree is up to date: a
        // generator without a "preinstall" target spares CPack's pass over the whole tree.
        const Run cpack = run("cpack", {"-G", "DEB", "--config", build + "/CPackConfig.cmake", "-B",
                                        scratch("out"), "-D", "CPACK_CMAKE_GENERATOR=Ninja"});
        QVERIFY2(cpack.exitCode == 0, qPrintable(cpack.output));
        const QStringList debs = QDir(scratch("out")).entryList({"*.deb"}, QDir::Files);
        QCOMPARE(debs, QStringList{"veldrin-scan_" SCANCONSOLE_VERSION "_amd64.deb"});
        m_deb = scratch("out/" + debs.first());

        m_root = scratch("root");
        m_control = scratch("control");
        const Run extract = run("dpkg-deb", {"-x", m_deb, m_root});
        QVERIFY2(extract.exitCode == 0, qPrintable(extract.output));
        const Run control = run("dpkg-deb", {"-e", m_deb, m_control});
        QVERIFY2(control.exitCode == 0, qPrintable(control.output));

        // Stand-ins for the group database and the group tools: the group "scanner" exists when
        // the file "groups" lists it; every call is recorded.
        m_calls = scratch("calls.txt");
        const QString groups = scratch("groups");
        TestEnvironment::writeFakeProgram(
            "getent", QString("#!/bin/sh\necho \"getent $*\" >>'%1'\n"
                              "[ \"$1\" = group ] && grep -qx \"$2\" '%2' 2>/dev/null\n")
                          .arg(m_calls, groups));
        for (const char *tool : {"addgroup", "chown"})
            TestEnvironment::writeFakeProgram(
                tool, QString("#!/bin/sh\necho \"%1 $*\" >>'%2'\n").arg(tool, m_calls));
        QVERIFY(writeFile(groups, "scanner\n"));
    }

    // What dpkg and apt read from the control file: the shared libraries of the binaries, and
    // what the programs run or read at run time (the journal's records: sd_journal_send; the
    // administrator's authentication: pkexec).
    void controlFields()
    {
        const QString control = QString::fromUtf8(readAll(m_control + "/control"));
        for (const char *row :
             {"Version: " SCANCONSOLE_VERSION "\n", "Architecture: amd64\n",
              "Depends:.* libqt5widgets5 ", "Depends:.* libopencv-imgproc4", "Depends:.* libc6 ",
              "Depends:.* sane-airscan(,|\n)", "Depends:.* iputils-ping(,|\n)",
              "Depends:.* fonts-wqy-microhei(,|\n)", "Depends:.* tesseract-ocr-chi-sim(,|\n)",
              "Depends:.* tesseract-ocr-eng(,|\n)", "Depends:.* libsystemd0( |,|\n)",
              "Suggests: tesseract-ocr-chi-tra\n", "Recommends: pkexec\n"})
            QVERIFY2(QRegularExpression(QString("(^|\\n)") + row).match(control).hasMatch(), row);
    }

    // Exactly these files, with these modes: the programs, the launcher, the desktop files, the
    // documentation, the initial Login.ini; never settings files or anything of the build.
    void fileList()
    {
        QMap<QString, int> expected{
            {kAppDir + "/veldrin-scan", 0755},
            {kAppDir + "/ScanConsoleApp", 0755},
            {kAppDir + "/veldrin-scan-password", 0755},
            {kPolicy, 0644},
            {"usr/bin/veldrin-scan", 0755},
            {kDesktopFile, 0644},
            {kMetainfoFile, 0644},
            {kLoginTemplate, 0644},
            {"usr/share/doc/veldrin-scan/copyright", 0644},
            {"usr/share/doc/veldrin-scan/changelog.gz", 0644},
            {"usr/share/lintian/overrides/veldrin-scan", 0644},
            {"usr/share/man/man1/veldrin-scan.1.gz", 0644},
        };
        if (SCANCONSOLE_HAS_SIMULATOR)
            expected.insert(kAppDir + "/escl-scanner", 0755);
        for (const int size : kIconSizes)
            expected.insert(
                QString("usr/share/icons/hicolor/%1x%1/apps/veldrin-scan.png").arg(size), 0644);

        QMap<QString, int> found;
        QDirIterator it(m_root, QDir::Files | QDir::System | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = it.next();
            found.insert(QDir(m_root).relativeFilePath(path), modeOf(path));
        }
        QCOMPARE(found.keys(), expected.keys());
        for (auto e = expected.cbegin(); e != expected.cend(); ++e)
            QVERIFY2(found.value(e.key()) == e.value(),
                     qPrintable(QString("%1: %2").arg(e.key()).arg(found.value(e.key()), 0, 8)));

        // The launcher starts the console in its application directory.
        QVERIFY(readAll(m_root + "/usr/bin/veldrin-scan")
                    .contains("exec /" + kAppDir.toUtf8() + "/veldrin-scan \"$@\""));
        // The binaries are stripped.
        const Run file = run("objdump", {"-h", m_root + '/' + kAppDir + "/veldrin-scan"});
        QVERIFY(!file.output.contains(".debug_info"));
        // The icons are drawn: a rounded tile (transparent corners, an opaque middle), more
        // than one colour.
        for (const int size : kIconSizes) {
            const QImage icon(QString("%1/usr/share/icons/hicolor/%2x%2/apps/veldrin-scan.png")
                                  .arg(m_root)
                                  .arg(size));
            QVERIFY(icon.size() == QSize(size, size) && icon.hasAlphaChannel());
            QVERIFY(qAlpha(icon.pixel(0, 0)) == 0 && qAlpha(icon.pixel(size / 2, size / 2)) == 255);
            QVERIFY(icon.pixel(size / 2, size / 4) != icon.pixel(size / 2, size - 1 - size / 10));
        }
    }

    // The desktop entry and the AppStream file validate and name what the package installs.
    void desktopEntryAndAppStream()
    {
        const QString path = m_root + '/' + kDesktopFile, meta = m_root + '/' + kMetainfoFile;
        const Run validate = run("desktop-file-validate", {path});
        QVERIFY2(validate.exitCode == 0 && !validate.output.contains("error") &&
                     !validate.output.contains("warning"),
                 qPrintable(validate.output));
        const QString entry = QString::fromUtf8(readAll(path));
        QVERIFY(entry.contains("Exec=veldrin-scan\n") && entry.contains("Icon=veldrin-scan\n"));
        const Run appstream = run("appstreamcli", {"validate", "--no-net", meta});
        QVERIFY2(appstream.exitCode == 0, qPrintable(appstream.output));
        const QByteArray xml = readAll(meta);
        QVERIFY(xml.contains("<id>com.veldrin.scan</id>") &&
                xml.contains("<binary>veldrin-scan<") &&
                xml.contains(">com.veldrin.scan.desktop</launchable>"));
    }

    // The password helper may run as root only through its polkit action, which always asks
    // for the system administrator.
    void polkitAction()
    {
        const QString policy = QString::fromUtf8(readAll(m_root + '/' + kPolicy));
        QVERIFY(policy.contains("<action id=\"com.veldrin.scan.change-admin-password\">"));
        for (const char *allow : {"any", "inactive", "active"})
            QVERIFY(policy.contains(QString("<allow_%1>auth_admin</allow_%1>").arg(allow)));
        QVERIFY(policy.contains("<annotate key=\"org.freedesktop.policykit.exec.path\">/" +
                                kAppDir + "/veldrin-scan-password</annotate>"));
    }

    // postinst configure, first install and upgrade, in scratch roots: config/ is root's and
    // read-only to operators, the defaults are root's, Login.ini is root:scanner 0640.
    void settingsFolderIsRoots_data()
    {
        QTest::addColumn<bool>("groupExists");
        QTest::addColumn<QByteArray>("oldSettings"); // ParamSetting.ini before; empty: none
        QTest::addColumn<QByteArray>("oldLogin");    // Login.ini before; empty: none
        QTest::newRow("first install") << true << QByteArray() << QByteArray();
        QTest::newRow("first install, no group scanner yet")
            << false << QByteArray() << QByteArray();
        // An upgrade finds a member's link in place of VisibleSetting.ini.
        QTest::newRow("upgrade keeps defaults and password, not one operator's folder")
            << true
            << QByteArray("[BASE]\nsave_path=/home/vtop1\nresolution=4\n[PRINTER]\nIP=10.1.2.3\n")
            << QByteArray("[LOGIN]\nUser=u\nPassword=changed\n");
        QTest::newRow("upgrade, the initial password")
            << true << QByteArray("[BASE]\nresolution=4\n") << QByteArray();
    }

    void settingsFolderIsRoots()
    {
        QFETCH(bool, groupExists);
        QFETCH(QByteArray, oldSettings);
        QFETCH(QByteArray, oldLogin);
        QVERIFY(writeFile(scratch("groups"), groupExists ? "scanner\n" : "staff\n"));
        const QString root = makeRoot("settings-root");
        const QString config = root + '/' + kAppDir + "/config";
        const bool upgrade = !oldSettings.isEmpty();
        const QString victim = scratch("victim.txt");
        if (upgrade) {
            // As an older installation left it: the group's, writable and set-group-id.
            QVERIFY(QDir().mkpath(config));
            QVERIFY(::chmod(QFile::encodeName(config).constData(), 02775) == 0);
            QVERIFY(writeFile(config + "/ParamSetting.ini", oldSettings));
            QFile::setPermissions(config + "/ParamSetting.ini",
                                  QFile::ReadOwner | QFile::WriteOwner);
            QVERIFY(writeFile(victim, "private\n"));
            QFile::setPermissions(victim, QFile::ReadOwner | QFile::WriteOwner);
            QVERIFY(QFile::link(victim, config + "/VisibleSetting.ini"));
        }
        if (!oldLogin.isEmpty()) {
            QVERIFY(writeFile(config + "/Login.ini", oldLogin));
            QVERIFY(::chmod(QFile::encodeName(config + "/Login.ini").constData(), 0660) == 0);
        }

        const Run postinst = maintainerScript(
            "postinst", root,
            upgrade ? QStringList{"configure", SCANCONSOLE_VERSION} : QStringList{"configure"});
        QVERIFY2(postinst.exitCode == 0, qPrintable(postinst.output));

        // The folder: root's, read-only to everybody else, no set-group-id left.
        QCOMPARE(modeOf(config), 0755);
        QVERIFY(calls().contains("chown root:root " + config));
        QCOMPARE(calls().contains("addgroup --system scanner"), !groupExists);
        QVERIFY(QDir(root + '/' + kAppDir)
                    .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot) ==
                QStringList{"config"});

        const QByteArray initialLogin = readAll(m_root + '/' + kLoginTemplate);
        QVERIFY(initialLogin.contains("[LOGIN]"));
        QByteArray defaults = oldSettings;
        defaults.replace("save_path=/home/vtop1\n", "");
        const std::tuple<QString, int, QByteArray, QString> files[] = {
            {"ParamSetting.ini", 0644, defaults, "root:root"},
            {"VisibleSetting.ini", 0644, QByteArray(), "root:root"},
            {"Login.ini", 0640, oldLogin.isEmpty() ? initialLogin : oldLogin, "root:scanner"}};
        for (const auto &[name, mode, content, owner] : files) {
            const QString path = config + '/' + name;
            QVERIFY2(modeOf(path) == mode && !QFileInfo(path).isSymLink(),
                     qPrintable(QString("%1: %2").arg(name).arg(modeOf(path), 0, 8)));
            QCOMPARE(readAll(path), content);
            // Each file is given to its owner as a new file, before it is put in place.
            QCOMPARE(
                calls().filter(QRegularExpression("^chown " + owner + " .*/" + name + "$")).size(),
                1);
        }
        if (upgrade) {
            QCOMPARE(readAll(victim), QByteArray("private\n"));
            QCOMPARE(modeOf(victim), 0600);
        }
    }

    // Removing keeps the settings (a reinstall finds them); purging removes them.
    void settingsStayUntilPurge()
    {
        QVERIFY(writeFile(scratch("groups"), "scanner\n"));
        const QString root = makeRoot("purge-root");
        const QString appDir = root + '/' + kAppDir;
        QCOMPARE(maintainerScript("postinst", root, {"configure"}).exitCode, 0);
        QVERIFY(writeFile(appDir + "/config/ParamSetting.ini", "[PRINTER]\nIP=127.0.0.1\n"));
        QVERIFY(writeFile(appDir + "/ScanConsoleApp.ini", "[device]\nsane_device=test:0\n"));

        QCOMPARE(maintainerScript("postrm", root, {"remove"}).exitCode, 0);
        QCOMPARE(readAll(appDir + "/config/ParamSetting.ini"),
                 QByteArray("[PRINTER]\nIP=127.0.0.1\n"));
        QVERIFY(QFile::exists(appDir + "/config/Login.ini"));
        QVERIFY(QFile::exists(appDir + "/ScanConsoleApp.ini"));

        // A reinstall keeps them too.
        QCOMPARE(maintainerScript("postinst", root, {"configure"}).exitCode, 0);
        QCOMPARE(readAll(appDir + "/config/ParamSetting.ini"),
                 QByteArray("[PRINTER]\nIP=127.0.0.1\n"));

        QCOMPARE(maintainerScript("postrm", root, {"purge"}).exitCode, 0);
        QVERIFY(!QFileInfo::exists(appDir));
        QVERIFY(QFileInfo::exists(root + "/usr/share/veldrin-scan")); // dpkg's, not the script's
        QVERIFY(calls().isEmpty()); // purge leaves the shared group alone
    }

    // The unpacked console starts with its application directory in the scratch root: it reads
    // the printer address from that config/ folder and pings it.
    void unpackedConsoleStarts()
    {
        QVERIFY(writeFile(scratch("groups"), "scanner\n"));
        QCOMPARE(maintainerScript("postinst", m_root, {"configure"}).exitCode, 0);
        const QString config = m_root + '/' + kAppDir + "/config";
        QVERIFY(writeFile(config + "/ParamSetting.ini", "[PRINTER]\nIP=127.0.0.42\n"));

        const QString pings = scratch("pings.txt");
        TestEnvironment::writeFakeProgram(
            "ping", QString("#!/bin/sh\necho \"$*\" >>'%1'\nexit 0\n").arg(pings));
        QTemporaryDir home;
        QProcess console;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("HOME", home.path());
        console.setProcessEnvironment(env);
        console.setWorkingDirectory(home.path());
        console.start(m_root + '/' + kAppDir + "/veldrin-scan", QStringList());
        QVERIFY(console.waitForStarted(10000));
        QTRY_VERIFY_WITH_TIMEOUT(readAll(pings).contains("127.0.0.42"), 20000);
        QCOMPARE(console.state(), QProcess::Running);
        console.kill();
        console.waitForFinished(5000);
        QVERIFY(readAll(pings).startsWith("-s 1 -c 1 127.0.0.42"));
    }
};

SCANCONSOLE_TEST_MAIN(TestPackage)
#include "tst_package.moc"

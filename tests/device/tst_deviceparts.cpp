#include "device/common/EsclHttp.h"
#include "device/common/EsclScannerStatus.h"
#include "device/common/IniEnvSettings.h"
#include "device/common/PageFileWriter.h"
#include "device/common/ResultCode.h"
#include "device/common/ScanCommandLine.h"
#include "device/driver/DeviceTarget.h"
#include "device/driver/OptionChoice.h"
#include "device/driver/PageAssembler.h"
#include "device/driver/SaneConfigDir.h"
#include "device/driver/SaneResult.h"
#include "device/driver/ScanGuard.h"
#include "device/simulator/EsclXml.h"
#include "device/simulator/ScanJobBook.h"
#include "device/simulator/SimulatorSettings.h"
#include "tests/support/TestEnvironment.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestRows.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <QElapsedTimer>

#include <httplib.h>

#include <arpa/inet.h>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

// The parts of the scan program and of the simulated scanner, each on its own: the command
// line, the page files, the choice of option values, frames to pages, result codes, device
// names, settings, and the simulated scanner's jobs.
class TestDeviceParts : public QObject
{
    Q_OBJECT

    static QString pixels(const QImage &image)
    {
        QStringList list;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb c = image.pixel(x, y);
                list << (image.format() == QImage::Format_Grayscale8
                             ? QString::number(qGray(c))
                             : QString("%1/%2/%3").arg(qRed(c)).arg(qGreen(c)).arg(qBlue(c)));
            }
        }
        return list.join(' ');
    }

    static QString scanSettings(const QString &body)
    {
        return "<?xml version=\"1.0\"?><scan:ScanSettings "
               "xmlns:scan=\"http://schemas.hp.com/imaging/escl/2011/05/03\" "
               "xmlns:pwg=\"http://www.pwg.org/schemas/2010/12/sm\">" +
               body + "</scan:ScanSettings>";
    }

    // A whole-A4 job (offsets, version and format left out: a client may do so).
    static QByteArray job(const QString &source, const QString &mode, int dpi)
    {
        return scanSettings(QString("<pwg:ScanRegions><pwg:ScanRegion><pwg:Height>3508</pwg:Height>"
                                    "<pwg:Width>2480</pwg:Width></pwg:ScanRegion></pwg:ScanRegions>"
                                    "<pwg:InputSource>%1</pwg:InputSource><scan:ColorMode>%2"
                                    "</scan:ColorMode><scan:XResolution>%3</scan:XResolution>"
                                    "<scan:YResolution>%3</scan:YResolution>")
                                .arg(source, mode)
                                .arg(dpi))
            .toUtf8();
    }

private slots:
    // ----- the command line -----

    void commandLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("parsed"); // address source colour dpi path
        QTest::newRow("console's order")
            << "-p 10.0.0.7 -t 4 -s 1 -c 2 -r 300 -f /t/a.jpg" << 0 << "10.0.0.7 1 2 300 /t/a.jpg";
        QTest::newRow("any order, no -t")
            << "-f /t/a.jpg -r 600 -c 3 -s 3 -p h" << 0 << "h 3 3 600 /t/a.jpg";
        for (const char *bad : {"-s 0", "-s 4", "-s +1", "-s 01", "-c 4", "-c x", "-r 49",
                                "-r 1201", "-r 300dpi", "-r  300", "-t 5", "-x 1", "-s"}) {
            QTest::addRow("%s", bad)
                << QString("-p a -s 1 -c 1 -r 300 -f a.jpg %1").arg(bad) << 4 << "";
        }
        QTest::newRow("no -f") << "-p a -s 1 -c 1 -r 300" << 4 << "";
        QTest::newRow("-f a folder") << "-p a -s 1 -c 1 -r 300 -f /tmp/" << 4 << "";
    }

    void commandLine()
    {
        QFETCH(QString, line);
        QFETCH(int, code);
        QFETCH(QString, parsed);
        ScanRequest r;
        QString error;
        QCOMPARE(
            ScanCommandLine::parse(QStringList{"ScanConsoleApp"} + line.split(' '), &r, &error),
            code);
        QCOMPARE(error.isEmpty(), code == 0);
        if (code == 0)
            QCOMPARE(QStringList({r.address, QString::number(r.source), QString::number(r.colour),
                                  QString::number(r.dpi), r.outputPath})
                         .join(' '),
                     parsed);
    }

    // ----- page files -----

    // Numbers go on after the highest page (or temporary page) already there; every page
    // appears complete under its final name, with the resolution in its header.
    void pageFiles()
    {
        QTemporaryDir dir;
        for (const char *name :
             {"tempImage-000007.jpg", ".tempImage-000009.part", "other-12.jpg", "tempImage-x.jpg"})
            QVERIFY(TestFiles::writeFile(dir.filePath(name), {}));
        PageFileWriter writer(dir.filePath("new/../tempImage.jpg"));
        QString error, path;
        QVERIFY(writer.prepare(&error));
        QImage grey(40, 50, QImage::Format_Grayscale8);
        grey.fill(90);
        QVERIFY(writer.write(grey, 300, &path, &error));
        QCOMPARE(path, dir.filePath("tempImage-000010.jpg"));
        QVERIFY(writer.write(QImage(8, 8, QImage::Format_RGB32), 600, &path, &error));
        QCOMPARE(QFileInfo(path).fileName(), QString("tempImage-000011.jpg"));
        QCOMPARE(writer.pagesWritten(), 2);
        const QImage first(dir.filePath("tempImage-000010.jpg"));
        QCOMPARE(first.size(), QSize(40, 50));
        QCOMPARE(qRound(first.dotsPerMeterX() * 0.0254), 300);
        QCOMPARE(qRound(QImage(path).dotsPerMeterY() * 0.0254), 600);
        QVERIFY(!writer.write(QImage(), 300, &path, &error)); // nothing to encode
    }

    // A folder that cannot be made, a link planted at the next temporary or final name (never
    // written through nor replaced), a folder short of the space kept free: no page, and the
    // system's own words say why.
    void pageFilesRefused_data()
    {
        TestRows::add({"a file as the folder | file/tempImage.jpg | | 0 |",
                       "a read-only file system | /proc/tempImage.jpg | | 0 |",
                       "link as the temporary file | tempImage.jpg | .tempImage-000001.part | 0 | "
                       "File exists",
                       "link as the page | tempImage.jpg | tempImage-000001.jpg | 0 | File exists",
                       "no room | tempImage.jpg | | 60 | No space left on device"});
    }

    void pageFilesRefused()
    {
        QFETCH(QStringList, fields); // path, link planted after prepare(), log2 of keepFree, why
        const QString path = fields[0], planted = fields[1];
        QTemporaryDir dir;
        const QString victim = dir.filePath("victim");
        QVERIFY(TestFiles::writeFile(dir.filePath("file"), {}) &&
                TestFiles::writeFile(victim, "mine"));
        PageFileWriter writer(path.startsWith('/') ? path : dir.filePath(path));
        writer.setKeepFree(fields[2].toInt() ? qint64(1) << fields[2].toInt() : 0);
        QString error, written;
        const bool prepared = writer.prepare(&error);
        if (!planted.isEmpty()) {
            QVERIFY(prepared && QFile::link(victim, dir.filePath(planted)));
            QVERIFY(!writer.write(QImage(8, 8, QImage::Format_RGB32), 300, &written, &error));
        }
        QVERIFY2(!prepared || !planted.isEmpty(), "an unusable folder was accepted");
        QVERIFY2(!error.isEmpty() && error.contains(fields[3]), qPrintable(error));
        QCOMPARE(TestFiles::readAll(victim), QByteArray("mine"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System).size(),
                 planted.isEmpty() ? 2 : 3);
    }

    // ----- choosing option values -----

    // The source or mode offered for each of the console's three, empty when none fits
    // (sane-airscan's: every scan of tst_device).
    void choices_data()
    {
        TestRows::add(
            {"SANE test | source | Flatbed,Automatic Document Feeder | Flatbed | "
             "Automatic Document Feeder | ",
             "front and back | source | ADF Front,ADF Back,ADF Duplex | | ADF Front | ADF Duplex",
             "platen | source | Platen,Document Feeder,Document Feeder (both sides) | Platen | "
             "Document Feeder | Document Feeder (both sides)",
             "flatbed only | source | Flatbed | Flatbed | |",
             "with line-art | mode | Lineart,Halftone,Gray,Color | Gray | Color | Lineart",
             "colour line-art first | mode | Color Lineart,Color,Binary,Grey | Grey | Color | "
             "Binary",
             "colour only | mode | Color | | Color |"});
    }

    void choices()
    {
        QFETCH(QStringList, fields); // source: flatbed feeder duplex; mode: grey colour b/w
        const QStringList offered = fields[1].split(',');
        QStringList chosen;
        if (fields[0] == "source")
            for (ScanRequest::Source s :
                 {ScanRequest::Flatbed, ScanRequest::Feeder, ScanRequest::Duplex})
                chosen << OptionChoice::source(offered, s);
        else
            for (ScanRequest::Colour c :
                 {ScanRequest::Grey, ScanRequest::FullColour, ScanRequest::BlackAndWhite})
                chosen << OptionChoice::mode(offered, c);
        QCOMPARE(chosen, fields.mid(2));
    }

    void nearest_data()
    {
        // "list a b c" or "range min max quant" | wanted | chosen
        TestRows::add({"between, nearer above | list 200 300 400 600 | 380 | 400",
                       "halfway takes the lower | list 200 300 400 600 | 500 | 400",
                       "below all | list 200 300 | 150 | 200",
                       "above all | list 75 150 | 600 | 150",
                       "range, off step | range 50 1200 100 | 310 | 350",
                       "range, last step | range 0 215.9 0 | 297 | 215.9",
                       "range, not past max | range 100 950 300 | 940 | 700"});
    }

    void nearest()
    {
        QFETCH(QStringList, fields);
        const QStringList parts = fields[0].split(' ');
        OptionChoice::Numbers numbers;
        numbers.range = parts[0] == "range";
        for (const QString &n : parts.mid(1))
            numbers.list << n.toDouble();
        if (numbers.range) {
            numbers.min = numbers.list[0];
            numbers.max = numbers.list[1];
            numbers.quant = numbers.list[2];
        }
        QCOMPARE(OptionChoice::nearest(numbers, fields[1].toDouble()), fields[2].toDouble());
    }

    // ----- frames to pages -----

    // Frames "format depth width lines bytes-per-line" (',' between passes), their data in hex
    // (16-bit samples in this machine's byte order: amd64's, low byte first), and the page's
    // pixels.
    void frames_data()
    {
        TestRows::add(
            {"grey 8 | 0 8 2 2 3 | 0102ee0304ee | 1 2 3 4",
             "grey 16 | 0 16 3 1 6 | ff1200ffff00 | 18 255 0",
             "line-art, 1 is black | 0 1 10 1 2 | a040 | 0 255 0 255 255 255 255 255 255 0",
             "rgb 8 | 1 8 3 1 9 | 102030405060ff007f | 16/32/48 64/80/96 255/0/127",
             "rgb 16 | 1 16 1 1 6 | 0010ff2001ff | 16/32/255",
             "rgb 1, set is bright | 1 1 2 1 1 | a4 | 255/0/255 0/0/255",
             "three-pass, blue first | 4 8 2 1 2,2 8 2 1 2,3 8 2 1 2 | 0306,0104,0205 | "
             "1/2/3 4/5/6",
             "unknown height, half a line dropped | 0 8 2 -1 2 | 0506070809 | 5 6 7 8",
             "cut off | 0 8 2 3 2 | 0506070809 | short", "nothing at all | 0 8 2 -1 2 | | short",
             "JPEG frame (0x0b) | 11 8 2 1 2 | | unsupported", "4 bits | 0 4 2 1 1 | | unsupported",
             "line shorter than its pixels | 1 8 4 1 11 | | unsupported",
             "planes of two sizes | 2 8 2 1 2,3 8 3 1 3 | 0104 | unsupported"});
    }

    void frames()
    {
        QFETCH(QStringList, fields);
        const QStringList frames = fields[0].split(','), data = fields[1].split(',');
        const QString page = fields[2];
        PageAssembler assembler;
        QString error;
        for (int i = 0; i < frames.size(); ++i) {
            const QStringList f = frames[i].split(' ');
            SANE_Parameters p{SANE_FRAME_GRAY, i == frames.size() - 1, f[4].toInt(),
                              f[2].toInt(),    f[3].toInt(),           f[1].toInt()};
            // Copied as a number: a backend may send a frame type that is no SANE_Frame of ours.
            const int format = f[0].toInt();
            std::memcpy(&p.format, &format, sizeof p.format);
            if (assembler.begin(p, &error) == PageAssembler::Unsupported) {
                QCOMPARE(QString("unsupported"), page);
                return;
            }
            // In small pieces, as sane_read may hand them over.
            const QByteArray bytes = QByteArray::fromHex(data.value(i).toLatin1());
            for (int at = 0; at < bytes.size(); at += 2)
                assembler.append(bytes.mid(at, 2));
            if (assembler.end(&error) == PageAssembler::ShortFrame) {
                QCOMPARE(QString("short"), page);
                QVERIFY(!error.isEmpty());
                return;
            }
        }
        QCOMPARE(pixels(assembler.page()), page);
        QCOMPARE(assembler.page().format() == QImage::Format_Grayscale8,
                 fields[0].startsWith("0 "));
    }

    // ----- result codes -----

    // One row for each way through: SANE_Status numbers, and whether the scanner's status may
    // tell more (a stopped scan service behind a busy or an I/O error).
    void resultCodes_data()
    {
        // status | stage: o(pening) c(onfiguring) s(canning) | code | may hide a stopped service
        TestRows::add({"open: I/O error | 9 o | 1 | yes", "open: no such device | 4 o | 1 | no",
                       "open: busy | 3 o | 2 | yes", "open: no memory | 10 o | 8 | no",
                       "option refused | 4 c | 4 | no", "option unsupported | 1 c | 4 | no",
                       "no documents | 7 s | 5 | no", "I/O error | 9 s | 6 | yes",
                       "jammed | 6 s | 9 | no", "cover open | 8 s | 10 | no",
                       "warming up (12) | 12 s | 8 | no", "good | 0 s | 0 | no"});
    }

    void resultCodes()
    {
        QFETCH(QStringList, fields);
        const SANE_Status status = SANE_Status(fields[0].section(' ', 0, 0).toInt());
        const SaneResult::Stage stage = fields[0].endsWith('o')   ? SaneResult::Opening
                                        : fields[0].endsWith('c') ? SaneResult::Configuring
                                                                  : SaneResult::Scanning;
        QCOMPARE(SaneResult::code(status, stage), fields[1].toInt());
        QCOMPARE(SaneResult::mayHideStoppedService(status), fields[2] == "yes");
    }

    // The scanner's own State and AdfState, not its jobs', in a document cut short too ("sim
    // STATE ADFSTATE": the simulated scanner's with a stopped job; an idle one: the jobs rows;
    // a stopped one: tst_scanners' status rows).
    void scannerStatus_data()
    {
        TestRows::add(
            {"down | sim Down ScannerAdfEmpty | Down ScannerAdfEmpty stopped",
             "after the jobs, cut short | <ScannerStatus><Jobs><JobInfo><State>Down"
             "</State></JobInfo></Jobs><State>Idle</State><AdfState>ScannerAdfEmpty"
             "</AdfState><Jo | Idle ScannerAdfEmpty",
             "lower case | <ScannerStatus><State>down</State><AdfState>x</AdfState> | down x "
             "stopped",
             "not a status | <ScannerCapabilities><State>Stopped</State></ScannerCapabilities> | ",
             "not XML | 503 Service Unavailable | ",
             "garbled | <ScannerStatus><State>Stopped</State><a></b></ScannerStatus> | "});
    }
    void scannerStatus()
    {
        QFETCH(QStringList, fields);
        const QStringList sim = fields[0].split(' ');
        const EsclXml::JobInfo job{"/eSCL/ScanJobs/1", "1", 0, 0, 0, "Stopped", "JobScanning"};
        const EsclScannerStatus status = EsclScannerStatus::read(
            sim[0] == "sim" ? EsclXml::status(sim[1], sim[2], {job}) : fields[0].toUtf8());
        const QString stopped = status.stopped() ? " stopped" : "";
        QCOMPARE((status.state + ' ' + status.adfState + stopped).trimmed(), fields[1]);
    }

    // ----- the guard -----

    // When a job is ended, and why. After a stop, a network backend is ended at once unless an
    // answer is coming in (then after 4 s at the latest), a backend without network once its
    // waiting call has brought nothing for 300 ms; a stall needs the time-out without progress.
    void guard_data()
    {
        // stop inCall progress memoryMb | flags: a(nswering) f(oreign host) l(ocal backend)
        TestRows::add({"between calls | -1 -1 90000 100 | | None",
                       "no progress for the time-out | -1 30000 30000 100 | a | Stalled",
                       "a call shorter than the time-out | -1 29999 40000 100 | | None",
                       "memory over the bound | -1 -1 0 1025 | | Memory",
                       "another host | -1 10 0 100 | f | ForeignHost",
                       "stop, page coming in | 1000 1000 10 100 | a | None",
                       "stop, scanner scanning | 10 1000 500 100 | | Stop",
                       "stop, answer without end | 4000 4000 0 100 | a | Stop",
                       "stop, local page being read | 1000 1000 10 100 | l | None",
                       "stop, local call waiting | 1000 1000 300 100 | l | Stop",
                       "stop, local, between calls | 1000 -1 900 100 | l | None",
                       "stop outruns a stall | 100 40000 40000 100 | a | None"});
    }

    void guard()
    {
        QFETCH(QStringList, fields);
        const QStringList v = fields[0].split(' ');
        const QString flags = fields[1];
        const QStringList reasons{"None", "Stop", "Stalled", "Memory", "ForeignHost"};
        ScanGuard::Moment m;
        m.sinceStop = v[0].toLongLong();
        m.inCall = v[1].toLongLong();
        m.sinceProgress = v[2].toLongLong();
        m.memoryBytes = v[3].toLongLong() << 20;
        m.answering = flags.contains('a');
        m.foreignHost = flags.contains('f');
        m.network = !flags.contains('l');
        ScanGuard::Limits limits;
        limits.timeoutMs = 30000;
        limits.maxMemoryBytes = qint64(1024) << 20;
        const int reason = int(ScanGuard::judge(m, limits));
        QCOMPARE(reasons.value(reason), fields[2]);
    }

    // One GET from a server on loopback, within 1 KB and 2 s (30 s when stopped after `stop`
    // ms): over at the deadline or on the stop whatever the body's pace, and never redirected.
    void boundedGet_data()
    {
        TestRows::add(
            {"good answer | %1/status | - | ok <ScannerStatus/>",
             "trickling past the deadline | %1/trickle | - | 2 秒内没有回答",
             "stop ends a slow answer | %1/trickle | 200 | 已停止",
             "without end | %1/endless | - | 回答超过 1 KB",
             "not found | %1/missing | - | 扫描仪回答 HTTP 404",
             "redirect not followed | %1/moved | - | 扫描仪回答 HTTP 302",
             "nothing listening | http://127.0.0.1:1/ | - | 无法连接：连接被拒绝或主机未找到",
             "connect not answered | %2/status | - | 2 秒内没有回答",
             "stop while connecting | %2/status | 200 | 已停止",
             "not a scanner URL | ftp: | - | 不是扫描仪地址：ftp:"});
    }
    void boundedGet()
    {
        QFETCH(QStringList, fields);
        httplib::Server server;
        server.Get("/status",
                   [](auto &, auto &res) { res.set_content("<ScannerStatus/>", "text/xml"); });
        server.Get("/moved", [](auto &, auto &res) { res.set_redirect("/status"); });
        server.Get("/(trickle|endless)", [](const httplib::Request &req, auto &res) {
            const int pauseMs = req.matches[1] == "trickle" ? 100 : 0; // a byte, or at full speed
            res.set_chunked_content_provider("text/xml", [=](size_t, httplib::DataSink &sink) {
                std::this_thread::sleep_for(std::chrono::milliseconds(pauseMs));
                return sink.write("<ScannerStatus>", pauseMs ? 1 : 15);
            });
        });
        const int port = server.bind_to_any_port("127.0.0.1");
        std::thread serving([&server] { server.listen_after_bind(); });
        QTRY_VERIFY(server.is_running()); // else stop() would come before it and do nothing
        // %2: a listener that never accepts, its queue of one taken: a connect gets no answer.
        sockaddr_in silent{};
        silent.sin_family = AF_INET;
        silent.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof silent;
        const int listening = ::socket(AF_INET, SOCK_STREAM, 0),
                  queued = ::socket(AF_INET, SOCK_STREAM, 0);
        QVERIFY(::bind(listening, reinterpret_cast<sockaddr *>(&silent), size) == 0 &&
                ::listen(listening, 0) == 0 &&
                ::getsockname(listening, reinterpret_cast<sockaddr *>(&silent), &size) == 0 &&
                ::connect(queued, reinterpret_cast<sockaddr *>(&silent), size) == 0);
        QElapsedTimer clock;
        clock.start();
        const EsclHttp::Reply reply = EsclHttp::get(
            QUrl(QString(fields[0])
                     .replace("%1", QString("http://127.0.0.1:%1").arg(port))
                     .replace("%2", QString("http://127.0.0.1:%1").arg(ntohs(silent.sin_port)))),
            1024, fields[1] == "-" ? 2000 : 30000,
            [&] { return fields[1] != "-" && clock.hasExpired(fields[1].toInt()); });
        server.stop();
        serving.join();
        ::close(queued);
        ::close(listening);
        const QString got = reply.ok ? "ok " + reply.body : reply.problem;
        QVERIFY2(got.startsWith(fields[2]) && !clock.hasExpired(10000), qPrintable(got));
    }

    // ----- which device, with which settings -----

    void deviceTarget_data()
    {
        // url protocol sane_device | address | SANE name (empty: refused) | eSCL URL
        // (The default URL with an address: every scan of tst_device.)
        TestRows::add(
            {"port and https | https://%1:8443/eSCL escl - | 10.1.1.1 | "
             "airscan:escl:Scanner:https://10.1.1.1:8443/eSCL | https://10.1.1.1:8443/eSCL",
             "wsd | http://%1:5358/WSDScanner wsd - | 10.1.1.1 | "
             "airscan:wsd:Scanner:http://10.1.1.1:5358/WSDScanner | ",
             "host name | http://%1/eSCL escl - | mfp-3.example | "
             "airscan:escl:Scanner:http://mfp-3.example/eSCL | http://mfp-3.example/eSCL",
             "SANE device wins | http://%1/eSCL escl genesys:libusb:001:004 | | "
             "genesys:libusb:001:004 |",
             "URL with port | http://%1/eSCL escl - | http://10.0.0.7:8080/eSCL | "
             "airscan:escl:Scanner:http://10.0.0.7:8080/eSCL | http://10.0.0.7:8080/eSCL",
             "URL, path left out | http://%1:9/x escl - | HTTPS://mfp.example/ | "
             "airscan:escl:Scanner:https://mfp.example/eSCL | https://mfp.example/eSCL",
             "URL over wsd | http://%1/eSCL wsd - | http://10.0.0.7:5358/WSDScanner | "
             "airscan:wsd:Scanner:http://10.0.0.7:5358/WSDScanner |",
             "chosen SANE device | http://%1/eSCL escl - | sane:test:0 | test:0 |",
             "chosen wsd URL | http://%1/eSCL escl - | wsd:http://10.0.0.7:5358/WSD | "
             "airscan:wsd:Scanner:http://10.0.0.7:5358/WSD |",
             "chosen escl address | http://%1:9095/eSCL wsd - | escl:10.0.0.7 | "
             "airscan:escl:Scanner:http://10.0.0.7:9095/eSCL | http://10.0.0.7:9095/eSCL"});
        const QString refused = "10.0.0.1/admin,a b,user@10.0.0.1,10.0.0.1:80,-x,[::1],x..y,"
                                "192.168.001.010,127.1,0x7f.0.0.1,2130706433,1.2.3.4.5,10.0.0.256,"
                                "host.123,http://10.0.0.1:0/,http://10.0.0.1:65536/,"
                                "http://u@10.0.0.1/,ftp://10.0.0.1/,http://010.0.0.1/,"
                                "http://h/eSCL?x=1,http://h/a%20b,http://[::1]/,sane:,sane:-L,wsd:,"
                                "escl:a b";
        for (const QString &bad : refused.split(','))
            QTest::addRow("refused: %s", qPrintable(bad))
                << QStringList{"http://%1/eSCL escl -", bad, "", ""};
    }

    void deviceTarget()
    {
        QFETCH(QStringList, fields);
        const QString address = fields[1], name = fields[2], escl = fields[3];
        const QStringList s = fields[0].split(' ');
        DriverSettings driver;
        driver.urlTemplate = s[0];
        driver.protocol = s[1];
        driver.saneDevice = s[2] == "-" ? QString() : s[2];
        DeviceTarget target;
        QString error;
        QCOMPARE(DeviceTarget::make(driver, address, &target, &error), !name.isEmpty());
        QCOMPARE(error.isEmpty(), !name.isEmpty());
        if (name.isEmpty())
            return;
        QCOMPARE(target.saneName(), name);
        QCOMPARE(target.esclUrl(), escl);
        QCOMPARE(target.byAddress(), name.startsWith("airscan:"));
    }

    // The ini file beside the program, each key overridden by its environment variable; wrong
    // values are refused or ignored.
    void driverSettings_data()
    {
        // ini | environment | url protocol sane_device timeout max_pages max_memory_mb
        // min_free_mb, or "refused"
        TestRows::add(
            {"defaults | | | http://%1/eSCL escl - 30 1000 1024 64",
             "ini | url=http://%1:8080/eSCL\nprotocol=WSD\ntimeout_s=5\nmax_pages=50\n"
             "max_memory_mb=300\nmin_free_mb=0 | | http://%1:8080/eSCL wsd - 5 50 300 0",
             "environment wins | url=http://%1:8080/eSCL\nsane_device=test:0\nmax_pages=50 | "
             "DEVICE_URL=http://%1:9/eSCL TIMEOUT_S=7 SANE_DEVICE=test:1 MAX_PAGES=9 "
             "MAX_MEMORY_MB=2048 MIN_FREE_MB=1 | http://%1:9/eSCL escl test:1 7 9 2048 1",
             "values out of range | timeout_s=0\nmax_pages=0\nmax_memory_mb=63\nmin_free_mb=-1 "
             "| | http://%1/eSCL escl - 30 1000 1024 64",
             "unknown protocol | protocol=ipp | | refused",
             "URL without the address | url=http://scanner/eSCL | | refused"});
    }

    void driverSettings()
    {
        QFETCH(QStringList, fields);
        const QStringList env = fields[1].split(' ', Qt::SkipEmptyParts);
        QTemporaryDir dir;
        const QString file = dir.filePath("ScanConsoleApp.ini");
        QVERIFY(TestFiles::writeFile(file, "[device]\n" + fields[0].toUtf8() + '\n'));
        for (const QString &pair : env)
            qputenv(("SCANCONSOLE_" + pair.section('=', 0, 0)).toUtf8(),
                    pair.section('=', 1).toUtf8());
        DriverSettings s;
        QString error;
        const bool ok = DriverSettings::read(IniEnvSettings(file, "test"), &s, &error);
        for (const QString &pair : env)
            qunsetenv(("SCANCONSOLE_" + pair.section('=', 0, 0)).toUtf8());
        QCOMPARE(ok, fields[2] != "refused");
        if (ok)
            QCOMPARE(
                QStringList({s.urlTemplate, s.protocol, s.saneDevice.isEmpty() ? "-" : s.saneDevice,
                             QString::number(s.timeoutS), QString::number(s.maxPages),
                             QString::number(s.maxMemoryMb), QString::number(s.minFreeMb)})
                    .join(' '),
                fields[2]);
    }

    // The scan program's own SANE folder loads sane-airscan alone and discovers nothing; it is
    // gone with the object.
    void saneConfigDir()
    {
        const QByteArray before = qgetenv("SANE_CONFIG_DIR");
        QString path, error;
        {
            SaneConfigDir dir;
            QVERIFY(dir.create(&error));
            path = dir.path();
            QCOMPARE(qgetenv("SANE_CONFIG_DIR"), QFile::encodeName(path));
            QCOMPARE(TestFiles::readAll(path + "/dll.conf"), QByteArray("airscan\n"));
            const QByteArray conf = TestFiles::readAll(path + "/airscan.conf");
            QVERIFY(conf.contains("discovery = disable") && conf.contains("ws-discovery = off"));
        }
        QVERIFY(!QFileInfo::exists(path));
        qputenv("SANE_CONFIG_DIR", before);
    }

    // ----- the simulated scanner -----

    void scanSettings_data()
    {
        QTest::addColumn<QString>("document");
        QTest::addColumn<QString>("parsed"); // source duplex mode x y region format
        // sane-airscan's own document: every scan in tst_device (the job record it checks).
        QTest::newRow("other nesting and order")
            << scanSettings("<scan:ColorMode>RGB24</scan:ColorMode><pwg:InputSource>Platen"
                            "</pwg:InputSource><scan:XResolution>300</scan:XResolution>"
                            "<scan:YResolution>600</scan:YResolution><pwg:ScanRegions "
                            "pwg:MustHonor=\"true\"><pwg:ScanRegion><pwg:XOffset>10</pwg:XOffset>"
                            "<pwg:YOffset>20</pwg:YOffset><pwg:Width>100</pwg:Width>"
                            "<pwg:Height>200</pwg:Height></pwg:ScanRegion></pwg:ScanRegions>"
                            "<scan:DocumentFormatExt>image/jpeg</scan:DocumentFormatExt>"
                            "<pwg:DocumentFormat>application/octet-stream</pwg:DocumentFormat>")
            << "Platen 0 RGB24 300 600 10,20,100,200 image/jpeg";
        QTest::newRow("not ScanSettings") << "<scan:ScanJob/>"
                                          << "";
        QTest::newRow("broken") << scanSettings("<scan:ColorMode>RGB24") << "";
    }

    void scanSettings()
    {
        QFETCH(QString, document);
        QFETCH(QString, parsed);
        EsclXml::ScanSettings s;
        QCOMPARE(EsclXml::parseScanSettings(document.toUtf8(), &s), !parsed.isEmpty());
        if (!parsed.isEmpty())
            QCOMPARE(QStringList({s.inputSource, QString::number(s.duplex), s.colorMode,
                                  QString::number(s.xResolution), QString::number(s.yResolution),
                                  QString("%1,%2,%3,%4")
                                      .arg(s.xOffset)
                                      .arg(s.yOffset)
                                      .arg(s.width)
                                      .arg(s.height),
                                  s.documentFormat})
                         .join(' '),
                     parsed);
    }

    // A job's pages and faults, HTTP status by HTTP status: "c" a new job, "n" its next
    // document ("n+" a page cut off), "d" deleting it; and the scanner's state afterwards.
    void jobs_data()
    {
        // sheets fault after | the job's source mode dpi | steps |
        // pwg:State and AdfState at the end
        // The feeder's, busy, stopped, cut-off and empty-feeder jobs: tst_device's faults and
        // pages tables, end to end.
        TestRows::add(
            {"jam after 2 | 5 jam 2 | Feeder | c201 n200 n200 n503 n404 | Idle ScannerAdfJam",
             "no jam after the last sheet | 2 jam 2 | Feeder | c201 n200 n200 n404 | "
             "Idle ScannerAdfLoaded",
             "deleted in the middle | 5 none 0 | Feeder | c201 n200 d200 n404 d200 | "
             "Idle ScannerAdfLoaded",
             "colour mode not offered | 3 none 0 | Platen BlackAndWhite1 | c409 | "
             "Idle ScannerAdfLoaded",
             "resolution not offered | 3 none 0 | Platen RGB24 150 | c409 | Idle "
             "ScannerAdfLoaded"});
    }

    void jobs()
    {
        QFETCH(QStringList, fields);
        const QString settings = fields[0], steps = fields[2], status = fields[3];
        const QStringList j = fields[1].split(' ');
        const QByteArray request = job(j[0], j.value(1, "RGB24"), j.value(2, "300").toInt());
        QTemporaryDir dir;
        SimulatorSettings s;
        s.sheets = settings.section(' ', 0, 0).toInt();
        const QStringList faults{"none", "busy", "stopped", "jam", "cover_open", "cut"};
        s.fault = SimulatorSettings::Fault(faults.indexOf(settings.section(' ', 1, 1)));
        s.faultAfter = settings.section(' ', 2).toInt();
        s.recordPath = dir.filePath("record");
        ScanJobBook book(s);
        QString uuid;
        QStringList seen;
        int pages = 0;
        for (const QString &step : steps.split(' ')) {
            if (step[0] == 'c') {
                const ScanJobBook::Reply reply = book.create(request, "http://h:1/eSCL/ScanJobs");
                uuid = reply.location.section('/', -1);
                seen << QString("c%1").arg(reply.status);
                if (reply.status == 201)
                    QVERIFY(reply.location.startsWith("http://h:1/eSCL/ScanJobs/"));
            } else if (step[0] == 'n') {
                const ScanJobBook::Page page = book.next(uuid);
                seen << QString("n%1%2").arg(page.status).arg(page.cutOff ? "+" : "");
                if (page.status == 200) {
                    ++pages;
                    QVERIFY(page.number == pages && page.sheet == pages - 1 && page.side == 0);
                }
            } else {
                seen << QString("d%1").arg(book.remove(uuid));
            }
        }
        QCOMPARE(seen.join(' '), steps);
        const EsclScannerStatus scanner = EsclScannerStatus::read(book.status());
        QCOMPARE(scanner.state + ' ' + scanner.adfState, status);
        // The record has a line for every job, page, refusal and deletion.
        const QString lines = QString::fromUtf8(TestFiles::readAll(s.recordPath));
        QCOMPARE(lines.count("\npage ") + lines.startsWith("page "), pages);
        QCOMPARE(lines.count("delete "), steps.count('d'));
        QCOMPARE(lines.count("refused "),
                 steps.count("c4") + steps.count("c5") + steps.count("n503"));
        QCOMPARE(lines.count("job "), steps.count("c201"));
        QCOMPARE(book.next("no-such-job").status, 404);
        QCOMPARE(book.remove("no-such-job"), 404);
    }
};

SCANCONSOLE_TEST_MAIN(TestDeviceParts)
#include "tst_deviceparts.moc"

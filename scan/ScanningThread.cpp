#include "scan/ScanningThread.h"

#include "scan/PageFolder.h"
#include "scan/ScanArguments.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <fcntl.h>

namespace {

// The scan program's process: one descriptor of the console's is left open across the program's
// start (all others are close-on-exec). Qt runs this in the forked child, before exec.
class InheritingProcess : public QProcess
{
public:
    explicit InheritingProcess(int fd) : m_fd(fd) {}

protected:
    void setupChildProcess() override
    {
        if (m_fd >= 0)
            ::fcntl(m_fd, F_SETFD, 0);
    }

private:
    const int m_fd;
};

} // namespace

ScanningThread::ScanningThread(const ScanSettings &settings, const QString &printerAddress)
    : QThread(nullptr), m_settings(settings), m_printerAddress(printerAddress),
      m_tempDir(QString::fromLatin1(PageFolder::DefaultPath) + QLatin1Char('/')),
      m_stopTimeout(10000), m_cancel(false)
{
}

void ScanningThread::setTempDir(const QString &dir)
{
    m_tempDir = dir.isEmpty() || dir.endsWith(QLatin1Char('/')) ? dir : dir + QLatin1Char('/');
}

QString ScanningThread::tempDir() const
{
    return m_tempDir;
}

void ScanningThread::setStopTimeout(int ms)
{
    m_stopTimeout = ms;
}

void ScanningThread::setInheritedDescriptor(int fd)
{
    m_inherited = fd;
}

void ScanningThread::cancel()
{
    m_cancel = true;
}

void ScanningThread::run()
{
    // Without a folder of our own the program has nowhere safe to put its pages (a folder
    // someone else owns or can write to could feed us their files); the window still needs a
    // result to leave its scanning state.
    if (m_tempDir.isEmpty() || !PageFolder::prepare(m_tempDir)) {
        qDebug() << "ScanningThread: cannot use" << m_tempDir;
        emit ThreadFinished(ResultTempDirFailed);
        return;
    }

    emit UpdateProgress(100, tr("scanning..."));

    const int result = execCmd();
    if (result != 0) {
        emit ThreadFinished(result);
        return;
    }
    emit UpdateProgress(100, QString());
    emit ThreadFinished(0);
}

ScanningThread::DeviceNote ScanningThread::readNote(const QByteArray &text)
{
    DeviceNote note;
    auto size = [](const QByteArray &value) {
        const QList<QByteArray> sides = value.split('x');
        bool w = false, h = false;
        const QSizeF mm(sides.value(0).toDouble(&w), sides.value(1).toDouble(&h));
        return sides.size() == 2 && w && h && mm.width() > 0 && mm.height() > 0 &&
                       mm.width() < 10000 && mm.height() < 10000
                   ? mm
                   : QSizeF();
    };
    for (const QByteArray &line : text.split('\n').mid(0, 16)) {
        const int eq = line.indexOf('=');
        const QByteArray key = line.left(eq).trimmed(), value = line.mid(eq + 1).trimmed();
        if (eq < 0)
            continue;
        if (key == "dpi")
            note.dpi = qBound(0, value.toInt(), 100000);
        else if (key == "max_area_mm")
            note.maxArea = size(value);
    }
    return note;
}

int ScanningThread::execCmd()
{
    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/ScanConsoleApp");
    const QString outputPath = m_tempDir + QStringLiteral("tempImage.jpg");
    const QStringList args =
        ScanArguments::build(m_printerAddress, m_settings.source_type, m_settings.image_type,
                             m_settings.resolution, outputPath, m_settings.paper_size);
    qDebug() << outputPath;

    if (m_cancel)
        return ResultCancelled;
    InheritingProcess process(m_inherited);
    // Nothing the program says is read, so it gets no pipe that could die with the console and
    // take the program with it (SIGPIPE) in the middle of a page: what it says on standard error
    // (the cause of a failure) goes where the console's own goes.
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(program, args, QIODevice::ReadWrite);
    process.waitForStarted(30000);
    // A feeder full of pages may take minutes: no time-out, but a cancel is looked at every
    // tenth of a second. The program stops on SIGTERM after the page in hand and keeps the
    // pages it has written; one that does not stop in time is killed.
    QElapsedTimer stopping;
    while (process.state() != QProcess::NotRunning && !process.waitForFinished(100)) {
        if (!m_cancel)
            continue;
        if (!stopping.isValid()) {
            qDebug() << "ScanningThread: stopping" << program;
            process.terminate();
            stopping.start();
        } else if (stopping.hasExpired(qMax(0, m_stopTimeout))) {
            qDebug() << "ScanningThread:" << program << "did not stop; killed";
            process.kill();
            process.waitForFinished(-1);
        }
    }

    // No pause for the page collector: once it is asked to stop, it takes the page files still
    // waiting before it ends, and the scan ends with it.

    // The note is read and taken away: the run folder is left with the pages only.
    QFile note(m_tempDir + QStringLiteral("tempImage.scan"));
    if (note.open(QIODevice::ReadOnly))
        m_note = readNote(note.read(4096));
    note.remove();

    // A program that never ran or died of a signal has no exit code of its own; reporting the
    // process object's 0 would turn a failed scan into a success. One that died of our own stop
    // signals was cancelled.
    if (m_cancel && process.exitStatus() == QProcess::CrashExit)
        return ResultCancelled;
    if (process.error() == QProcess::FailedToStart || process.exitStatus() == QProcess::CrashExit ||
        process.state() != QProcess::NotRunning) {
        qDebug() << "ScanningThread:" << program << "failed:" << process.errorString();
        return ResultProgramFailed;
    }
    return process.exitCode();
}

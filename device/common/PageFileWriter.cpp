#include "device/common/PageFileWriter.h"

#include "device/common/JpegEncoder.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

PageFileWriter::PageFileWriter(const QString &outputPath)
    : m_dir(QFileInfo(outputPath).absolutePath()), m_stem(QFileInfo(outputPath).completeBaseName())
{
    if (m_stem.isEmpty())
        m_stem = QStringLiteral("tempImage");
}

QString PageFileWriter::pathFor(const QString &pattern, int number) const
{
    return m_dir.filePath(
        pattern.arg(m_stem, QStringLiteral("%1").arg(number, 6, 10, QLatin1Char('0'))));
}

bool PageFileWriter::prepare(QString *error)
{
    if (!m_dir.exists() && !QDir().mkpath(m_dir.path())) {
        *error = QStringLiteral("cannot create the folder %1").arg(m_dir.path());
        return false;
    }
    const QRegularExpression pattern(
        QStringLiteral("^\\.?%1-(\\d+)\\.(jpg|part)$").arg(QRegularExpression::escape(m_stem)),
        QRegularExpression::CaseInsensitiveOption);
    int highest = 0;
    const QStringList names = m_dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString &name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (match.hasMatch())
            highest = qMax(highest, match.captured(1).toInt());
    }
    m_nextNumber = highest + 1;
    // Permissions do not tell (root may write anywhere, a read-only mount refuses everyone):
    // try it.
    const QString probe = pathFor(QStringLiteral(".%1-%2.part"), m_nextNumber);
    QFile file(probe);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        *error = QStringLiteral("cannot write in %1: %2").arg(m_dir.path(), file.errorString());
        return false;
    }
    file.close();
    file.remove();
    return true;
}

bool PageFileWriter::writeFile(const QString &path, const QByteArray &bytes, QString *error) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(bytes) != bytes.size() || !file.flush()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        file.close();
        file.remove();
        return false;
    }
    file.close();
    return true;
}

bool PageFileWriter::write(const QImage &page, int dpi, QString *finalPath, QString *error)
{
    const QByteArray bytes = JpegEncoder::encode(page, dpi);
    if (bytes.isEmpty()) {
        *error = QStringLiteral("cannot encode page %1 as JPEG").arg(m_written + 1);
        return false;
    }
    const QString partPath = pathFor(QStringLiteral(".%1-%2.part"), m_nextNumber);
    *finalPath = pathFor(QStringLiteral("%1-%2.jpg"), m_nextNumber);
    if (!writeFile(partPath, bytes, error))
        return false;
    // The rename makes the complete page appear under its ".jpg" name in one step; it never
    // replaces a page that is already there.
    if (QFileInfo::exists(*finalPath) || !QFile::rename(partPath, *finalPath)) {
        *error = QStringLiteral("cannot rename %1 to %2").arg(partPath, *finalPath);
        QFile::remove(partPath);
        return false;
    }
    ++m_nextNumber;
    ++m_written;
    return true;
}

#include "tests/support/PdfFiles.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

namespace PdfFiles {

namespace {

QString run(const QString &program, const QStringList &arguments, int *exitCode)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(60000);
    *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return QString::fromLocal8Bit(process.readAllStandardOutput() + process.readAllStandardError());
}

} // namespace

QString pageText(const QString &file, int page)
{
    QProcess process;
    const QString n = QString::number(page);
    process.start(QStringLiteral("pdftotext"), {"-f", n, "-l", n, file, "-"});
    process.waitForFinished(60000);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QStringLiteral("failed: ") + QString::fromLocal8Bit(process.readAllStandardError());
    return QString::fromUtf8(process.readAllStandardOutput()).remove(QRegularExpression("\\s"));
}

QImage render(const QString &file, int page, int dpi)
{
    QTemporaryDir dir;
    const QString n = QString::number(page);
    int code = -1;
    run(QStringLiteral("pdftoppm"),
        {"-png", "-r", QString::number(dpi), "-f", n, "-l", n, "-singlefile", file,
         dir.filePath(QStringLiteral("page"))},
        &code);
    return code == 0 ? QImage(dir.filePath(QStringLiteral("page.png"))) : QImage();
}

bool checks(const QString &file, QString *report)
{
    int code = -1;
    const QString output = run(QStringLiteral("qpdf"), {QStringLiteral("--check"), file}, &code);
    if (report)
        *report = output;
    // 0: no problem; 3: warnings (which a file of ours must not give either).
    return code == 0 && output.contains(QStringLiteral("No syntax or stream encoding errors"));
}

int pdfinfoPages(const QString &file)
{
    int code = -1;
    const QString output = run(QStringLiteral("pdfinfo"), {file}, &code);
    const QRegularExpressionMatch match = QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)$"),
                                                             QRegularExpression::MultilineOption)
                                              .match(output);
    return code == 0 && match.hasMatch() ? match.captured(1).toInt() : -1;
}

QList<Page> pages(const QString &file)
{
    QList<Page> result;
    try {
        QPDF pdf;
        pdf.processFile(QFile::encodeName(file).constData());
        for (QPDFPageObjectHelper &page : QPDFPageDocumentHelper(pdf).getAllPages()) {
            Page p;
            const QPDFObjectHandle::Rectangle box =
                page.getObjectHandle().getKey("/MediaBox").getArrayAsRectangle();
            p.box = QSizeF(box.urx - box.llx, box.ury - box.lly);
            const std::map<std::string, QPDFObjectHandle> images = page.getImages();
            if (images.size() != 1)
                return {};
            QPDFObjectHandle image = images.begin()->second;
            QPDFObjectHandle dict = image.getDict();
            p.pixels = QSize(int(dict.getKey("/Width").getIntValue()),
                             int(dict.getKey("/Height").getIntValue()));
            p.filter = QByteArray::fromStdString(dict.getKey("/Filter").unparse());
            p.colours = QByteArray::fromStdString(dict.getKey("/ColorSpace").unparse());
            const std::shared_ptr<Buffer> raw = image.getRawStreamData();
            p.data =
                QByteArray(reinterpret_cast<const char *>(raw->getBuffer()), int(raw->getSize()));
            // The content draws the image once, scaled to the media box from its corner.
            const std::shared_ptr<Buffer> data =
                page.getObjectHandle().getKey("/Contents").getStreamData(qpdf_dl_generalized);
            const QString content = QString::fromLatin1(
                reinterpret_cast<const char *>(data->getBuffer()), int(data->getSize()));
            const QRegularExpressionMatch cm =
                QRegularExpression(QStringLiteral("^q\\s+([0-9.]+) 0 0 ([0-9.]+) 0 0 cm\\s+/\\w+ "
                                                  "Do\\s+Q\\s*$"))
                    .match(content);
            p.fullPage = cm.hasMatch() && qAbs(cm.captured(1).toDouble() - p.box.width()) < 0.01 &&
                         qAbs(cm.captured(2).toDouble() - p.box.height()) < 0.01;
            result.append(p);
        }
    } catch (const std::exception &) {
        return {};
    }
    return result;
}

} // namespace PdfFiles

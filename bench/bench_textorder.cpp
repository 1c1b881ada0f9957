// Whether the text layer of the searchable PDF and OFD gives a page's lines back whole and in
// reading order. Generated A4 pages of Chinese, English and mixed prose with known lines (clean,
// and turned by 1.5 degrees with grain and JPEG at quality 85) are recognised once each; then
// the character error with whitespace removed is measured for:
//   - pdftotext (reading order) of the PDF Tesseract's own PDF renderer writes (word by word),
//   - pdftotext of the console's searchable PDF (one run per line, PdfTextLayer),
//   - the OFD's text objects in document order (TextLines),
// against the order-free figure (the characters matched as a bag, whatever their order): the
// least error any order could give. The gap between the two is what the order costs.
//   build/bench/bench_textorder [folder]   (bench/run.sh textorder)
// With a folder, the pages, PDFs and OFDs are kept there to be looked at.

#include "bench/TextOrderPages.h"
#include "documents/OfdWriter.h"
#include "documents/PdfPageWriter.h"
#include "documents/TextLines.h"
#include "documents/TextRecogniser.h"
#include "pages/FileCommit.h"
#include "pages/ImageEncoder.h"
#include "tests/support/TextPages.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTransform>

#include <tesseract/baseapi.h>
#include <tesseract/renderer.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

QString squeeze(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\s")));
}

// The least edit distance of any order: the characters not matched as a bag.
int bagDistance(const QVector<uint> &a, const QVector<uint> &b)
{
    QHash<uint, int> counts;
    for (uint c : a)
        ++counts[c];
    int matched = 0;
    for (uint c : b) {
        if (counts.value(c) > 0) {
            --counts[c];
            ++matched;
        }
    }
    return std::max(a.size(), b.size()) - matched;
}

QString pdftotext(const QString &pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    process.waitForFinished(60000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Turned by `degrees` about the centre on white, with grain: a page fed a little askew.
QImage degrade(const QImage &page, double degrees, quint32 seed)
{
    QImage turned(page.size(), QImage::Format_RGB32);
    turned.fill(qRgb(240, 240, 236));
    {
        QPainter painter(&turned);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.translate(page.width() / 2.0, page.height() / 2.0);
        painter.rotate(degrees);
        painter.translate(-page.width() / 2.0, -page.height() / 2.0);
        painter.drawImage(0, 0, page);
    }
    std::mt19937 rng(seed);
    std::normal_distribution<double> grain(0.0, 8.0);
    for (int y = 0; y < turned.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(turned.scanLine(y));
        for (int x = 0; x < turned.width(); ++x) {
            const int d = int(grain(rng));
            const QRgb c = line[x];
            line[x] = qRgb(qBound(0, qRed(c) + d, 255), qBound(0, qGreen(c) + d, 255),
                           qBound(0, qBlue(c) + d, 255));
        }
    }
    turned.setDotsPerMeterX(page.dotsPerMeterX());
    turned.setDotsPerMeterY(page.dotsPerMeterY());
    return turned;
}

QByteArray jpeg85(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(85);
    writer.write(image);
    return bytes;
}

struct Tally
{
    int chars = 0, bag = 0, tesseract = 0, pdf = 0, ofd = 0, pages = 0;
    void add(const Tally &o)
    {
        chars += o.chars, bag += o.bag, tesseract += o.tesseract, pdf += o.pdf, ofd += o.ofd;
        pages += o.pages;
    }
    void print(const char *name) const
    {
        const auto pc = [this](int errors) { return 100.0 * errors / qMax(1, chars); };
        std::printf("| %-24s | %5d | %6d | %6.2f %% | %6.2f %% | %6.2f %% | %6.2f %% |\n", name,
                    pages, chars, pc(bag), pc(tesseract), pc(pdf), pc(ofd));
    }
};

Tally measure(TextRecogniser &recogniser, const QDir &dir, const QStringList &lines, bool degraded,
              int number)
{
    const int dpi = 300;
    QImage page = TextPages::page(lines, 210, 297, dpi, 4.2, 9);
    if (degraded)
        page = degrade(page, 1.5, quint32(number));
    const QByteArray jpeg = jpeg85(page);
    const QString base = dir.filePath(QStringLiteral("page%1").arg(number));
    FileCommit::write(jpeg, base + ".jpg");
    Tally tally;
    if (!recogniser.recognise(base + ".jpg", dpi))
        return tally;

    // Tesseract's own renderer, as the searchable PDF was written before.
    {
        tesseract::TessPDFRenderer renderer(QFile::encodeName(base + "-tesseract").constData(),
                                            recogniser.engine()->GetDatapath());
        renderer.BeginDocument("");
        renderer.AddImage(recogniser.engine());
        renderer.EndDocument();
    }
    const QList<TextLines::Line> text = TextLines::read(*recogniser.engine(), page.size());
    const PdfPageWriter::Page pdfPage{[jpeg] { return jpeg; }, page.size(), QPointF(dpi, dpi),
                                      false, text};
    {
        FileCommit out(base + ".pdf");
        if (!PdfPageWriter::write(QList<PdfPageWriter::Page>{pdfPage}, out) || !out.commit())
            std::fprintf(stderr, "page %d: the PDF was not written\n", number);
    }
    QString ofdText;
    for (const TextLines::Line &line : text)
        ofdText += line.text;
    // As the searchable OFD writes it: the image fetched when its entry is written.
    OfdWriter::write(
        {{QByteArray(), page.size(), QPointF(dpi, dpi), [jpeg] { return jpeg; }, text}},
        base + ".ofd");

    const QVector<uint> truth = squeeze(lines.join(QString())).toUcs4();
    const QVector<uint> fromTesseract = squeeze(pdftotext(base + "-tesseract.pdf")).toUcs4();
    const QVector<uint> fromPdf = squeeze(pdftotext(base + ".pdf")).toUcs4();
    tally.pages = 1;
    tally.chars = truth.size();
    tally.bag = bagDistance(truth, fromPdf);
    tally.tesseract = TextPages::editDistance(truth, fromTesseract);
    tally.pdf = TextPages::editDistance(truth, fromPdf);
    tally.ofd = TextPages::editDistance(truth, squeeze(ofdText).toUcs4());
    return tally;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir work;
    const QDir dir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : work.path());
    TextRecogniser recogniser;
    if (!recogniser.isReady()) {
        std::fprintf(stderr, "no Chinese and English language data\n");
        return 1;
    }
    struct Set
    {
        const char *name;
        QStringList lines;
        bool degraded;
    };
    const QList<Set> sets{{"Chinese, clean", TextOrderPages::chinese(), false},
                          {"Chinese, 1.5 deg, grain", TextOrderPages::chinese(), true},
                          {"English, clean", TextOrderPages::english(), false},
                          {"English, 1.5 deg, grain", TextOrderPages::english(), true},
                          {"mixed, clean", TextOrderPages::mixed(), false},
                          {"mixed, 1.5 deg, grain", TextOrderPages::mixed(), true}};
    std::printf("Character error, whitespace removed (pdftotext in reading order; order-free: "
                "characters matched as a bag)\n\n");
    std::printf("| page set                 | pages | chars  | order-free | Tesseract PDF "
                "| searchable PDF | OFD text |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    Tally all, chinese;
    int number = 0;
    for (const Set &set : sets) {
        Tally tally;
        // Two pages per set: the lines in order and turned around (a different page).
        for (int variant = 0; variant < 2; ++variant) {
            QStringList lines = set.lines;
            if (variant == 1)
                std::reverse(lines.begin(), lines.end());
            tally.add(measure(recogniser, dir, lines, set.degraded, ++number));
        }
        tally.print(set.name);
        all.add(tally);
        if (QByteArray(set.name).startsWith("Chinese"))
            chinese.add(tally);
    }
    chinese.print("all Chinese");
    all.print("all");
    return 0;
}

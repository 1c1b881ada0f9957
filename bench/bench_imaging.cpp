// Speed of the image pipeline on a 300 dpi A4 page (2480 x 3508) in colour and in grey: each
// correction against its literal formula implementation, the whole correction chain, decoding
// the page's JPEG, writing every output format, PNG at each compression level, and writing a
// merged PDF. Every figure is also related to a plain copy of the same page, the
// memory-bandwidth floor. A summary table follows Google Benchmark's own output.

#include "bench/EveryCorrection.h"
#include "documents/PageWriter.h"
#include "documents/PdfPageWriter.h"
#include "imaging/Deskew.h"
#include "imaging/ImageAlgorithm.h"
#include "imaging/PageCorrector.h"
#include "pages/ImageEncoder.h"
#include "settings/ParamSetting.h"
#include "settings/SaveFormat.h"
#include "tests/imaging/LiteralAlgorithms.h"

#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QTemporaryDir>
#include <QTransform>

#include <opencv2/core.hpp>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kWidth = 2480;
constexpr int kHeight = 3508;

struct Page
{
    QByteArray jpeg;
    QImage image; // as the collector loads it: RGB32 in colour, Grayscale8 in grey
};

// A scanned-looking page: slightly noisy paper, rows of dark glyph strokes, faint strokes
// showing through from the back and, in colour, a red heading bar and a gradient picture.
// RGB32 in colour, Grayscale8 in grey.
QImage documentPage(int width, int height, bool colour, quint32 seed)
{
    std::mt19937 rng(seed);
    QImage page(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int paper = 236 + int(rng() % 14);
            reinterpret_cast<QRgb *>(page.scanLine(y))[x] = qRgb(paper, paper, paper - 4);
        }
    QPainter painter(&page);
    const int unit = std::max(1, width / 248); // about 1 mm at 300 dpi
    for (int y = 15 * unit; y + 4 * unit < height - 15 * unit; y += 5 * unit)
        for (int x = 15 * unit; x + 3 * unit < width - 15 * unit; x += 3 * unit) {
            painter.fillRect(width - x, y + 2 * unit, unit, 2 * unit, QColor(214, 212, 210));
            if (rng() % 6 == 0)
                continue; // a gap between words
            const int ink = 25 + int(rng() % 40);
            painter.fillRect(x, y, std::max(1, unit / 3), 2 * unit, QColor(ink, ink, ink + 5));
            painter.fillRect(x, y + int(rng() % 2) * unit, 2 * unit, std::max(1, unit / 3),
                             QColor(ink, ink, ink + 5));
        }
    if (colour) {
        painter.fillRect(15 * unit, 5 * unit, width - 30 * unit, 8 * unit, QColor(190, 30, 40));
        QLinearGradient gradient(0, height / 2, width / 2, height * 2 / 3);
        gradient.setColorAt(0, QColor(40, 60, 180));
        gradient.setColorAt(1, QColor(240, 210, 140));
        painter.fillRect(15 * unit, height / 2, width / 2, height / 6, gradient);
    }
    painter.end();
    return colour ? page : page.convertToFormat(QImage::Format_Grayscale8);
}

QByteArray encodeJpeg(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPG");
    return bytes;
}

Page makePage(bool colour, int width, int height)
{
    Page p;
    p.jpeg = encodeJpeg(documentPage(width, height, colour, 2024));
    p.image = QImage::fromData(p.jpeg);
    return p;
}

const Page &page(bool colour)
{
    static const Page colourPage = makePage(true, kWidth, kHeight);
    static const Page greyPage = makePage(false, kWidth, kHeight);
    return colour ? colourPage : greyPage;
}

const char *tag(bool colour)
{
    return colour ? "colour" : "grey";
}

using Operation = std::function<void(QImage *)>;

// Every correction switched on in the settings record; `imageType` 0 adds the black-and-white
// step.
void setEveryCorrection(int imageType, int halftone = 0)
{
    ::setEveryCorrection(ParamSetting::instance, imageType, halftone);
}

// The same chain with the literal operations.
void literalChain(QImage *image)
{
    const ParamSetting &p = ParamSetting::instance;
    for (PageCorrector::Step step : PageCorrector::plan(p)) {
        switch (step) {
        case PageCorrector::Rotation:
            *image =
                image->transformed(QTransform().rotate(p.angle_correct), Qt::FastTransformation);
            break;
        case PageCorrector::Straighten:
            Deskew::correct(image); // no literal version: the same code
            break;
        case PageCorrector::ToneAdjust:
            Literal::ImageAdjust(image, int(p.brightness_correct), int(p.contrast_correct),
                                 p.gamma_correct, float(p.brightness * 0.01),
                                 float(p.contrast * 0.01), float(p.color_curve * 0.01));
            break;
        case PageCorrector::Filter:
            Literal::AddFilter(image, p.filter);
            break;
        case PageCorrector::Descreen:
            Literal::MedianBlur(image, int(p.descreen_radius));
            break;
        case PageCorrector::BleedThrough:
            Literal::Impermeability(image, p.impermeable);
            break;
        case PageCorrector::Threshold:
            Literal::Threshold(image);
            break;
        case PageCorrector::Halftoning:
            Literal::Halftoning(image);
            break;
        case PageCorrector::BackgroundColour:
            Literal::ChangeBackgroudColor(image, p.bkg_red, p.bkg_green, p.bkg_blue);
            break;
        }
    }
}

void runOnPage(benchmark::State &state, bool colour, const Operation &operation)
{
    const QImage &source = page(colour).image;
    for (auto _ : state) {
        QImage image = source; // shares the pixels; every operation makes a new image
        operation(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["Mpx/s"] = benchmark::Counter(double(source.width()) * source.height() / 1e6,
                                                 benchmark::Counter::kIsIterationInvariantRate);
}

benchmark::internal::Benchmark *add(const std::string &name,
                                    std::function<void(benchmark::State &)> body)
{
    return benchmark::RegisterBenchmark(name.c_str(), [body](benchmark::State &s) { body(s); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
}

struct Step
{
    std::string name;
    Operation fast;
    Operation literal;
    bool colourOnly;
};

std::vector<Step> steps()
{
    return {
        {"ImageAdjust",
         [](QImage *i) { ImageAlgorithm::ImageAdjust(i, 4, 3, 1.2f, 0.95f, 1.f, 1.05f); },
         [](QImage *i) { Literal::ImageAdjust(i, 4, 3, 1.2f, 0.95f, 1.f, 1.05f); }, false},
        {"AddFilter1", [](QImage *i) { ImageAlgorithm::AddFilter(i, 1); },
         [](QImage *i) { Literal::AddFilter(i, 1); }, true},
        {"AddFilter2", [](QImage *i) { ImageAlgorithm::AddFilter(i, 2); },
         [](QImage *i) { Literal::AddFilter(i, 2); }, true},
        {"AddFilter3", [](QImage *i) { ImageAlgorithm::AddFilter(i, 3); },
         [](QImage *i) { Literal::AddFilter(i, 3); }, true},
        {"AddFilter4", [](QImage *i) { ImageAlgorithm::AddFilter(i, 4); },
         [](QImage *i) { Literal::AddFilter(i, 4); }, true},
        {"MedianBlur5", [](QImage *i) { ImageAlgorithm::MedianBlur(i, 5); },
         [](QImage *i) { Literal::MedianBlur(i, 5); }, false},
        {"MedianBlur10", [](QImage *i) { ImageAlgorithm::MedianBlur(i, 10); },
         [](QImage *i) { Literal::MedianBlur(i, 10); }, false},
        {"Impermeability", [](QImage *i) { ImageAlgorithm::Impermeability(i, 2); },
         [](QImage *i) { Literal::Impermeability(i, 2); }, false},
        {"Threshold", [](QImage *i) { ImageAlgorithm::Threshold(i); },
         [](QImage *i) { Literal::Threshold(i); }, false},
        {"Halftoning", [](QImage *i) { ImageAlgorithm::Halftoning(i); },
         [](QImage *i) { Literal::Halftoning(i); }, false},
        {"ChangeBackgroudColor",
         [](QImage *i) { ImageAlgorithm::ChangeBackgroudColor(i, 250, 245, 230); },
         [](QImage *i) { Literal::ChangeBackgroudColor(i, 250, 245, 230); }, false},
        {"QImage2cvMat", [](QImage *i) { benchmark::DoNotOptimize(QImage2cvMat(*i).data); },
         [](QImage *i) { benchmark::DoNotOptimize(Literal::toMat(*i).data); }, false},
        {"Rotate0.5deg",
         [](QImage *i) { *i = i->transformed(QTransform().rotate(0.5), Qt::FastTransformation); },
         nullptr, false},
    };
}

void registerAll(const QString &outDir)
{
    for (bool colour : {true, false}) {
        const std::string t = tag(colour);
        add("Copy/" + t, [colour](benchmark::State &s) {
            const QImage &source = page(colour).image;
            for (auto _ : s) {
                QImage copy = source.copy();
                benchmark::DoNotOptimize(copy.constBits());
            }
        });
        add("DecodeJpeg/" + t, [colour](benchmark::State &s) {
            const QByteArray &jpeg = page(colour).jpeg;
            for (auto _ : s) {
                QImage image = QImage::fromData(jpeg);
                benchmark::DoNotOptimize(image.constBits());
            }
        });
        for (const Step &step : steps()) {
            if (step.colourOnly && !colour)
                continue;
            add(step.name + "/" + t,
                [colour, f = step.fast](benchmark::State &s) { runOnPage(s, colour, f); });
            if (step.literal)
                add(step.name + "/" + t + "/literal", [colour,
                                                       f = step.literal](benchmark::State &s) {
                    runOnPage(s, colour, f);
                })->Iterations(2);
        }
        {
            const cv::Mat m = QImage2cvMat(page(colour).image);
            add("cvMat2QImage/" + t, [m](benchmark::State &s) {
                for (auto _ : s) {
                    QImage image = cvMat2QImage(m);
                    benchmark::DoNotOptimize(image.constBits());
                }
            });
            add("cvMat2QImage/" + t + "/literal", [m](benchmark::State &s) {
                for (auto _ : s) {
                    QImage image = Literal::toImage(m);
                    benchmark::DoNotOptimize(image.constBits());
                }
            })->Iterations(2);
        }
        const int imageType = colour ? 2 : 1;
        add("Chain/" + t, [colour, imageType](benchmark::State &s) {
            setEveryCorrection(imageType);
            runOnPage(s, colour,
                      [](QImage *i) { PageCorrector::correct(i, ParamSetting::instance); });
        });
        add("Chain/" + t + "/literal", [colour, imageType](benchmark::State &s) {
            setEveryCorrection(imageType);
            runOnPage(s, colour, literalChain);
        })->Iterations(1);
        if (!colour) {
            for (int halftone : {0, 1}) {
                const std::string name = halftone ? "ChainBlackWhiteHalftone" : "ChainBlackWhite";
                add(name + "/" + t, [halftone](benchmark::State &s) {
                    setEveryCorrection(0, halftone);
                    runOnPage(s, false,
                              [](QImage *i) { PageCorrector::correct(i, ParamSetting::instance); });
                });
                add(name + "/" + t + "/literal", [halftone](benchmark::State &s) {
                    setEveryCorrection(0, halftone);
                    runOnPage(s, false, literalChain);
                })->Iterations(1);
            }
        }
        for (int type : {SaveFormat::Jpg, SaveFormat::Pdf, SaveFormat::Tiff, SaveFormat::Ofd,
                         SaveFormat::Png, SaveFormat::Bmp}) {
            const QString suffix = SaveFormat::suffix(type);
            const std::string name = "Write" + suffix.mid(1).toUpper().toStdString() + "/" + t;
            const QString target = outDir + "/page-" + QString::fromLatin1(tag(colour)) + suffix;
            add(name, [colour, type, target](benchmark::State &s) {
                const QImage &source = page(colour).image;
                for (auto _ : s) {
                    if (!PageWriter::write(source, type, target))
                        s.SkipWithError("write failed");
                }
                s.counters["MB"] = double(QFile(target).size()) / 1e6;
            })->MinTime(1.0);
        }
    }
    // PNG at each zlib level, to choose the collector's (ImageEncoder::PngLevel): time and size
    // against Qt's default level 6.
    for (bool colour : {true, false}) {
        for (int level : {1, 2, 3, 4, 5, 6}) {
            const std::string name = "WritePngLevel" + std::to_string(level) + "/" + tag(colour);
            add(name, [colour, level](benchmark::State &s) {
                const QImage &source = page(colour).image;
                QByteArray bytes;
                for (auto _ : s) {
                    bytes.clear();
                    QBuffer buffer(&bytes);
                    buffer.open(QIODevice::WriteOnly);
                    QImageWriter writer(&buffer, "png");
                    writer.setQuality(ImageEncoder::pngQuality(level));
                    if (!writer.write(source))
                        s.SkipWithError("write failed");
                }
                s.counters["MB"] = double(bytes.size()) / 1e6;
            })->MinTime(1.0);
        }
    }
    // The merged PDF is written once, from the pages as they are kept: each page's JPEG is
    // embedded as it is (here a corrected page, encoded as the JPG format writes it).
    for (int pages : {10, 50}) {
        const QString target = outDir + QString("/merged-%1.pdf").arg(pages);
        add("MergedPdf/" + std::to_string(pages) + "pages", [pages, target](benchmark::State &s) {
            QList<QImage> list;
            for (int i = 0; i < pages; ++i)
                list << page(true).image.copy();
            for (auto _ : s) {
                if (!PdfPageWriter::writeMerged(list, target))
                    s.SkipWithError("write failed");
            }
            s.counters["MB"] = double(QFile(target).size()) / 1e6;
        })->Iterations(1);
    }
    add("MergedPdf/1page300dpi", [outDir](benchmark::State &s) {
        for (auto _ : s) {
            if (!PdfPageWriter::writeMerged({page(true).image}, outDir + "/merged-300.pdf"))
                s.SkipWithError("write failed");
        }
    })->MinTime(1.0);
}

// Keeps every per-iteration real time (ms) for the summary.
class SummaryReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                m_ms[run.run_name.function_name] = run.GetAdjustedRealTime();
                const auto mb = run.counters.find("MB");
                if (mb != run.counters.end())
                    m_mb[run.run_name.function_name] = mb->second;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    bool has(const std::string &name) const { return m_ms.count(name) != 0; }
    double mb(const std::string &name) const
    {
        auto it = m_mb.find(name);
        return it == m_mb.end() ? 0.0 : it->second;
    }
    double ms(const std::string &name) const
    {
        auto it = m_ms.find(name);
        return it == m_ms.end() ? 0.0 : it->second;
    }

    void printSummary(const std::string &loadBefore) const
    {
        std::printf(
            "\nMachine: %u cores, %s, OpenCV threads %d; load average before: %s, after: %s\n",
            std::thread::hardware_concurrency(), cpuModel().c_str(), cv::getNumThreads(),
            loadBefore.c_str(), loadAverage().c_str());
        std::printf("Page: 2480 x 3508 (300 dpi A4), colour RGB32 and grey Grayscale8 as decoded "
                    "from JPEG. Times in ms per page.\n\n");
        std::printf("| Step | colour ms | x copy | literal ms | speed-up | grey ms | x copy | "
                    "literal ms | speed-up |\n");
        std::printf("|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
        std::vector<std::string> rows = {"Copy", "DecodeJpeg", "Rotate0.5deg"};
        for (const Step &s : steps())
            if (s.name != "Rotate0.5deg")
                rows.push_back(s.name);
        rows.insert(rows.end(),
                    {"cvMat2QImage", "Chain", "ChainBlackWhite", "ChainBlackWhiteHalftone",
                     "WriteJPG", "WritePDF", "WriteTIFF", "WriteOFD", "WritePNG", "WriteBMP"});
        for (const std::string &row : rows) {
            std::string line = "| " + row + " |";
            bool any = false;
            for (bool colour : {true, false}) {
                const std::string name = row + "/" + tag(colour);
                if (!has(name)) {
                    line += " | | | |";
                    continue;
                }
                any = true;
                const double t = ms(name);
                const double copy = ms(std::string("Copy/") + tag(colour));
                line += fmt(" %.1f |", t) + fmt(" %.1f |", copy > 0 ? t / copy : 0.0);
                if (has(name + "/literal")) {
                    const double lit = ms(name + "/literal");
                    line += fmt(" %.0f |", lit) + fmt(" %.1fx |", lit / t);
                } else {
                    line += " | |";
                }
            }
            if (any)
                std::printf("%s\n", line.c_str());
        }
        for (bool colour : {true, false}) {
            const std::string t = tag(colour);
            if (has("Chain/" + t) && has("DecodeJpeg/" + t))
                std::printf("\nChain with every correction, %s: %.1f ms = %.2f x decoding its JPEG "
                            "(%.1f ms).",
                            t.c_str(), ms("Chain/" + t), ms("Chain/" + t) / ms("DecodeJpeg/" + t),
                            ms("DecodeJpeg/" + t));
        }
        std::printf("\n\n| PNG, zlib level | colour ms | MB | x default time | x default size "
                    "| grey ms | MB | x default time | x default size |\n"
                    "|---|---:|---:|---:|---:|---:|---:|---:|---:|\n");
        for (int level : {1, 2, 3, 4, 5, 6}) {
            std::string line =
                "| " + std::to_string(level) + (level == 6 ? " (default)" : "") + " |";
            for (bool colour : {true, false}) {
                const std::string name =
                    "WritePngLevel" + std::to_string(level) + "/" + tag(colour);
                const std::string base = std::string("WritePngLevel6/") + tag(colour);
                if (!has(name) || !has(base)) {
                    line += " | | | |";
                    continue;
                }
                line += fmt(" %.0f |", ms(name)) + fmt(" %.2f |", mb(name)) +
                        fmt(" %.2f |", ms(name) / ms(base)) + fmt(" %.2f |", mb(name) / mb(base));
            }
            std::printf("%s\n", line.c_str());
        }
        std::printf("\n| Merged PDF, 300 dpi colour pages, written once | total ms | ms per page "
                    "|\n|---|---:|---:|\n");
        if (has("MergedPdf/1page300dpi"))
            std::printf("| 1 page | %.0f | %.1f |\n", ms("MergedPdf/1page300dpi"),
                        ms("MergedPdf/1page300dpi"));
        for (int pages : {10, 50}) {
            const std::string name = "MergedPdf/" + std::to_string(pages) + "pages";
            if (has(name))
                std::printf("| %d pages | %.0f | %.1f |\n", pages, ms(name), ms(name) / pages);
        }
    }

    static std::string loadAverage()
    {
        std::ifstream in("/proc/loadavg");
        std::string a, b, c;
        in >> a >> b >> c;
        return a + " " + b + " " + c;
    }

private:
    static std::string fmt(const char *format, double value)
    {
        char buffer[64];
        std::snprintf(buffer, sizeof buffer, format, value);
        return buffer;
    }

    static std::string cpuModel()
    {
        std::ifstream in("/proc/cpuinfo");
        std::string line;
        while (std::getline(in, line)) {
            if (line.rfind("model name", 0) == 0)
                return line.substr(line.find(':') + 2);
        }
        return "unknown CPU";
    }

    std::map<std::string, double> m_ms;
    std::map<std::string, double> m_mb;
};

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // image plugins and the PDF printer
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QTemporaryDir outDir;
    const std::string loadBefore = SummaryReporter::loadAverage();
    registerAll(outDir.path());
    SummaryReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printSummary(loadBefore);
    benchmark::Shutdown();
    return 0;
}

// Speed of the document outputs and the page cleaning on a 300 dpi A4 page (2480 x 3508) of
// text, in colour and in grey: writing the OFD package and the compact TIFF (also a
// black-and-white page as Group 4), recognising the text of one page (one engine, one thread)
// and of a searchable PDF (a worker per core), measuring and undoing the skew, and deciding
// whether a page is blank. A plain copy of the same page is the memory-bandwidth floor.

#include "documents/OfdWriter.h"
#include "documents/PageWriter.h"
#include "documents/SearchablePdfJob.h"
#include "documents/TextRecogniser.h"
#include "imaging/BlankPageDetector.h"
#include "imaging/Deskew.h"
#include "settings/SaveFormat.h"
#include "tests/support/DocumentPages.h"
#include "tests/support/TextPages.h"

#include <benchmark/benchmark.h>

#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/renderer.h>

#include <array>
#include <ctime>
#include <vector>

#include <sys/resource.h>

namespace {

enum Kind
{
    Colour,
    Grey,
    BlackWhite,
    Blank
};

// 28 lines of Chinese and English text turned by 2 degrees, with noise and the back side
// showing through: RGB32 in colour, Grayscale8 in grey, two-level grey in black and white; and
// a blank grey page with noise, show-through, the scanner's edge and punched holes.
const QImage &page(Kind kind)
{
    static const std::array<QImage, 4> pages = [] {
        DocumentPages::Options o;
        o.dpi = 300;
        o.skewDegrees = 2.0;
        o.noise = o.showThrough = true;
        o.colour = true;
        const QImage colour = DocumentPages::page(o, 1);
        o.colour = false;
        const QImage grey = DocumentPages::page(o, 1);
        o.twoLevel = true;
        const QImage bw = DocumentPages::page(o, 1);
        o.twoLevel = false;
        o.textLines = 0;
        o.scannerEdge = o.holes = true;
        return std::array<QImage, 4>{colour, grey, bw, DocumentPages::page(o, 2)};
    }();
    return pages[size_t(kind)];
}

const char *name(Kind kind)
{
    static const char *names[] = {"colour", "grey", "black and white", "blank"};
    return names[kind];
}

QString g_out; // the benchmark's output folder

void copy(benchmark::State &state, Kind kind)
{
    for (auto _ : state) {
        QImage c = page(kind).copy();
        benchmark::DoNotOptimize(c.bits());
    }
}

void write(benchmark::State &state, Kind kind, int saveType)
{
    const QString target = g_out + "/page" + SaveFormat::suffix(saveType);
    for (auto _ : state) {
        if (!PageWriter::write(page(kind), saveType, target))
            state.SkipWithError("write failed");
    }
    state.counters["MB"] = QFileInfo(target).size() / 1e6;
}

// The recognition page set: four pages of the kind (seeds 1 to 4), each as the scanner's JPEG
// file, with the text drawn on it.
struct TextPage
{
    QString jpeg;
    QImage image;
    QString truth;
};

const std::vector<TextPage> &textPages(Kind kind)
{
    static std::array<std::vector<TextPage>, 2> sets;
    std::vector<TextPage> &set = sets[size_t(kind)];
    if (set.empty()) {
        DocumentPages::Options o;
        o.dpi = 300;
        o.skewDegrees = 2.0;
        o.noise = o.showThrough = true;
        o.colour = kind == Colour;
        for (quint32 seed = 1; seed <= 4; ++seed) {
            TextPage p;
            QStringList lines;
            p.image = DocumentPages::page(o, seed, &lines);
            p.truth = lines.join(QString());
            p.jpeg = g_out + QString("/text-%1-%2.jpg").arg(int(kind)).arg(seed);
            p.image.save(p.jpeg, "jpeg", 85);
            set.push_back(p);
        }
    }
    return set;
}

QString withoutSpace(QString text)
{
    return text.remove(QRegularExpression(QStringLiteral("\\s")));
}

// CPU seconds of the whole process (every thread) and its peak resident memory in MB.
double processCpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double peakMegabytes()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss / 1024.0;
}

double threadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

// One engine recognising the page set from its JPEG files: CPU seconds per page, pages per
// CPU-second, and the character error against the drawn text (whitespace left out, order as
// the engine reads).
void recognise(benchmark::State &state, Kind kind)
{
    const std::vector<TextPage> &pages = textPages(kind);
    TextRecogniser recogniser;
    double cpu = 0;
    long errors = 0, characters = 0, done = 0;
    for (auto _ : state) {
        for (const TextPage &p : pages) {
            const double start = processCpuSeconds();
            if (!recogniser.recognise(p.jpeg, 300))
                state.SkipWithError("recognition failed");
            cpu += processCpuSeconds() - start;
            errors += TextPages::editDistance(withoutSpace(recogniser.text()).toUcs4(),
                                              withoutSpace(p.truth).toUcs4());
            characters += withoutSpace(p.truth).toUcs4().size();
            ++done;
        }
    }
    state.counters["cpu_s_per_page"] = cpu / done;
    state.counters["pages_per_cpu_s"] = done / cpu;
    state.counters["char_error_pct"] = 100.0 * errors / characters;
}

// Where one page's time goes, in CPU seconds of the recognising thread: reading the JPEG,
// binarisation, layout analysis, the recogniser, and the PDF text layer; the page read as it
// is, or (`grey`) as the recogniser's working copy: decoded grey, recognised black and white.
void recogniseStages(benchmark::State &state, Kind kind, bool grey)
{
    const TextPage &p = textPages(kind).front();
    tesseract::TessBaseAPI api;
    api.SetVariable("debug_file", "/dev/null");
    if (api.Init(nullptr, "chi_sim+eng", tesseract::OEM_LSTM_ONLY) != 0) {
        state.SkipWithError("no language data");
        return;
    }
    std::array<double, 5> stage{};
    int n = 0;
    for (auto _ : state) {
        double t = threadCpuSeconds();
        const auto lap = [&t](double &into) {
            const double now = threadCpuSeconds();
            into += now - t;
            t = now;
        };
        const QByteArray path = QFile::encodeName(p.jpeg);
        Pix *pix = grey ? pixReadJpeg(path.constData(), 0, 1, nullptr, L_JPEG_READ_LUMINANCE)
                        : pixRead(path.constData());
        lap(stage[0]);
        api.SetInputName(path.constData());
        api.SetImage(pix);
        api.SetSourceResolution(300);
        Pix *binary = api.GetThresholdedImage();
        if (grey) { // the recogniser then reads the black-and-white copy
            api.SetImage(binary);
            api.SetSourceResolution(300);
        }
        lap(stage[1]);
        delete api.AnalyseLayout();
        lap(stage[2]);
        api.Recognize(nullptr);
        lap(stage[3]);
        {
            tesseract::TessPDFRenderer renderer(QFile::encodeName(g_out + "/stages").constData(),
                                                api.GetDatapath());
            renderer.BeginDocument("");
            renderer.AddImage(&api);
            renderer.EndDocument();
        }
        lap(stage[4]);
        pixDestroy(&binary);
        pixDestroy(&pix);
        ++n;
    }
    const char *names[] = {"decode_s", "binarise_s", "layout_s", "recognise_s", "text_layer_s"};
    for (size_t i = 0; i < stage.size(); ++i)
        state.counters[names[i]] = stage[i] / n;
}

// A searchable PDF of the page set on a worker per core, as a scan makes it: CPU seconds per
// page of the whole process and pages per CPU-second, for the first run (the engines start)
// and for the runs after it (the engines kept from the run before), and the process's peak
// memory.
void recogniseJob(benchmark::State &state, Kind kind)
{
    const std::vector<TextPage> &pages = textPages(kind);
    const auto run = [&pages] {
        const double start = processCpuSeconds();
        SearchablePdfJob job(g_out + "/job.pdf", QThread::idealThreadCount());
        for (const TextPage &p : pages)
            job.addPage(p.image);
        job.finish();
        job.wait();
        return processCpuSeconds() - start;
    };
    const double first = run();
    double cpu = 0;
    long done = 0;
    for (auto _ : state) {
        cpu += run();
        done += long(pages.size());
    }
    state.counters["s_per_page"] =
        benchmark::Counter(double(done), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["first_cpu_s_per_page"] = first / double(pages.size());
    state.counters["cpu_s_per_page"] = cpu / done;
    state.counters["pages_per_cpu_s"] = done / cpu;
    state.counters["peak_MB"] = peakMegabytes();
    state.counters["workers"] = QThread::idealThreadCount();
}

void deskewMeasure(benchmark::State &state, Kind kind)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(Deskew::measure(page(kind)));
}

void deskewCorrect(benchmark::State &state, Kind kind)
{
    for (auto _ : state) {
        QImage turned = page(kind);
        benchmark::DoNotOptimize(Deskew::correct(&turned));
    }
}

void blankCheck(benchmark::State &state, Kind kind)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(BlankPageDetector::examine(page(kind)));
}

void registerAll()
{
    using Fn = void (*)(benchmark::State &, Kind);
    const auto add = [](const std::string &step, Kind kind, Fn fn) {
        benchmark::RegisterBenchmark((step + "/" + name(kind)).c_str(), fn, kind)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    };
    for (Kind kind : {Colour, Grey})
        add("Copy", kind, copy);
    for (Kind kind : {Colour, Grey, BlackWhite}) {
        for (int type : {int(SaveFormat::Ofd), int(SaveFormat::Tiff)}) {
            const std::string step = type == SaveFormat::Ofd ? "WriteOFD" : "WriteTIFF";
            benchmark::RegisterBenchmark((step + "/" + name(kind)).c_str(),
                                         [type](benchmark::State &s, Kind k) { write(s, k, type); },
                                         kind)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime();
        }
    }
    for (Kind kind : {Colour, Grey})
        benchmark::RegisterBenchmark((std::string("Recognise/") + name(kind)).c_str(), recognise,
                                     kind)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
    for (Kind kind : {Colour, Grey}) {
        for (bool grey : {false, true})
            benchmark::RegisterBenchmark(
                (std::string("RecogniseStages/") + name(kind) + (grey ? "/working copy" : ""))
                    .c_str(),
                [grey](benchmark::State &s, Kind k) { recogniseStages(s, k, grey); }, kind)
                ->Unit(benchmark::kMillisecond)
                ->UseRealTime()
                ->Iterations(2);
    }
    for (Kind kind : {Colour, Grey})
        benchmark::RegisterBenchmark((std::string("RecogniseJob/") + name(kind)).c_str(),
                                     recogniseJob, kind)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1);
    for (Kind kind : {Colour, Grey, Blank}) {
        add("DeskewMeasure", kind, deskewMeasure);
        add("DeskewCorrect", kind, deskewCorrect);
        add("BlankCheck", kind, blankCheck);
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv); // fonts for the generated page
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    QTemporaryDir out;
    g_out = out.path();
    for (Kind kind : {Colour, Grey, BlackWhite, Blank})
        page(kind); // made once, before any timing
    for (Kind kind : {Colour, Grey})
        textPages(kind);
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

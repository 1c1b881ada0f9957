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

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QTemporaryDir>
#include <QThread>

#include <array>

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

void recognise(benchmark::State &state, Kind kind)
{
    const QString jpeg = g_out + "/recognise.jpg";
    page(kind).save(jpeg);
    TextRecogniser recogniser;
    for (auto _ : state) {
        if (!recogniser.recognise(jpeg, 300))
            state.SkipWithError("recognition failed");
    }
}

// A searchable PDF of four pages on a worker per core, as a scan makes it (the engines' start
// included): the time per page the console really waits for its text.
void recogniseJob(benchmark::State &state, Kind kind)
{
    const int pages = 4;
    for (auto _ : state) {
        SearchablePdfJob job(g_out + "/job.pdf", QThread::idealThreadCount());
        for (int i = 0; i < pages; ++i)
            job.addPage(page(kind));
        job.finish();
        job.wait();
    }
    state.counters["s_per_page"] = benchmark::Counter(
        pages, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
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
            ->Iterations(3);
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
    registerAll();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

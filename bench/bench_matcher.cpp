// How well and how fast the simulated module tells fingers apart, all
// through its entry points:
//   - a synthetic population: false match and non-match rates at the
//     threshold, equal error rate, score distributions, the quality gate;
//   - the autopilot's finger as a person trying the window meets it;
//   - real prints from public research sets, placed on the sensor;
//   - times of feature extraction, one match and a search over 1,000
//     stored templates, and the memory the store of 1,000 takes.
//
//   bench_matcher [--fingers N] [--prints DIR]
//
// DIR holds folders of "<finger>_<press>.png" images (default: the shared
// prints beside the checkout, when present).

#include "population.h"
#include "vyr_api.h"
#include "vyrsim.h"

#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <malloc.h>
#include <vector>

namespace {

constexpr int kAddr = -1;
constexpr int kThreshold = VYRSIM_MATCH_THRESHOLD;

int percentile(std::vector<int> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::size_t(p * double(values.size() - 1) + 0.5)];
}

void report(const char *name, const ModuleSession &module, const std::vector<Impression> &all,
            bool allImpostors)
{
    const Scores s = compareImpressions(module, all, allImpostors);
    const int impressions = int(all.size());
    int at = 0;
    const double eer = equalErrorRate(s, &at);
    std::printf("%s: %d impressions, %d refused by the quality gate\n", name, impressions,
                s.refused);
    std::printf("  genuine pairs %zu: FNMR at %d = %.2f %%; scores p1 %d, p5 %d, median %d, "
                "p95 %d\n",
                s.genuine.size(), kThreshold, falseNonMatchRate(s, kThreshold),
                percentile(s.genuine, 0.01), percentile(s.genuine, 0.05),
                percentile(s.genuine, 0.5), percentile(s.genuine, 0.95));
    std::printf("  impostor pairs %zu: FMR at %d = %.3f %%; scores median %d, p99 %d, "
                "highest %d\n",
                s.impostor.size(), kThreshold, falseMatchRate(s, kThreshold),
                percentile(s.impostor, 0.5), percentile(s.impostor, 0.99),
                percentile(s.impostor, 1.0));
    std::printf("  equal error rate %.2f %% (at score %d)\n", eer, at);
    if (s.refused == 0)
        return;
    // The same without the impressions the gate refused, which a person
    // would have pressed again.
    std::vector<Impression> accepted;
    std::copy_if(all.begin(), all.end(), std::back_inserter(accepted),
                 [](const Impression &i) { return i.accepted; });
    const Scores a = compareImpressions(module, accepted, allImpostors);
    std::printf("  without the refused: equal error rate %.2f %%, FNMR at %d = %.2f %%\n",
                equalErrorRate(a), kThreshold, falseNonMatchRate(a, kThreshold));
}

// Median and slowest of a series of times, in microseconds.
void times(const char *name, std::vector<double> us)
{
    std::sort(us.begin(), us.end());
    std::printf("  %-44s median %9.1f us, slowest %9.1f us (%zu runs)\n", name, us[us.size() / 2],
                us.back(), us.size());
}

template<typename Call> double timed(Call call)
{
    QElapsedTimer timer;
    timer.start();
    call();
    return double(timer.nsecsElapsed()) / 1000.0;
}

// Enrolls the autopilot's finger as the window does (two presses, merged,
// stored), then searches for it with further presses.
void autopilot(const ModuleSession &module, int fingers)
{
    int presses = 0;
    int passed = 0;
    int searches = 0;
    int found = 0;
    const int h = module.handle();
    auto press = [&](int finger, int buffer) {
        const int script[] = {0, finger};
        vyrsim_script(script, 2);
        VYRGetImage(h, kAddr);
        VYRGetImage(h, kAddr);
        ++presses;
        const bool ok = VYRGenChar(h, kAddr, buffer) == 0;
        passed += ok;
        return ok;
    };
    for (int finger = 1; finger <= fingers; ++finger) {
        bool enrolled = false;
        for (int attempt = 0; attempt < 20 && !enrolled; ++attempt) // as the window starts over
            enrolled = press(finger, 0) && press(finger, 1) && VYRRegModule(h, kAddr) == 0
                && VYRStoreChar(h, kAddr, 1, finger) == 0;
        for (int i = 0; i < 10; ++i) {
            if (!press(finger, 1))
                continue;
            int id = -1;
            int score = 0;
            ++searches;
            found += VYRSearch(h, kAddr, 1, 0, 1000, &id, &score) == 0 && id == finger;
        }
    }
    std::printf("autopilot fingers 1 to %d: %d presses, %.1f %% pass the quality gate; "
                "%d searches, %.1f %% find the finger\n",
                fingers, presses, 100.0 * passed / presses, searches,
                100.0 * found / std::max(1, searches));
}

void speed(const ModuleSession &module, const std::vector<Impression> &impressions)
{
    const int h = module.handle();
    std::printf("times, on this machine:\n");
    std::vector<double> extract;
    for (int i = 0; i < 300; ++i) {
        const int script[] = {0, 1 + i % 20};
        vyrsim_script(script, 2);
        VYRGetImage(h, kAddr);
        VYRGetImage(h, kAddr);
        extract.push_back(timed([&] { VYRGenChar(h, kAddr, 0); }));
    }
    times("feature extraction (VYRGenChar)", extract);

    std::vector<std::vector<unsigned char>> features;
    for (const Impression &i : impressions)
        if (i.accepted)
            features.push_back(i.feature);
    std::vector<double> match;
    for (std::size_t i = 0; i < 2000; ++i) {
        auto a = features[i % features.size()];
        auto b = features[(i * 7 + 3) % features.size()];
        VYRDownChar(h, kAddr, 0, a.data(), int(a.size()));
        VYRDownChar(h, kAddr, 1, b.data(), int(b.size()));
        int score = 0;
        match.push_back(timed([&] { VYRMatch(h, kAddr, &score); }));
    }
    times("one match (VYRMatch)", match);

    // Enrolled templates, as a store holds them: the first two presses of
    // each finger merged.
    std::vector<std::vector<unsigned char>> enrolled;
    for (std::size_t i = 0; i + 1 < impressions.size(); ++i) {
        auto a = impressions[i].feature;
        auto b = impressions[i + 1].feature;
        if (impressions[i].press != 1 || !impressions[i].accepted || !impressions[i + 1].accepted)
            continue;
        VYRDownChar(h, kAddr, 0, a.data(), int(a.size()));
        VYRDownChar(h, kAddr, 1, b.data(), int(b.size()));
        std::vector<unsigned char> merged(512);
        int length = 0;
        if (VYRRegModule(h, kAddr) == 0 && VYRUpChar(h, kAddr, 0, merged.data(), &length) == 0)
            enrolled.push_back(merged);
    }
    // The store filled with 1,000 of them; its heap counted. The control
    // calls fill it without a trace in the call log, which would count too.
    vyrsim_store_clear();
    const std::size_t before = mallinfo2().uordblks;
    for (int id = 0; id < 1000; ++id) {
        const auto &t = enrolled[std::size_t(id) % enrolled.size()];
        vyrsim_store_import(id, t.data(), int(t.size()));
    }
    const std::size_t after = mallinfo2().uordblks;
    std::vector<double> search;
    for (std::size_t i = 0; i < 60; ++i) {
        auto probe = features[(i * 13 + 5) % features.size()];
        VYRDownChar(h, kAddr, 1, probe.data(), int(probe.size()));
        int id = 0;
        int score = 0;
        search.push_back(timed([&] { VYRSearch(h, kAddr, 1, 0, 1000, &id, &score); }));
    }
    times("search over 1,000 enrolled templates", search);
    std::printf("  store of 1,000 enrolled templates: %.0f kB of heap\n",
                double(after - before) / 1024.0);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("VYRSIM_STORE", "none");
    qputenv("VYRSIM_CONTROL", "0");
    QGuiApplication app(argc, argv);
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({"fingers", "Synthetic fingers (default 100).", "N", "100"});
    parser.addOption({"prints", "Folder of folders of real prints.", "DIR",
                      QStringLiteral(FPDESK_SOURCE_DIR "/../shared/prints")});
    parser.process(app);

    const ModuleSession module;
    const int fingers = parser.value("fingers").toInt();
    const std::vector<Impression> synthetic = syntheticImpressions(module, fingers, 8);
    report("synthetic population, 8 presses a finger", module, synthetic, false);
    autopilot(module, std::min(fingers, 50));

    const QDir prints(parser.value("prints"));
    for (const QString &set : prints.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const std::vector<Impression> real = imageImpressions(module, prints.filePath(set));
        if (!real.empty())
            report(qPrintable("real prints, " + set), module, real, true);
    }
    speed(module, synthetic);
    return 0;
}

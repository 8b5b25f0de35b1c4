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

// One set's presses and scores, as the module judged them.
struct Set
{
    QString name;
    std::vector<Impression> impressions;
    Scores scores;
};

// What a set shows at a threshold: the row of the figures table.
struct Row
{
    double refused = 0;
    double eer = 0;
    double fnmr = 0;
    double fmr = 0;
    double fnmrAtFmr1000 = 0;
};

Row rowOf(const Set &set, int threshold)
{
    Row row;
    row.refused
        = 100.0 * set.scores.refused / double(std::max<std::size_t>(1, set.impressions.size()));
    row.eer = equalErrorRate(set.scores);
    row.fnmr = falseNonMatchRate(set.scores, threshold);
    row.fmr = falseMatchRate(set.scores, threshold);
    row.fnmrAtFmr1000 = falseNonMatchAtFalseMatch(set.scores, 0.1);
    return row;
}

void report(const Set &set)
{
    const Scores &s = set.scores;
    int at = 0;
    const double eer = equalErrorRate(s, &at);
    int at1000 = 0;
    const double fnmr1000 = falseNonMatchAtFalseMatch(s, 0.1, &at1000);
    std::printf("%s: %zu presses, %d refused by the quality gate (%.1f %%)\n", qPrintable(set.name),
                set.impressions.size(), s.refused,
                100.0 * s.refused / double(std::max<std::size_t>(1, set.impressions.size())));
    std::printf(
        "  genuine pairs %zu: FNMR at %d = %.2f %%; scores p1 %d, p5 %d, p25 %d, median %d, "
        "p95 %d\n",
        s.genuine.size(), kThreshold, falseNonMatchRate(s, kThreshold), percentile(s.genuine, 0.01),
        percentile(s.genuine, 0.05), percentile(s.genuine, 0.25), percentile(s.genuine, 0.5),
        percentile(s.genuine, 0.95));
    std::printf("  impostor pairs %zu: FMR at %d = %.3f %%; scores median %d, p99 %d, p99.9 %d, "
                "highest %d\n",
                s.impostor.size(), kThreshold, falseMatchRate(s, kThreshold),
                percentile(s.impostor, 0.5), percentile(s.impostor, 0.99),
                percentile(s.impostor, 0.999), percentile(s.impostor, 1.0));
    std::printf("  equal error rate %.2f %% (at score %d); FNMR at FMR 1/1000 = %.2f %% (from "
                "score %d)\n",
                eer, at, fnmr1000, at1000);
}

// The lowest score that keeps impostors of real prints within 1 in 10,000
// and leaves every synthetic impostor below it: how the threshold would be
// set from these impostors alone.
int thresholdFrom(const std::vector<int> &real, const std::vector<int> &synthetic)
{
    Scores pooled;
    pooled.impostor = real;
    int t = 0;
    falseNonMatchAtFalseMatch(pooled, 0.01, &t);
    for (int score : synthetic)
        t = std::max(t, score + 1);
    return t;
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
    // A buffer's template is made ready for matching as it is written, so
    // that is timed too.
    std::vector<double> load;
    std::vector<double> match;
    for (std::size_t i = 0; i < 2000; ++i) {
        auto a = features[i % features.size()];
        auto b = features[(i * 7 + 3) % features.size()];
        load.push_back(timed([&] { VYRDownChar(h, kAddr, 0, a.data(), int(a.size())); }));
        load.push_back(timed([&] { VYRDownChar(h, kAddr, 1, b.data(), int(b.size())); }));
        int score = 0;
        match.push_back(timed([&] { VYRMatch(h, kAddr, &score); }));
    }
    times("one match (VYRMatch)", match);
    times("a template into a buffer (VYRDownChar)", load);

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

// The table of every real set, the real impostors pooled (prints of two
// sets are different fingers, so every cross-set pair counts too), and each
// set once more at the threshold the other sets and the synthetic fingers
// would have chosen without it.
void realFigures(const ModuleSession &module, const std::vector<Set> &real, const Set &synthetic)
{
    const std::size_t n = real.size();
    std::vector<std::vector<std::vector<int>>> cross(n, std::vector<std::vector<int>>(n));
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = i + 1; j < n; ++j)
            cross[i][j] = crossImpostors(module, real[i].impressions, real[j].impressions);
    // Impostor scores of every set but `out` (none left out when out >= n).
    auto pooled = [&](std::size_t out) {
        std::vector<int> all;
        for (std::size_t i = 0; i < n; ++i) {
            if (i == out)
                continue;
            all.insert(all.end(), real[i].scores.impostor.begin(), real[i].scores.impostor.end());
            for (std::size_t j = i + 1; j < n; ++j)
                if (j != out)
                    all.insert(all.end(), cross[i][j].begin(), cross[i][j].end());
        }
        return all;
    };

    const std::vector<int> all = pooled(n);
    const auto above = std::count_if(all.begin(), all.end(), [](int s) { return s >= kThreshold; });
    std::printf(
        "pooled real impostors: %zu pairs (%zu of them across sets), %ld at or above %d "
        "(FMR %.4f %%); scores p99 %d, p99.9 %d, p99.99 %d, highest %d; 1 in 10,000 "
        "and no synthetic impostor from score %d\n",
        all.size(),
        all.size() -
            [&] {
                std::size_t within = 0;
                for (const Set &set : real)
                    within += set.scores.impostor.size();
                return within;
            }(),
        long(above), kThreshold,
        100.0 * double(above) / double(std::max<std::size_t>(1, all.size())), percentile(all, 0.99),
        percentile(all, 0.999), percentile(all, 0.9999), percentile(all, 1.0),
        thresholdFrom(all, synthetic.scores.impostor));

    std::printf(
        "\n| set | presses | refused | EER | FNMR at %d | FMR at %d | FNMR at FMR 1/1000 |\n"
        "|---|---|---|---|---|---|---|\n",
        kThreshold, kThreshold);
    double eers = 0;
    for (const Set &set : real) {
        const Row r = rowOf(set, kThreshold);
        eers += r.eer;
        std::printf("| %s | %zu | %.1f %% | %.2f %% | %.1f %% | %.3f %% | %.1f %% |\n",
                    qPrintable(set.name), set.impressions.size(), r.refused, r.eer, r.fnmr, r.fmr,
                    r.fnmrAtFmr1000);
    }
    std::printf("mean EER over %zu real sets: %.2f %%\n", n, eers / double(n));

    std::printf("\nleave one set out: the threshold set without the set's own prints (from the "
                "other real sets' impostors and the synthetic ones)\n"
                "| set left out | threshold from the others | refused | EER | FNMR there | FMR "
                "there | FNMR at FMR 1/1000 |\n|---|---|---|---|---|---|---|\n");
    for (std::size_t out = 0; out < n; ++out) {
        const int t = thresholdFrom(pooled(out), synthetic.scores.impostor);
        const Row r = rowOf(real[out], t);
        std::printf("| %s | %d | %.1f %% | %.2f %% | %.1f %% | %.3f %% | %.1f %% |\n",
                    qPrintable(real[out].name), t, r.refused, r.eer, r.fnmr, r.fmr,
                    r.fnmrAtFmr1000);
    }
    std::printf("\n");
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
    parser.addOption({"fingers", "Synthetic fingers, at least 2 (default 100).", "N", "100"});
    parser.addOption({"prints", "Folder of folders of real prints.", "DIR",
                      QStringLiteral(FPDESK_SOURCE_DIR "/../shared/prints")});
    parser.process(app);

    bool number = false;
    const int fingers = parser.value("fingers").toInt(&number);
    if (!number || fingers < 2) {
        std::fprintf(stderr,
                     "bench_matcher: --fingers needs a whole number of at least 2, not '%s'\n",
                     qPrintable(parser.value("fingers")));
        return 2;
    }
    const QDir prints(parser.value("prints"));
    if (parser.isSet("prints") && !prints.exists()) {
        std::fprintf(stderr, "bench_matcher: --prints: no folder '%s'\n",
                     qPrintable(parser.value("prints")));
        return 2;
    }

    const ModuleSession module;
    Set synthetic {QStringLiteral("synthetic population, 8 presses a finger"),
                   syntheticImpressions(module, fingers, 8),
                   {}};
    synthetic.scores = compareImpressions(module, synthetic.impressions, false);
    report(synthetic);
    autopilot(module, std::min(fingers, 50));

    std::vector<Set> real;
    if (!prints.exists())
        std::printf("no real prints: %s is not there\n", qPrintable(prints.path()));
    for (const QString &name : prints.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        Set set {name, imageImpressions(module, prints.filePath(name)), {}};
        if (set.impressions.empty())
            continue;
        set.scores = compareImpressions(module, set.impressions, true);
        report(set);
        real.push_back(std::move(set));
    }
    if (!real.empty())
        realFigures(module, real, synthetic);
    speed(module, synthetic.impressions);
    return 0;
}

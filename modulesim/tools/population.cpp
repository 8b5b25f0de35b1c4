#include "population.h"

#include "vyr_api.h"
#include "vyrsim.h"

#include <QDir>
#include <QHash>
#include <QImage>

#include <algorithm>
#include <functional>

namespace {

constexpr int kAddr = -1;

Impression judge(const ModuleSession &module, int finger, int press)
{
    Impression impression {finger, press, false, {}};
    VYRGetImage(module.handle(), kAddr);
    if (VYRGenChar(module.handle(), kAddr, 0) != 0)
        return impression;
    impression.feature.resize(512);
    int length = 0;
    impression.accepted
        = VYRUpChar(module.handle(), kAddr, 0, impression.feature.data(), &length) == 0;
    return impression;
}

} // namespace

std::vector<unsigned char> greyPixels(const QImage &picture)
{
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    std::vector<unsigned char> pixels(std::size_t(grey.width()) * std::size_t(grey.height()));
    for (int y = 0; y < grey.height(); ++y)
        std::copy_n(grey.constScanLine(y), grey.width(), pixels.begin() + long(y) * grey.width());
    return pixels;
}

ModuleSession::ModuleSession()
{
    vyrsim_reset();
    VYROpenDeviceEx(&m_handle, 2, nullptr, 2, 0);
}

ModuleSession::~ModuleSession()
{
    VYRCloseDeviceEx(m_handle);
}

std::vector<Impression> syntheticImpressions(const ModuleSession &module, int fingers, int presses)
{
    std::vector<Impression> all;
    for (int finger = 1; finger <= fingers; ++finger) {
        for (int press = 1; press <= presses; ++press) {
            // Lifted, then put down again: a new press, landing its own way.
            const int script[] = {0, finger};
            vyrsim_script(script, 2);
            VYRGetImage(module.handle(), kAddr);
            all.push_back(judge(module, finger, press));
        }
    }
    vyrsim_set_finger(0);
    return all;
}

std::vector<Impression> imageImpressions(const ModuleSession &module, const QString &folder)
{
    std::vector<Impression> all;
    const QDir dir(folder);
    // A finger's name may hold underscores of its own: only the last one
    // parts it from the press.
    QHash<QString, int> fingers;
    for (const QString &name : dir.entryList({"*_*.png"}, QDir::Files, QDir::Name)) {
        const QImage image(dir.filePath(name));
        if (image.isNull())
            continue;
        vyrsim_place_image(greyPixels(image).data(), image.width(), image.height());
        const QString stem = name.section('.', 0, -2);
        const QString finger = stem.section('_', 0, -2);
        const int number = fingers.value(finger, int(fingers.size()) + 1);
        fingers.insert(finger, number);
        all.push_back(judge(module, number, stem.section('_', -1).toInt()));
    }
    vyrsim_set_finger(0);
    return all;
}

Scores compareImpressions(const ModuleSession &module, const std::vector<Impression> &all,
                          bool allImpostors)
{
    Scores scores;
    for (const Impression &i : all)
        scores.refused += !i.accepted;
    for (std::size_t a = 0; a < all.size(); ++a) {
        for (std::size_t b = a + 1; b < all.size(); ++b) {
            const bool genuine = all[a].finger == all[b].finger;
            if (!genuine && !allImpostors && (all[a].press != 1 || all[b].press != 1))
                continue;
            int score = 0;
            if (all[a].accepted && all[b].accepted) {
                auto a0 = all[a].feature;
                auto b1 = all[b].feature;
                VYRDownChar(module.handle(), kAddr, 0, a0.data(), int(a0.size()));
                VYRDownChar(module.handle(), kAddr, 1, b1.data(), int(b1.size()));
                VYRMatch(module.handle(), kAddr, &score);
            }
            (genuine ? scores.genuine : scores.impostor).push_back(score);
        }
    }
    return scores;
}

std::vector<int> crossImpostors(const ModuleSession &module, const std::vector<Impression> &a,
                                const std::vector<Impression> &b)
{
    std::vector<int> scores;
    scores.reserve(a.size() * b.size());
    for (const Impression &i : a) {
        for (const Impression &j : b) {
            int score = 0;
            if (i.accepted && j.accepted) {
                auto first = i.feature;
                auto second = j.feature;
                VYRDownChar(module.handle(), kAddr, 0, first.data(), int(first.size()));
                VYRDownChar(module.handle(), kAddr, 1, second.data(), int(second.size()));
                VYRMatch(module.handle(), kAddr, &score);
            }
            scores.push_back(score);
        }
    }
    return scores;
}

double falseMatchRate(const Scores &scores, int threshold)
{
    const auto n = std::count_if(scores.impostor.begin(), scores.impostor.end(),
                                 [&](int s) { return s >= threshold; });
    return 100.0 * double(n) / double(std::max<std::size_t>(1, scores.impostor.size()));
}

double falseNonMatchRate(const Scores &scores, int threshold)
{
    const auto n = std::count_if(scores.genuine.begin(), scores.genuine.end(),
                                 [&](int s) { return s < threshold; });
    return 100.0 * double(n) / double(std::max<std::size_t>(1, scores.genuine.size()));
}

double equalErrorRate(const Scores &scores, int *threshold)
{
    const int top = std::max(*std::max_element(scores.genuine.begin(), scores.genuine.end()),
                             *std::max_element(scores.impostor.begin(), scores.impostor.end()));
    double best = 100;
    for (int t = 0; t <= top + 1; ++t) {
        const double worse = std::max(falseMatchRate(scores, t), falseNonMatchRate(scores, t));
        if (worse < best) {
            best = worse;
            if (threshold)
                *threshold = t;
        }
    }
    return best;
}

double falseNonMatchAtFalseMatch(const Scores &scores, double falseMatchPercent, int *threshold)
{
    // The lowest threshold that keeps the false matches within the rate.
    std::vector<int> impostor = scores.impostor;
    std::sort(impostor.begin(), impostor.end(), std::greater<int>());
    const auto allowed = std::size_t(falseMatchPercent / 100.0 * double(impostor.size()));
    const int t = allowed < impostor.size() ? impostor[allowed] + 1 : 0;
    if (threshold)
        *threshold = t;
    return falseNonMatchRate(scores, t);
}

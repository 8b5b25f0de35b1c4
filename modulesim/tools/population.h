#ifndef POPULATION_H
#define POPULATION_H

// Fingers pressed on the simulated module and judged by it, through its own
// entry points, for measuring how well it tells fingers apart. Shared by
// the score picture and the matcher benchmark.

#include <QImage>
#include <QString>

#include <vector>

struct Impression
{
    int finger = 0;
    int press = 0;
    bool accepted = false; // passed the quality gate
    std::vector<unsigned char> feature; // the template bytes, when accepted
};

struct Scores
{
    std::vector<int> genuine; // every pair of presses of one finger
    std::vector<int> impostor; // pairs of different fingers
    int refused = 0; // impressions the quality gate refused
};

// Opens the module for the population's calls; closes it when done.
class ModuleSession
{
public:
    ModuleSession();
    ~ModuleSession();
    ModuleSession(const ModuleSession &) = delete;
    ModuleSession &operator=(const ModuleSession &) = delete;

    int handle() const { return m_handle; }

private:
    int m_handle = 0;
};

// `presses` separate presses of each of `fingers` synthetic fingers, each
// made into a feature by VYRGenChar.
std::vector<Impression> syntheticImpressions(const ModuleSession &module, int fingers, int presses);

// A picture's pixels as grey bytes, rows top first, without padding.
std::vector<unsigned char> greyPixels(const QImage &picture);

// Every "<finger>_<press>.png" of a folder, placed on the sensor; fingers are
// numbered from 1 in the order of their names.
std::vector<Impression> imageImpressions(const ModuleSession &module, const QString &folder);

// Scores of VYRMatch. Impostor pairs are the first presses of every two
// fingers, or every pair of different fingers when `allImpostors`. A
// refused impression scores 0 against everything.
Scores compareImpressions(const ModuleSession &module, const std::vector<Impression> &all,
                          bool allImpostors);

// Scores of every impression of `a` against every one of `b`: prints of two
// different sets are different fingers.
std::vector<int> crossImpostors(const ModuleSession &module, const std::vector<Impression> &a,
                                const std::vector<Impression> &b);

// The rates at a threshold, and the equal error rate, all in percent.
double falseMatchRate(const Scores &scores, int threshold);
double falseNonMatchRate(const Scores &scores, int threshold);
double equalErrorRate(const Scores &scores, int *threshold = nullptr);
// The false non-match rate at the lowest threshold whose false match rate
// is at most the one given.
double falseNonMatchAtFalseMatch(const Scores &scores, double falseMatchPercent,
                                 int *threshold = nullptr);

#endif // POPULATION_H

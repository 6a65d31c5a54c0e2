#include "platform/ocr/ocr_ctc.h"

#include <algorithm>
#include <fstream>

std::vector<std::string> loadOcrKeys(const std::string &keyFile, bool *ok)
{
    std::vector<std::string> alphabet{std::string()};
    std::ifstream in(keyFile);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        alphabet.push_back(line);
    }
    const bool read = alphabet.size() > 1;
    alphabet.emplace_back(" ");
    if (ok)
        *ok = read;
    return alphabet;
}

std::vector<bool> ctcAllowedEntries(const std::vector<std::string> &alphabet, const std::string &chars)
{
    std::vector<bool> allowed(alphabet.size(), false);
    for (std::size_t i = 1; i < alphabet.size(); ++i)
        allowed[i] = alphabet[i].size() == 1 && chars.find(alphabet[i][0]) != std::string::npos;
    return allowed;
}

CtcText ctcGreedyDecode(const float *scores, int steps, int classes, const std::vector<std::string> &alphabet,
                        const std::vector<bool> *allowed)
{
    CtcText result;
    const int known = std::min(classes, int(alphabet.size()));
    auto isAllowed = [allowed](int c) { return std::size_t(c) < allowed->size() && (*allowed)[std::size_t(c)]; };
    int previous = 0;
    for (int t = 0; t < steps; ++t) {
        const float *row = scores + std::size_t(t) * std::size_t(classes);
        int best = 0;
        for (int c = 1; c < classes; ++c) {
            if (row[c] > row[best])
                best = c;
        }
        if (allowed && best > 0 && best < known && !isAllowed(best)) {
            int kept = 0;
            for (int c = 1; c < known; ++c) {
                if (isAllowed(c) && (kept == 0 || row[c] > row[kept]))
                    kept = c;
            }
            best = kept;
        }
        if (best > 0 && best != previous && best < known) {
            result.text += alphabet[std::size_t(best)];
            result.charScores.push_back(row[best]);
        }
        previous = best;
    }
    return result;
}

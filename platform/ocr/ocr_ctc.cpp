#include "platform/ocr/ocr_ctc.h"

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

CtcText ctcGreedyDecode(const float *scores, int steps, int classes, const std::vector<std::string> &alphabet)
{
    CtcText result;
    int previous = 0;
    for (int t = 0; t < steps; ++t) {
        const float *row = scores + std::size_t(t) * std::size_t(classes);
        int best = 0;
        for (int c = 1; c < classes; ++c) {
            if (row[c] > row[best])
                best = c;
        }
        if (best > 0 && best != previous && std::size_t(best) < alphabet.size()) {
            result.text += alphabet[std::size_t(best)];
            result.charScores.push_back(row[best]);
        }
        previous = best;
    }
    return result;
}

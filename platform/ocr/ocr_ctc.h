#pragma once

#include <string>
#include <vector>

// The recogniser's alphabet: index 0 is the CTC blank, then the key list,
// then a space.
std::vector<std::string> loadOcrKeys(const std::string &keyFile, bool *ok = nullptr);

struct CtcText
{
    std::string text;
    std::vector<float> charScores;
};

// Greedy CTC: the best class of each of the steps rows (classes columns each),
// repeats merged, blanks dropped. Classes beyond the alphabet count as blank.
CtcText ctcGreedyDecode(const float *scores, int steps, int classes, const std::vector<std::string> &alphabet);

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
// With allowed (one flag per alphabet entry), a step whose best class is a
// character takes the best allowed character instead, so a reading limited
// to those characters wins (the letter O of a code of digits becomes 0);
// whether a step holds a character at all stays the network's choice.
CtcText ctcGreedyDecode(const float *scores, int steps, int classes, const std::vector<std::string> &alphabet,
                        const std::vector<bool> *allowed = nullptr);
// The flags for ctcGreedyDecode: the entries that are one of chars.
std::vector<bool> ctcAllowedEntries(const std::vector<std::string> &alphabet, const std::string &chars);

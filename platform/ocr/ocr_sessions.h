#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The three PP-OCR networks on ONNX Runtime; the only place that knows the
// runtime. Built without it, nothing loads and every run fails.
class OcrSessions
{
public:
    enum Model { Detector, Classifier, Recogniser, ModelCount };

    OcrSessions();
    ~OcrSessions();

    static bool runtimeAvailable();

    // An empty classifier path leaves direction classification off.
    bool load(const std::string &det, const std::string &cls, const std::string &rec, int threads,
              std::string *error);
    bool loaded(Model model) const;

    // One float tensor in, the first output out.
    bool run(Model model, const std::vector<float> &input, const std::vector<std::int64_t> &shape,
             std::vector<float> *output, std::vector<std::int64_t> *outputShape, std::string *error);

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

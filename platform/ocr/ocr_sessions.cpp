#include "platform/ocr/ocr_sessions.h"

#ifdef SPOOLSMITH_HAVE_ONNXRUNTIME
#include <onnxruntime_cxx_api.h>

#include <array>

struct OcrSessions::Impl
{
    // Made by the first load: creating it costs some 20 ms, and the program
    // builds its idle engine before the window's first frame.
    std::unique_ptr<Ort::Env> env;
    std::array<std::unique_ptr<Ort::Session>, ModelCount> sessions;
    std::array<std::string, ModelCount> inputNames;
    std::array<std::string, ModelCount> outputNames;
};

OcrSessions::OcrSessions()
    : d(std::make_unique<Impl>())
{
}

OcrSessions::~OcrSessions() = default;

bool OcrSessions::runtimeAvailable()
{
    return true;
}

bool OcrSessions::load(const std::string &det, const std::string &cls, const std::string &rec, int threads,
                       std::string *error)
{
    const std::array<std::string, ModelCount> paths{det, cls, rec};
    std::array<std::unique_ptr<Ort::Session>, ModelCount> sessions;
    std::array<std::string, ModelCount> inputs, outputs;
    try {
        if (!d->env)
            d->env = std::make_unique<Ort::Env>(ORT_LOGGING_LEVEL_WARNING, "OcrLite");
        Ort::SessionOptions options;
        options.SetIntraOpNumThreads(threads > 0 ? threads : 1);
        options.SetGraphOptimizationLevel(GraphOptimizationLevel::ORT_ENABLE_ALL);
        Ort::AllocatorWithDefaultOptions allocator;
        for (int m = 0; m < ModelCount; ++m) {
            if (paths[m].empty())
                continue;
            sessions[m] = std::make_unique<Ort::Session>(*d->env, paths[m].c_str(), options);
            inputs[m] = sessions[m]->GetInputNameAllocated(0, allocator).get();
            outputs[m] = sessions[m]->GetOutputNameAllocated(0, allocator).get();
        }
    } catch (const std::exception &e) {
        if (error)
            *error = e.what();
        return false;
    }
    d->sessions = std::move(sessions);
    d->inputNames = inputs;
    d->outputNames = outputs;
    return true;
}

bool OcrSessions::loaded(Model model) const
{
    return d->sessions[model] != nullptr;
}

bool OcrSessions::run(Model model, const std::vector<float> &input, const std::vector<std::int64_t> &shape,
                      std::vector<float> *output, std::vector<std::int64_t> *outputShape, std::string *error)
{
    Ort::Session *session = d->sessions[model].get();
    if (!session) {
        if (error)
            *error = "model not loaded";
        return false;
    }
    try {
        const Ort::MemoryInfo memory = Ort::MemoryInfo::CreateCpu(OrtArenaAllocator, OrtMemTypeDefault);
        // The runtime only reads the input.
        Ort::Value tensor = Ort::Value::CreateTensor<float>(memory, const_cast<float *>(input.data()), input.size(),
                                                            shape.data(), shape.size());
        const char *inName = d->inputNames[model].c_str();
        const char *outName = d->outputNames[model].c_str();
        std::vector<Ort::Value> results = session->Run(Ort::RunOptions{nullptr}, &inName, &tensor, 1, &outName, 1);
        if (results.empty() || !results[0].IsTensor()) {
            if (error)
                *error = "no tensor output";
            return false;
        }
        const Ort::TensorTypeAndShapeInfo info = results[0].GetTensorTypeAndShapeInfo();
        *outputShape = info.GetShape();
        const float *data = results[0].GetTensorData<float>();
        output->assign(data, data + info.GetElementCount());
        return true;
    } catch (const std::exception &e) {
        if (error)
            *error = e.what();
        return false;
    }
}

#else

struct OcrSessions::Impl
{
};

OcrSessions::OcrSessions() = default;
OcrSessions::~OcrSessions() = default;

bool OcrSessions::runtimeAvailable()
{
    return false;
}

bool OcrSessions::load(const std::string &, const std::string &, const std::string &, int, std::string *error)
{
    if (error)
        *error = "built without ONNX Runtime (run scripts/install-ocr.sh and configure again)";
    return false;
}

bool OcrSessions::loaded(Model) const
{
    return false;
}

bool OcrSessions::run(Model, const std::vector<float> &, const std::vector<std::int64_t> &, std::vector<float> *,
                      std::vector<std::int64_t> *, std::string *error)
{
    if (error)
        *error = "built without ONNX Runtime";
    return false;
}

#endif

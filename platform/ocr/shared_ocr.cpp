#include "platform/ocr/shared_ocr.h"

#include "platform/ocr/ocr_lite.h"

#include <QDir>
#include <QFileInfo>

#include <map>
#include <mutex>

namespace sharedocr {

const char *const kDetModel = "ch_PP-OCRv3_det_infer.onnx";
const char *const kClsModel = "ch_ppocr_mobile_v2.0_cls_infer.onnx";
const char *const kRecModel = "ch_PP-OCRv3_rec_infer.onnx";
const char *const kKeys = "ppocr_keys_v1.txt";

namespace {

struct Entry
{
    std::once_flag loaded;
    std::shared_ptr<OcrLite> engine = std::make_shared<OcrLite>();
};

// Folders are kept for the process's life: an engine is small beside the
// networks it holds, and there is one folder in practice.
std::shared_ptr<Entry> entryOf(const std::string &folder)
{
    static std::mutex lock;
    static std::map<std::string, std::shared_ptr<Entry>> entries;
    const QFileInfo info(QString::fromStdString(folder));
    const QString key = info.exists() ? info.canonicalFilePath() : QDir::cleanPath(info.absoluteFilePath());
    std::lock_guard<std::mutex> guard(lock);
    std::shared_ptr<Entry> &entry = entries[key.toStdString()];
    if (!entry)
        entry = std::make_shared<Entry>();
    return entry;
}

} // namespace

std::shared_ptr<OcrLite> engine(const std::string &folder)
{
    const std::shared_ptr<Entry> entry = entryOf(folder);
    // The load runs once; the others wait here until it is done.
    std::call_once(entry->loaded, [&] {
        entry->engine->setNumThread(4);
        const std::string base = folder + "/";
        // A failed load is logged by the engine.
        entry->engine->initModels(base + kDetModel, base + kClsModel, base + kRecModel, base + kKeys);
    });
    return entry->engine;
}

} // namespace sharedocr

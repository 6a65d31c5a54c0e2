#pragma once

#include <memory>
#include <string>

class OcrLite;

// The OCR engines of the process: one per model folder, its networks loaded
// once, at the first call that needs them, and shared by every reader (the
// label detector, the page-code reader). The engine takes one picture at a
// time, so its readers are served in turn.
namespace sharedocr {

// The PP-OCR files a model folder holds.
extern const char *const kDetModel;
extern const char *const kClsModel;
extern const char *const kRecModel;
extern const char *const kKeys;

// The engine of folder with its models loaded, or tried once: a folder whose
// load failed is not tried again and its engine stays not ready. Callers
// that come during the load wait for it.
std::shared_ptr<OcrLite> engine(const std::string &folder);

} // namespace sharedocr

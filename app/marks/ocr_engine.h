#pragma once

#include <memory>

class OcrLite;

// The OCR engine that reads page codes printed as text: the models beside
// the program, loaded once at start-up.
class OcrEngine
{
public:
    OcrEngine();
    ~OcrEngine();

    // Loads the models; false (and a log line) when they are missing.
    bool init();
    OcrLite &lite() { return *m_ocr; }

private:
    std::unique_ptr<OcrLite> m_ocr;
};

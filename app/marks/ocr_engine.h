#pragma once

#include "vision/page_code_ocr.h"

#include <QImage>
#include <QList>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

class OcrLite;
class QObject;

// The OCR engine that reads page codes printed as text: the models beside
// the program, in the process's one engine for them (sharedocr). Start-up loads them on a worker thread once the window has
// drawn its first frame, so they never hold up the window; a read that comes
// sooner waits for them, bounded.
class OcrEngine
{
public:
    OcrEngine();
    // Waits for a load under way: the engine cannot be torn down under it.
    ~OcrEngine();

    // Loads the models now, or waits for the load under way; false (and a
    // log line) when they are missing.
    bool init();
    // Starts the load on the engine's own thread (once; later calls do nothing).
    void startLoading();
    // Starts the load after the first frame of the program's window, or
    // after fallbackMs when no frame comes; context owns the connections.
    void startAfterFirstFrame(QObject *context, int fallbackMs);
    // Starts the load if need be and waits at most bound for it; true when
    // the models are loaded.
    bool waitReady(std::chrono::milliseconds bound);
    // The text lines of a 24-bit BGR picture, the detector looking at it
    // reduced by detectorScale; none (and a log line) when the models are
    // not loaded within bound.
    QList<PageCodeLine> read(const QImage &bgr, std::chrono::milliseconds bound, double detectorScale = 1.0);
    // The shared engine once loaded; before that an idle one that is not ready.
    OcrLite &lite();

private:
    enum class State { Idle, Loading, Ready, Failed };
    bool load();
    void finish(bool ok);

    std::shared_ptr<OcrLite> m_ocr; // under m_lock
    std::mutex m_lock;
    std::condition_variable m_changed;
    State m_state = State::Idle;
    std::thread m_loader;
};

#include "platform/camera/mjpeg_recorder.h"

#include "platform/camera/mjpeg_plugin.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibrary>

#include <mutex>

namespace {

struct WriterModule
{
    SpoolsmithMjpegOpen open = nullptr;
    SpoolsmithMjpegWrite write = nullptr;
    SpoolsmithMjpegClose close = nullptr;
    std::string error;
};

// Beside the program first; the build's own copy serves test programs that
// live in another folder.
QStringList moduleCandidates()
{
    QStringList files;
    if (QCoreApplication::instance())
        files << QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(SPOOLSMITH_MJPEG_MODULE_NAME));
    files << QStringLiteral(SPOOLSMITH_MJPEG_MODULE_BUILT);
    return files;
}

// Loaded once and kept loaded: writers may be open until exit.
const WriterModule &writerModule()
{
    static WriterModule module;
    static std::once_flag once;
    std::call_once(once, [] {
        QStringList errors;
        for (const QString &file : moduleCandidates()) {
            if (!QLibrary::isLibrary(file) || !QDir().exists(file))
                continue;
            QLibrary library(file);
            if (!library.load()) {
                errors << library.errorString();
                continue;
            }
            module.open = reinterpret_cast<SpoolsmithMjpegOpen>(library.resolve("spoolsmith_mjpeg_open"));
            module.write = reinterpret_cast<SpoolsmithMjpegWrite>(library.resolve("spoolsmith_mjpeg_write"));
            module.close = reinterpret_cast<SpoolsmithMjpegClose>(library.resolve("spoolsmith_mjpeg_close"));
            if (module.open && module.write && module.close)
                return;
            errors << file + QStringLiteral(": entry points missing");
            module = WriterModule();
        }
        if (errors.isEmpty())
            errors << QStringLiteral(SPOOLSMITH_MJPEG_MODULE_NAME " not found");
        module.error = errors.join(QStringLiteral("; ")).toStdString();
    });
    return module;
}

} // namespace

bool MjpegRecorder::open(const std::string &path, double fps, cv::Size size, std::string *why)
{
    release();
    const WriterModule &module = writerModule();
    if (!module.open) {
        if (why)
            *why = module.error;
        return false;
    }
    m_writer = module.open(path.c_str(), fps, size.width, size.height);
    m_fps = fps;
    m_written = 0;
    if (!m_writer && why)
        *why = "cannot open " + path;
    return m_writer != nullptr;
}

void MjpegRecorder::write(const cv::Mat &bgr)
{
    if (!m_writer || bgr.type() != CV_8UC3)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (m_written == 0)
        m_start = now;
    // Slots begun by now: the first frame fills slot 1 at once.
    const double elapsed = std::chrono::duration<double>(now - m_start).count();
    const long long due = m_fps > 0.0 ? (long long)(elapsed * m_fps) + 1 : m_written + 1;
    for (; m_written < due; ++m_written)
        writerModule().write(m_writer, bgr.data, bgr.cols, bgr.rows, bgr.step);
}

void MjpegRecorder::release()
{
    if (m_writer)
        writerModule().close(m_writer);
    m_writer = nullptr;
}

#include <arv.h>

#include "platform/camera/hk_camera.h"

#include "platform/camera/camera_interfaces.h"
#include "platform/camera/mjpeg_recorder.h"
#include "platform/camera/pixel_convert.h"

#include <QDebug>

#include <opencv2/imgproc.hpp>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <exception>

namespace {

constexpr guint64 kGrabTimeoutUs = 1000 * 1000;
constexpr double kFrameRate = 20.0;
constexpr int kStreamBuffers = 4;
// Bad frames in a row that count as a failed stream (a lone one is noise).
constexpr int kFailedFramesToClose = 3;
// How often a camera closed after a failure is looked for.
constexpr qint64 kLostLookPeriodMs = 1000;
// Error code logged where the failure carries none of its own.
constexpr int kNoCode = -1;

QString hexCode(int code)
{
    return QStringLiteral("0x") + QString::number(uint(code), 16);
}

// Logs a failure with its code and clears the error.
void logFailure(const char *method, const char *message, GError **error)
{
    const int code = (error && *error) ? (*error)->code : kNoCode;
    const QString detail = (error && *error) ? QString::fromUtf8((*error)->message) : QString();
    qCritical().noquote() << method << message << hexCode(code) << detail;
    if (error)
        g_clear_error(error);
}

qint64 steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// When the frame was taken, microseconds since the epoch. A stream that
// stamps nothing, or on another clock (a day or more off), counts as now.
gint64 takenAt(ArvBuffer *buffer)
{
    constexpr gint64 kOtherClockUs = gint64(24) * 3600 * 1000 * 1000;
    const gint64 now = g_get_real_time();
    const gint64 stamped = gint64(arv_buffer_get_system_timestamp(buffer) / 1000);
    return std::llabs(now - stamped) < kOtherClockUs ? stamped : now;
}

// The newest frame taken at or after askedUs, waiting at most the grab
// time-out; older ones go back to the stream unread.
ArvBuffer *popFreshBuffer(ArvStream *stream, gint64 askedUs)
{
    const gint64 deadline = g_get_monotonic_time() + gint64(kGrabTimeoutUs);
    ArvBuffer *buffer = nullptr;
    while (!buffer) {
        const gint64 left = deadline - g_get_monotonic_time();
        if (left <= 0)
            return nullptr;
        buffer = arv_stream_timeout_pop_buffer(stream, guint64(left));
        if (!buffer)
            return nullptr;
        if (takenAt(buffer) < askedUs) {
            arv_stream_push_buffer(stream, buffer);
            buffer = nullptr;
        }
    }
    while (ArvBuffer *newer = arv_stream_try_pop_buffer(stream)) {
        arv_stream_push_buffer(stream, buffer);
        buffer = newer;
    }
    return buffer;
}

} // namespace

// One opened camera: its Aravis objects and, while recording, the writer.
struct CameraHandle
{
    std::string serial;
    ArvCamera *camera = nullptr;
    ArvStream *stream = nullptr;
    std::mutex grabLock; // the stream and the camera, between grabbing and closing
    int failedFrames = 0; // bad frames in a row, under grabLock
    std::mutex recordLock;
    MjpegRecorder writer;

    ~CameraHandle()
    {
        g_clear_object(&stream);
        g_clear_object(&camera);
    }
};

HKCamera *HKCamera::instance()
{
    static std::atomic<HKCamera *> s_instance{nullptr};
    static std::mutex s_lock;
    HKCamera *camera = s_instance.load(std::memory_order_acquire);
    if (!camera) {
        std::lock_guard<std::mutex> lock(s_lock);
        camera = s_instance.load(std::memory_order_relaxed);
        if (!camera) {
            camera = new HKCamera();
            s_instance.store(camera, std::memory_order_release);
        }
    }
    return camera;
}

HKCamera::HKCamera()
{
    searchCamera();
}

HKCamera::~HKCamera()
{
    closeAll();
}

void HKCamera::searchCamera()
{
    std::vector<std::string> serials;
    applyCameraInterfaces(CameraInterfaces::fromEnvironment());
    arv_update_device_list();
    const unsigned count = arv_get_n_devices();
    if (count == 0)
        qCritical() << "HKCamera::searchCamera" << "Find No Devices!";
    for (unsigned i = 0; i < count; ++i) {
        const char *model = arv_get_device_model(i);
        const char *serial = arv_get_device_serial_nbr(i);
        qInfo() << "HKCamera::searchCamera" << "Model Name:" << (model ? model : "");
        qInfo() << "HKCamera::searchCamera" << "Serial Number:" << (serial ? serial : "");
        if (serial && *serial)
            serials.emplace_back(serial);
    }
    std::lock_guard<std::mutex> lock(m_lock);
    m_serials = std::move(serials);
}

std::vector<std::string> HKCamera::serialList() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_serials;
}

QStringList HKCamera::serialNumbers() const
{
    QStringList result;
    for (const std::string &serial : serialList())
        result << QString::fromStdString(serial);
    return result;
}

bool HKCamera::findDevice(const char *method, const std::string &serial, std::string *deviceId)
{
    applyCameraInterfaces(CameraInterfaces::fromEnvironment());
    arv_update_device_list();
    const unsigned count = arv_get_n_devices();
    if (count == 0) {
        if (method)
            qCritical() << method << "Find No Devices!";
        return false;
    }
    for (unsigned i = 0; i < count; ++i) {
        const char *id = arv_get_device_id(i);
        const char *nbr = arv_get_device_serial_nbr(i);
        if (id && ((nbr && serial == nbr) || serial == id)) {
            *deviceId = id;
            return true;
        }
    }
    if (method)
        qCritical() << method << "no camera" << QString::fromStdString(serial);
    return false;
}

bool HKCamera::lostCameraFound(const std::string &serial)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        auto it = m_lost.find(serial);
        if (it == m_lost.end())
            return true;
        if (m_closing.count(serial) > 0)
            return false;
        const qint64 now = steadyMs();
        if (now - it->second < kLostLookPeriodMs)
            return false;
        it->second = now;
    }
    std::string deviceId;
    return findDevice(nullptr, serial, &deviceId);
}

void HKCamera::closeFailed(const std::shared_ptr<CameraHandle> &handle)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        auto it = m_handles.find(handle->serial);
        if (it == m_handles.end() || it->second != handle)
            return;
        m_handles.erase(it);
        m_lost[handle->serial] = steadyMs();
        m_closing.insert(handle->serial);
    }
    qCritical() << "HKCamera::getFrame" << QString::fromStdString(handle->serial)
                << "the stream failed, camera closed; it is opened again when found";
    m_closer.post([this, handle] {
        closeCamera(handle.get());
        std::lock_guard<std::mutex> lock(m_lock);
        m_closing.erase(m_closing.find(handle->serial));
    });
}

bool HKCamera::openCamera(const std::string &serial)
{
    if (isOpen(serial))
        return true;
    std::string deviceId;
    if (!findDevice("HKCamera::openCamera", serial, &deviceId))
        return false;

    auto handle = std::make_shared<CameraHandle>();
    handle->serial = serial;
    GError *error = nullptr;
    handle->camera = arv_camera_new(deviceId.c_str(), &error);
    if (!handle->camera) {
        logFailure("HKCamera::openCamera", "Create Handle fail! nRet:", &error);
        return false;
    }
    auto failed = [&](const char *message) {
        logFailure("HKCamera::openCamera", message, &error);
        closeCamera(handle.get());
        return false;
    };

    ArvDevice *device = arv_camera_get_device(handle->camera);
    if (arv_device_is_feature_available(device, "TriggerMode", nullptr)) {
        arv_device_set_string_feature_value(device, "TriggerMode", "Off", &error);
        if (error)
            return failed("Set Trigger Mode fail! nRet:");
    }
    arv_camera_set_acquisition_mode(handle->camera, ARV_ACQUISITION_MODE_CONTINUOUS, &error);
    if (error)
        return failed("Set Acquisition Mode fail! nRet:");
    if (arv_camera_is_frame_rate_available(handle->camera, nullptr)) {
        // Also switches the rate control on where the camera has one.
        arv_camera_set_frame_rate(handle->camera, kFrameRate, &error);
        if (error)
            return failed("Set Acquisition FrameRate fail! nRet:");
    } else {
        qCritical() << "HKCamera::openCamera" << "Acquisition Frame Rate Enable fail! nRet:" << hexCode(kNoCode);
    }

    handle->stream = arv_camera_create_stream(handle->camera, nullptr, nullptr, &error);
    if (!handle->stream)
        return failed("Start Grabbing fail!");
    const guint payload = arv_camera_get_payload(handle->camera, &error);
    if (error || payload == 0)
        return failed("Start Grabbing fail!");
    for (int i = 0; i < kStreamBuffers; ++i)
        arv_stream_push_buffer(handle->stream, arv_buffer_new(payload, nullptr));
    arv_camera_start_acquisition(handle->camera, &error);
    if (error)
        return failed("Start Grabbing fail!");

    bool wasLost = false;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        // Another thread may have opened the same camera meanwhile: keep one.
        if (m_handles.count(serial) == 0) {
            m_handles[serial] = handle;
            handle.reset();
            wasLost = m_lost.erase(serial) > 0;
        }
    }
    if (handle) {
        closeCamera(handle.get());
        return true;
    }
    qInfo() << "HKCamera::openCamera" << QString::fromStdString(serial) << (wasLost ? "found again, grabbing" : "grabbing");
    return true;
}

bool HKCamera::isOpen(const std::string &serial) const
{
    return handleFor(serial) != nullptr;
}

std::shared_ptr<CameraHandle> HKCamera::handleFor(const std::string &serial) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_handles.find(serial);
    return it == m_handles.end() ? nullptr : it->second;
}

cv::Mat HKCamera::getFrame(const std::string &serial, qint64 *takenUs)
{
    try {
        const gint64 askedUs = g_get_real_time();
        std::shared_ptr<CameraHandle> handle = handleFor(serial);
        if (!handle) {
            if (!lostCameraFound(serial) || !openCamera(serial))
                return cv::Mat();
            handle = handleFor(serial);
            if (!handle)
                return cv::Mat();
        }

        cv::Mat result;
        bool streamFailed = false;
        {
            std::lock_guard<std::mutex> grab(handle->grabLock);
            if (!handle->stream)
                return cv::Mat();
            ArvBuffer *buffer = popFreshBuffer(handle->stream, askedUs);
            if (!buffer) {
                qCritical() << "HKCamera::getFrame" << "Get Image fail! nRet" << hexCode(kNoCode);
                streamFailed = true;
            } else if (const ArvBufferStatus status = arv_buffer_get_status(buffer); status != ARV_BUFFER_STATUS_SUCCESS) {
                qCritical() << "HKCamera::getFrame" << "Get Image fail! nRet" << hexCode(int(status));
                streamFailed = ++handle->failedFrames >= kFailedFramesToClose;
            } else {
                handle->failedFrames = 0;
                size_t size = 0;
                const void *data = arv_buffer_get_image_data(buffer, &size);
                const ArvPixelFormat format = arv_buffer_get_image_pixel_format(buffer);
                if (format == ARV_PIXEL_FORMAT_RGB_8_PACKED || format == ARV_PIXEL_FORMAT_MONO_8)
                    qDebug() << "HKCamera::getFrame" << "Don't need to convert!";
                std::string why;
                result = convertToRgb8(data, size, arv_buffer_get_image_width(buffer),
                                       arv_buffer_get_image_height(buffer), format, &why);
                if (result.empty())
                    qCritical() << "HKCamera::getFrame" << "Convert Pixel Type fail! nRet" << hexCode(int(format))
                                << QString::fromStdString(why);
                else if (takenUs)
                    *takenUs = takenAt(buffer);
            }
            if (buffer)
                arv_stream_push_buffer(handle->stream, buffer);
        }
        if (streamFailed) {
            closeFailed(handle);
            return cv::Mat();
        }

        if (!result.empty()) {
            std::lock_guard<std::mutex> record(handle->recordLock);
            if (handle->writer.isOpened()) {
                cv::Mat bgr;
                cv::cvtColor(result, bgr, cv::COLOR_RGB2BGR);
                handle->writer.write(bgr);
            }
        }
        return result;
    } catch (const std::exception &e) {
        qCritical() << "HKCamera::getFrame" << e.what();
        return cv::Mat();
    }
}

bool HKCamera::startVideo(const std::string &serial, const std::string &path, double frameRate)
{
    std::shared_ptr<CameraHandle> handle = handleFor(serial);
    if (!handle) {
        qCritical() << "HKCamera::startVideo" << "no camera" << QString::fromStdString(serial);
        return false;
    }
    GError *error = nullptr;
    gint x = 0, y = 0, width = 0, height = 0;
    {
        std::lock_guard<std::mutex> grab(handle->grabLock);
        if (!handle->camera)
            return false;
        arv_camera_get_region(handle->camera, &x, &y, &width, &height, &error);
        if (error || width <= 0 || height <= 0) {
            logFailure("HKCamera::startVideo", "Get Width fail! nRet", &error);
            return false;
        }
    }
    double rate = frameRate;
    if (rate <= 0.0) {
        std::lock_guard<std::mutex> grab(handle->grabLock);
        rate = handle->camera ? arv_camera_get_frame_rate(handle->camera, &error) : 0.0;
        if (error) {
            logFailure("HKCamera::startVideo", "Get Resulting FrameRate fail! nRet", &error);
            return false;
        }
    }
    if (rate <= 0.0)
        rate = kFrameRate;

    std::lock_guard<std::mutex> record(handle->recordLock);
    std::string why;
    if (!handle->writer.open(path, rate, cv::Size(width, height), &why)) {
        qCritical() << "HKCamera::startVideo" << "MV_CC_StartRecord fail! nRet" << hexCode(kNoCode)
                    << QString::fromStdString(path) << QString::fromStdString(why);
        return false;
    }
    qInfo() << "HKCamera::startVideo" << QString::fromStdString(path) << width << height << rate;
    return true;
}

bool HKCamera::stopGrabbing(const std::string &serial)
{
    std::shared_ptr<CameraHandle> handle = handleFor(serial);
    if (!handle)
        return false;
    std::lock_guard<std::mutex> grab(handle->grabLock);
    if (!handle->camera)
        return false;
    GError *error = nullptr;
    arv_camera_stop_acquisition(handle->camera, &error);
    // Aravis's fake camera streams whatever the acquisition state: a region
    // larger than the stream's buffers breaks each frame it sends instead.
    if (!error && ARV_IS_FAKE_DEVICE(arv_camera_get_device(handle->camera))) {
        gint x = 0, y = 0, width = 0, height = 0;
        arv_camera_get_region(handle->camera, &x, &y, &width, &height, &error);
        if (!error)
            arv_camera_set_region(handle->camera, 0, 0, width * 2, height * 2, &error);
    }
    if (error) {
        logFailure("HKCamera::stopGrabbing", "Stop Grabbing fail! nRet", &error);
        return false;
    }
    return true;
}

void HKCamera::stopVideo(const std::string &serial)
{
    std::shared_ptr<CameraHandle> handle = handleFor(serial);
    if (!handle)
        return;
    std::lock_guard<std::mutex> record(handle->recordLock);
    if (handle->writer.isOpened())
        handle->writer.release();
}

bool HKCamera::closeCamera(CameraHandle *handle)
{
    if (!handle)
        return true;
    try {
        bool ok = true;
        {
            std::lock_guard<std::mutex> record(handle->recordLock);
            handle->writer.release();
        }
        std::lock_guard<std::mutex> grab(handle->grabLock);
        GError *error = nullptr;
        if (handle->camera) {
            arv_camera_stop_acquisition(handle->camera, &error);
            if (error) {
                logFailure("HKCamera::closeCamera", "Stop Grabbing fail! nRet", &error);
                ok = false;
            }
        }
        // Releasing the objects closes the device; the stream first, it
        // holds the device.
        g_clear_object(&handle->stream);
        g_clear_object(&handle->camera);
        return ok;
    } catch (const std::exception &e) {
        qCritical() << "HKCamera::closeCamera" << e.what();
        return false;
    }
}

void HKCamera::closeAll()
{
    std::map<std::string, std::shared_ptr<CameraHandle>> handles;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        handles.swap(m_handles);
    }
    for (auto &entry : handles)
        closeCamera(entry.second.get());
    m_closer.finish();
}

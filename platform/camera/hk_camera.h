#pragma once

#include <QStringList>

#include <opencv2/core.hpp>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct CameraHandle;

// The industrial check camera: enumerate, open by serial number, grab frames
// as 8-bit RGB, record to AVI. Runs on Aravis; the interfaces enumerated
// follow CameraInterfaces::fromEnvironment (no network discovery by default).
// Every failure is a false or empty result plus a critical log line
// "HKCamera::<method>" with the message and the error code in hexadecimal.
class HKCamera
{
public:
    // The process-wide camera set, created on first use.
    static HKCamera *instance();

    HKCamera(const HKCamera &) = delete;
    HKCamera &operator=(const HKCamera &) = delete;
    ~HKCamera();

    // Enumerates again and refills the serial list.
    void searchCamera();
    // The serial numbers found by the last search.
    std::vector<std::string> serialList() const;
    QStringList serialNumbers() const;

    // Opens the camera with this serial number (or Aravis device id) and
    // starts grabbing at 20 frames a second. An opened camera stays open.
    bool openCamera(const std::string &serial);
    bool isOpen(const std::string &serial) const;
    // One frame, waiting at most 1000 ms; opens the camera when needed.
    // Empty on any failure.
    cv::Mat getFrame(const std::string &serial);

    // Records the frames that getFrame grabs from an opened camera into an
    // AVI file (Motion JPEG) until stopVideo.
    bool startVideo(const std::string &serial, const std::string &path);
    void stopVideo(const std::string &serial);

    // Stops grabbing and releases one handle; a null handle is closed already.
    bool closeCamera(CameraHandle *handle);
    // Closes every open camera (shut-down).
    void closeAll();

private:
    HKCamera();
    std::shared_ptr<CameraHandle> handleFor(const std::string &serial) const;
    // Device id of the first device with this serial number (or id).
    bool findDevice(const char *method, const std::string &serial, std::string *deviceId);

    mutable std::mutex m_lock; // the serial list and the handle map
    std::vector<std::string> m_serials;
    std::map<std::string, std::shared_ptr<CameraHandle>> m_handles;
};

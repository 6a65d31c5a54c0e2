#pragma once

#include "platform/camera/camera_closer.h"

#include <QStringList>
#include <QtGlobal>

#include <opencv2/core.hpp>

#include <map>
#include <memory>
#include <mutex>
#include <set>
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
    // One frame taken after this call began, waiting at most 1000 ms (frames
    // queued before, e.g. while nobody grabbed, are dropped); opens the
    // camera when needed. *takenUs: when the frame was taken (microseconds
    // since the epoch). Empty on any failure. A camera whose stream failed
    // (no frame in the wait, or several bad frames in a row) is closed,
    // logged once, and opened again once it is found again by its serial
    // number (looked for at most once a second, quietly). The failed camera
    // is let go on a thread of its own: a camera that is gone takes seconds
    // to close, and the caller is not held for it.
    cv::Mat getFrame(const std::string &serial, qint64 *takenUs = nullptr);

    // Records the frames that getFrame grabs from an opened camera into an
    // AVI file (Motion JPEG) until stopVideo. The file plays at frameRate
    // (0: the camera's rate); frames are repeated or left out so that it
    // plays as long as it was recorded, whatever the rate getFrame is called.
    bool startVideo(const std::string &serial, const std::string &path, double frameRate = 0.0);
    void stopVideo(const std::string &serial);
    // Stops an opened camera sending frames and leaves it open, as an
    // unplugged camera; its next grab fails and closes it.
    bool stopGrabbing(const std::string &serial);

    // Stops grabbing and releases one handle; a null handle is closed already.
    bool closeCamera(CameraHandle *handle);
    // Closes every open camera and waits for those let go after a failure
    // (shut-down).
    void closeAll();

private:
    HKCamera();
    std::shared_ptr<CameraHandle> handleFor(const std::string &serial) const;
    // Device id of the first device with this serial number (or id);
    // method null: look without logging.
    bool findDevice(const char *method, const std::string &serial, std::string *deviceId);
    // A camera closed after its stream failed: whether to try opening it now.
    bool lostCameraFound(const std::string &serial);
    void closeFailed(const std::shared_ptr<CameraHandle> &handle);

    mutable std::mutex m_lock; // the serial list and the handle map
    std::vector<std::string> m_serials;
    std::map<std::string, std::shared_ptr<CameraHandle>> m_handles;
    // Cameras closed after their stream failed, with when they were last
    // looked for (steady clock, ms).
    std::map<std::string, qint64> m_lost;
    // Failed cameras still being let go: not looked for until they are,
    // so that a new handle never meets the old one's release.
    std::multiset<std::string> m_closing;
    CameraCloser m_closer;
};

#pragma once

#include <QImage>

#include <condition_variable>
#include <mutex>

// The capture hand-shake record of one camera: the requester holds mutex
// from before its request until it waits, the answering side sets done and
// wakes under the same mutex.
struct CaptureSync
{
    std::mutex mutex;
    std::condition_variable cond;
    bool done = false;
    // The request now waited for (0: none). A request travels to the camera
    // object as the token seq * kCaptureCameraSlots + camera and comes back
    // with the picture, so a picture that arrives after its request timed
    // out can never satisfy a later request.
    int pending = 0;
    int sequence = 0;
};

// Camera numbers 1..9 fit one token digit.
constexpr int kCaptureCameraSlots = 10;

inline int captureCameraOf(int token)
{
    return token > 0 ? token % kCaptureCameraSlots : 0;
}

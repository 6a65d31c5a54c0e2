#pragma once

#include <QImage>

#include <condition_variable>
#include <map>
#include <mutex>

// The capture hand-shake record of one camera: the requester holds mutex
// from before its request until it waits, the answering side records the
// answer and wakes under the same mutex.
struct CaptureSync
{
    enum class Answer { Waiting, Evaluated, NotEvaluated };

    std::mutex mutex;
    std::condition_variable cond;
    // Whether the picture of the last request that ended was evaluated.
    bool done = false;
    // The requests now waited for, each with its own answer. A request
    // travels to the camera object as the token seq * kCaptureCameraSlots +
    // camera and comes back with the picture, so a picture that arrives
    // after its request timed out can never satisfy a later request, and
    // requests that overlap never end one another's wait.
    std::map<int, Answer> pending;
    int sequence = 0;
};

// Camera numbers 1..9 fit one token digit.
constexpr int kCaptureCameraSlots = 10;

inline int captureCameraOf(int token)
{
    return token > 0 ? token % kCaptureCameraSlots : 0;
}

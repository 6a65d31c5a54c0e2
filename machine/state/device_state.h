#pragma once

#include "core/property_store.h"

#include <QColor>
#include <QPointF>
#include <QSizeF>
#include <QString>

#include <atomic>
#include <functional>
#include <mutex>
#include <utility>

// The values the driver publishes, one per property of the face.
enum class DeviceField {
    None, // a value without a change signal
    Ident,
    Ip,
    Linked,
    UpdateProgress,
    ErrorMessage,
    DevType,
    DevId,
    PcbId,
    PcbVer,
    Firmware,
    PrintRoller,
    FilmRoller,
    CollectRoller,
    Gyroscope,
    Pressure,
    Speed,
    Scalex,
    Scaley,
    Sensor1,
    Sensor2,
    Sensor3,
    Sensor4,
    Sensor5,
    Sensor6,
    Sensor7,
    CutModel,
    CutMotorStatus,
    MarkLight,
    CheckBackgroundLight,
    CheckLightStrip,
    RgbLightStrip,
    Polling,
    Conditions,
    UpdateFile,
    Index,
    Progress,
    FeedMotorRunning,
    FilmMotorRunning,
    CollectMotorRunning,
    TaskStatus,
};

class DeviceState;

// One value of the device state: read and written whole under the state's
// lock; a write that changes it reports its field after the lock is released.
template <typename T>
class StateValue
{
public:
    StateValue(DeviceState &state, DeviceField field, T initial = T())
        : m_state(state)
        , m_field(field)
        , m_value(std::move(initial))
    {
    }
    StateValue(const StateValue &) = delete;
    StateValue &operator=(const StateValue &) = delete;

    T get() const;
    bool set(const T &value);
    // Stores without reporting; the caller reports the field itself later.
    void setSilently(const T &value);
    // Runs change on the value under the lock; reports when it differs after.
    template <typename Change>
    bool update(Change &&change);
    // The value while the caller holds the state lock.
    const T &underLock() const { return m_value; }

private:
    DeviceState &m_state;
    const DeviceField m_field;
    T m_value;
};

// The driver's view of the machine: identity, readings, switches, the
// condition bits and the task status. Writers run on the GUI, receive, poll,
// collect and task threads.
class DeviceState
{
public:
    using Changed = std::function<void(DeviceField)>;
    using F = DeviceField;

    explicit DeviceState(Changed changed)
        : m_changed(std::move(changed))
    {
    }
    DeviceState(const DeviceState &) = delete;
    DeviceState &operator=(const DeviceState &) = delete;

    std::mutex &lock() const { return m_lock; }
    void notify(DeviceField field) const
    {
        if (field != DeviceField::None && m_changed)
            m_changed(field);
    }

    // --- Link and operator messages ---
    StateValue<QString> ident{*this, F::Ident};
    StateValue<QString> ip{*this, F::Ip};
    StateValue<bool> linked{*this, F::Linked};
    StateValue<float> updateProgress{*this, F::UpdateProgress, 0.0f};
    StateValue<QString> errorMessage{*this, F::ErrorMessage};

    // --- Identity and readings ---
    StateValue<QString> devType{*this, F::DevType};
    StateValue<QString> devId{*this, F::DevId};
    StateValue<QString> pcbId{*this, F::PcbId};
    StateValue<QString> pcbVer{*this, F::PcbVer};
    StateValue<QString> firmware{*this, F::Firmware};
    StateValue<double> printRoller{*this, F::PrintRoller, 0.0};
    StateValue<double> filmRoller{*this, F::FilmRoller, 0.0};
    StateValue<double> collectRoller{*this, F::CollectRoller, 0.0};
    StateValue<double> gyroscope{*this, F::Gyroscope, 0.0};
    StateValue<int> pressure{*this, F::Pressure, 100};
    StateValue<int> speed{*this, F::Speed, 10};
    StateValue<double> scalex{*this, F::Scalex, 1.0};
    StateValue<double> scaley{*this, F::Scaley, 1.0};
    StateValue<bool> sensors[7]{{*this, F::Sensor1}, {*this, F::Sensor2}, {*this, F::Sensor3}, {*this, F::Sensor4},
                                {*this, F::Sensor5}, {*this, F::Sensor6}, {*this, F::Sensor7}};
    StateValue<int> cutModel{*this, F::CutModel, 0};
    StateValue<int> markLight{*this, F::MarkLight, 0};
    StateValue<int> checkBackgroundLight{*this, F::CheckBackgroundLight, 0};
    StateValue<int> checkLightStrip{*this, F::CheckLightStrip, 0};
    StateValue<QColor> rgbLightStrip{*this, F::RgbLightStrip};
    StateValue<QPointF> devicePosition{*this, F::None};
    StateValue<QPointF> origin{*this, F::None};
    StateValue<QSizeF> workArea{*this, F::None};
    StateValue<double> rectifyLength{*this, F::None, 0.0};

    // --- Conditions: the bits and the axis-limit text of the banner ---
    StateValue<qulonglong> conditions{*this, F::Conditions, 0};
    StateValue<QString> limitText{*this, F::None};

    // --- Firmware upload form ---
    StateValue<QString> updateFile{*this, F::UpdateFile};
    StateValue<int> index{*this, F::Index, 2};
    StateValue<QString> progress{*this, F::Progress, QStringLiteral("0")};

    // --- Motion ---
    StateValue<int> cutMotorStatus{*this, F::CutMotorStatus, 0};
    StateValue<bool> feedMotorRunning{*this, F::FeedMotorRunning, false};
    StateValue<bool> filmMotorRunning{*this, F::FilmMotorRunning, false};
    StateValue<bool> collectMotorRunning{*this, F::CollectMotorRunning, false};
    // Plot data sent and the cutter not yet idle since.
    std::atomic<bool> plotting{false};
    std::atomic<int> feedDirection{0};
    std::atomic<int> pressureTestCount{0};
    std::atomic<int> collectMotorState{0};
    std::atomic<int> rectifyMotorState{0};
    std::atomic<int> trimXMotorState{0};
    std::atomic<int> trimYMotorState{0};

    // --- Task ---
    StateValue<bool> polling{*this, F::Polling, true};
    // 0 paused, 1 running, 2 stopped.
    StateValue<int> taskStatus{*this, F::TaskStatus, 2};

    // The cut motor status; the cutter going idle ends the plot sent last.
    void setCutMotorStatus(int status)
    {
        cutMotorStatus.update([this, status](int &v) {
            if (v != status && status == 0)
                plotting.store(false);
            v = status;
        });
    }

    // Both parts of the banner read in one step.
    std::pair<qulonglong, QString> conditionsWithLimit() const
    {
        std::lock_guard<std::mutex> guard(m_lock);
        return {conditions.underLock(), limitText.underLock()};
    }

private:
    mutable std::mutex m_lock;
    Changed m_changed;
};

template <typename T>
void StateValue<T>::setSilently(const T &value)
{
    std::lock_guard<std::mutex> guard(m_state.lock());
    m_value = value;
}

template <typename T>
T StateValue<T>::get() const
{
    std::lock_guard<std::mutex> guard(m_state.lock());
    return m_value;
}

template <typename T>
bool StateValue<T>::set(const T &value)
{
    return spoolsmith::storeAndNotify(m_state.lock(), m_value, value, [this] { m_state.notify(m_field); });
}

template <typename T>
template <typename Change>
bool StateValue<T>::update(Change &&change)
{
    {
        std::lock_guard<std::mutex> guard(m_state.lock());
        T next = m_value;
        change(next);
        if (spoolsmith::sameValue(next, m_value))
            return false;
        m_value = std::move(next);
    }
    m_state.notify(m_field);
    return true;
}

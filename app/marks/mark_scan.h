#pragma once

#include "app/app_services.h"
#include "settings/db_records.h"
#include "vision/film_slot.h"
#include "vision/mark_record.h"
#include "vision/page_code_ocr.h"

#include <QImage>
#include <QList>
#include <QObject>
#include <QPointF>
#include <QRect>
#include <QString>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class QrPageCodeReader;

// A text block of the OCR engine: its text, score and corner points.
using OcrTextBlock = PageCodeLine;

// The mark scan of every mark-camera picture, page-code reading and the film
// slots the film view paints. Scans run on the GUI thread; the job threads
// read the last mark and set the mark index.
class MarkScan : public QObject
{
    Q_OBJECT

public:
    struct Hooks
    {
        // The application's task status (1: a job runs).
        std::function<int()> taskStatus;
        // A page code accepted during the page-code search.
        std::function<void(quint32)> setPageCode;
    };
    // How long a page-code read waits for the OCR models at most.
    static constexpr int kOcrReadyWaitMs = 3000;

    MarkScan(AppServices services, Hooks hooks, QObject *parent = nullptr);
    ~MarkScan() override;

    void scanMark(const QImage &img);
    // The scans counted since the last write, taken (any thread): each one
    // was a settings sync and a statistics row update of its own, on the GUI
    // thread, several per page. A finished copy writes them with its own
    // counts; a second without scans writes them by themselves.
    WorkDataRecord takeScanCounts();
    void flushScanCounts();
    void scanQR(const QImage &img, FilmSlot &slot);
    void scanOCR(const QImage &img, FilmSlot &slot);
    void clearFilm(int index);
    static void markedImage(QImage &img, int x, int y, int l, double scale);
    QList<FilmSlot> filmSlots() const;
    QPointF lastMarkPosition() const;
    float lastMarkDiameter() const;
    void resetLastMark();
    int markIndex() const { return m_markIndex.load(); }
    void setMarkIndex(int index) { m_markIndex.store(index); }
    // While on, the next scans read the page code until one is accepted.
    void setPageCodeSearch(bool on);
    bool pageCodeSearch() const { return m_pageCodeSearch.load(); }
    quint32 scannedPageCode() const { return m_scannedPageCode.load(); }
    // The cut page's mark type (-1 no mark item).
    void setCutMarkTypeReader(std::function<int()> reader);
    void setOcrReader(std::function<QList<OcrTextBlock>(const QImage &bgr, double detectorScale)> reader);

signals:
    void filmViewUpdate(const QRect &rect = QRect());
    void pageCodeScanned(quint32 code);

private:
    static constexpr int kCountFlushMs = 1000;
    void acceptPageCode(quint32 code);
    void countScan(bool ok);

    AppServices m_services;
    Hooks m_hooks;
    mutable std::mutex m_filmLock; // the slots and the last mark
    QList<FilmSlot> m_filmSlots;
    double m_lastMarkX = 0.0;
    double m_lastMarkY = 0.0;
    float m_lastMarkD = 0.0f;
    std::atomic<int> m_markIndex{0};
    std::atomic<bool> m_pageCodeSearch{false};
    std::atomic<quint32> m_scannedPageCode{0};
    std::atomic<quint32> m_pendingScans{0};
    std::atomic<quint32> m_pendingScansOk{0};
    QTimer m_countFlush;
    std::unique_ptr<QrPageCodeReader> m_qrReader;
    std::function<int()> m_cutMarkTypeReader;
    std::function<QList<OcrTextBlock>(const QImage &, double)> m_ocrReader;
};

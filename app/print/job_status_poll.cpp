#include "app/print/job_status_poll.h"

#include "platform/printing/print_spooler.h"

#include <QDebug>
#include <QElapsedTimer>

#include <thread>

namespace {

constexpr const char *kPrefix = "SpoolsmithApp::printPdf";

} // namespace

void JobStatusPoll::logStatus(unsigned int status)
{
    qDebug().noquote() << kPrefix << "JOB_INFO_2A Status" << QString::number(status, 16);
    // One line per set bit, in the order the operator's log has always had.
    if (status & 0x200)
        qCritical() << kPrefix << "驱动程序无法打印作业";
    if (status & 0x100)
        qDebug() << kPrefix << "作业已删除";
    if (status & 0x004)
        qDebug() << kPrefix << "正在删除作业";
    if (status & 0x002)
        qCritical() << kPrefix << "错误与作业相关联";
    if (status & 0x020)
        qCritical() << kPrefix << "打印机处于脱机状态";
    if (status & 0x040)
        qCritical() << kPrefix << "打印机没有纸张";
    if (status & 0x001)
        qCritical() << kPrefix << "作业已暂停";
    if (status & 0x080)
        qDebug() << kPrefix << "作业已打印";
    if (status & 0x010)
        qDebug() << kPrefix << "作业正在打印";
    if (status & 0x800)
        qDebug() << kPrefix << "作业已重启";
    if (status & 0x008)
        qCritical() << kPrefix << "作业正在假脱机";
    if (status & 0x400)
        qCritical() << kPrefix << "打印机出现错误，要求用户执行某些操作";
}

qint64 JobStatusPoll::run(printing::PrintDevice &device, int jobId, const std::function<bool()> &stopped,
                          Timing timing)
{
    QElapsedTimer clock;
    clock.start();
    unsigned int last = 0;
    while (true) {
        quint32 status = 0;
        if (!device.jobStatus(jobId, status))
            break; // the job has left the queue
        if (status != last) {
            logStatus(status);
            last = status;
        }
        if (clock.elapsed() >= timing.limit.count() || (stopped && stopped()))
            break;
        // Short sleeps so that a stop of the job is seen soon.
        const auto until = std::chrono::steady_clock::now() + timing.interval;
        while (std::chrono::steady_clock::now() < until && !(stopped && stopped()))
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return clock.elapsed();
}

#include "app/print/job_status_poll.h"

#include "platform/printing/print_spooler.h"

#include <QDebug>
#include <QElapsedTimer>

#include <thread>

namespace {

constexpr const char *kPrefix = "SpoolsmithApp::printPdf";

struct StatusLine
{
    unsigned int bit;
    bool critical;
    const char *text;
};

// The order the operator's log has always shown them in.
constexpr StatusLine kLines[] = {
    {0x200, true, "驱动程序无法打印作业"},
    {0x100, false, "作业已删除"},
    {0x004, false, "正在删除作业"},
    {0x002, true, "错误与作业相关联"},
    {0x020, true, "打印机处于脱机状态"},
    {0x040, true, "打印机没有纸张"},
    {0x001, true, "作业已暂停"},
    {0x080, false, "作业已打印"},
    {0x010, false, "作业正在打印"},
    {0x800, false, "作业已重启"},
    {0x008, true, "作业正在假脱机"},
    {0x400, true, "打印机出现错误，要求用户执行某些操作"},
};

} // namespace

void JobStatusPoll::logStatus(unsigned int status)
{
    qDebug().noquote() << kPrefix << "JOB_INFO_2A Status" << QString::number(status, 16);
    for (const StatusLine &line : kLines) {
        if (!(status & line.bit))
            continue;
        if (line.critical)
            qCritical() << kPrefix << line.text;
        else
            qDebug() << kPrefix << line.text;
    }
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

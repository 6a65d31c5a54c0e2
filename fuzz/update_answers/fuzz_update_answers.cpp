// Any body as each answer of the update server (software version, firmware
// versions, the look-ups) and as release notes: no crash, rows only of the
// asked module, in order and within the cap.
#include "online/upgrades/update_answers.h"

#include <cstdint>
#include <cstdlib>

using namespace update_answers;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const SoftwareAnswer software = readSoftware(body);
    if (software.outcome != Outcome::Answer && !software.data.isEmpty())
        std::abort();
    const int module = size ? data[0] % 4 : 0;
    const FirmwareAnswer firmware = readFirmware(body, module);
    if (firmware.rows.size() > kMaxRows || (firmware.currentFirst && !firmware.rows.isEmpty()))
        std::abort();
    int last = -1;
    for (const FirmwareRow &row : firmware.rows) {
        if (row.index <= last || row.map.value(QStringLiteral("firmModule")).toInt() != module)
            std::abort();
        last = row.index;
    }
    readLookUp(body);
    const QString notes = QString::fromUtf8(body);
    if (!notesFitRichText(notes) && notesAsText(notes).size() > kMaxNotesChars + 1)
        std::abort();
    return 0;
}

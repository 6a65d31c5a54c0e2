// Receive side of the machine link under arbitrary bytes: the splitter in
// chunks chosen by the input, then reply and progress parsing of every frame;
// and the simulator's length-field reader over the same bytes.
#include "machine/protocol/frame_codec.h"
#include "tools/simulator/length_frame_reader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the chunk size, as recv may cut anywhere.
    const size_t chunk = 1 + data[0] % 64;
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    const size_t length = size - 1;

    MachineFrame::Splitter splitter(256);
    const auto onFrame = [](const QByteArray &frame) {
        if (auto reply = MachineFrame::parseCommandReply(frame)) {
            MachineFrame::resolveReply(*reply);
            if (!reply->replied)
                __builtin_trap();
        } else {
            (void)MachineFrame::parseProgress(frame);
        }
        if (frame.isEmpty() || frame.front() != MachineFrame::kStart || frame.back() != MachineFrame::kEnd)
            __builtin_trap();
    };
    LengthFrameReader reader;
    for (size_t off = 0; off < length; off += chunk) {
        const qsizetype n = qsizetype(std::min(chunk, length - off));
        splitter.feed(bytes + off, n, onFrame);
        if (splitter.buffered() > 256)
            __builtin_trap();
        reader.feed(bytes + off, n);
        while (auto payload = reader.next()) {
            // A payload read back must wrap to the bytes it came in.
            if (MachineFrame::wrap(*payload).size() != MachineFrame::frameLength(payload->size()))
                __builtin_trap();
        }
    }
    (void)MachineFrame::commandKey(QByteArray(bytes, qsizetype(length)));
    return 0;
}

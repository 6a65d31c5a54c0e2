#pragma once

#include <atomic>

// The HPGL reader's plain call interface: init_HPGL, then read_HPGL with a
// callback that receives every record synchronously, then exit_HPGL. The
// callback carries no context, so one file is read at a time per process.

// One point of a record; the chain runs from the last point drawn back to
// the first (a reader that prepends each node gets the drawing order).
struct HpglNode
{
    double x; // plotter units, along the web
    double y; // plotter units, across the web
    const HpglNode *next;
};

enum HpglRecordKind { HPGL_RECORD_POLYLINE = 1 };

struct HpglRecord
{
    int kind;             // HPGL_RECORD_POLYLINE
    int pen;              // the pen selected by SP
    int count;            // nodes in the chain
    const HpglNode *head; // valid only during the callback
};

using HpglCallback = void (*)(const HpglRecord *record);

// Result codes of read_HPGL (below 0 are failures).
enum HpglResult {
    HPGL_OK = 0,
    HPGL_ERR_NOT_INITIALISED = -1,
    HPGL_ERR_OPEN = -2,
    HPGL_ERR_NOT_HPGL = -3,
    HPGL_ERR_STOPPED = -4,
};

bool init_HPGL();
// Reads the file at path and calls callback once per polyline; returns
// HPGL_OK or one of the failure codes (each also logged).
int read_HPGL(const wchar_t *path, HpglCallback callback);
// The same, given up soon after stop is set (from any thread): HPGL_ERR_STOPPED.
int read_HPGL_until(const wchar_t *path, HpglCallback callback, const std::atomic<bool> *stop);
// The same over bytes already in memory.
int read_HPGL_data(const char *data, long long size, HpglCallback callback);
void exit_HPGL();

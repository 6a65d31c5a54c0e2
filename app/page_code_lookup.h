#pragma once

#include <QString>

#include <functional>

// What the cut side needs from the statistics store for a page code read
// off a printed page: the batch's task record and the work record of the
// job that printed it (its cut file).
struct PageCodeRecords
{
    bool taskFound = false;
    bool workFound = false;
    QString workTimestamp; // key of the printing job's work record
    QString cutFile;       // that job's cut file
};

using PageCodeLookup = std::function<PageCodeRecords(quint32 code)>;

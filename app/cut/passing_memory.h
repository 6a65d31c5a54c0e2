#pragma once

// What a worker thread used in passing (reading a large cut file, rendering
// or encoding its template) goes back to the system once the work is done,
// rather than staying with the process as large as the file. The C library
// keeps the free top of a worker thread's heap up to its trim threshold,
// which large frees raise as high as 64 MB, and trims it only on a free: so
// the threshold is lowered, a free made on the calling thread, and the
// thresholds then set where large frees leave them anyway. Any thread may
// call it, on its own heap.
void giveBackPassingMemory();

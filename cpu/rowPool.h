// The pool the per-frame pipeline splits its rows over: a fixed set of threads, made on the
// first call and joined when the capture lets it go, or at exit. The caller takes a share of the
// rows and waits for the others, so a call is synchronous and nothing is ever queued.
#pragma once

#include <functional>

// Does rows [y0, y1) of some picture. Called once per band, on different threads at once: it
// must touch only its own rows of whatever it writes.
using RowBand = std::function<void(int y0, int y1)>;

// Splits rows [0, rows) into contiguous bands, one per thread (never more bands than rows),
// runs them and returns when all are done. Runs everything on the calling thread when it is
// already inside a band or when another thread is using the pool: nesting neither deadlocks
// nor multiplies the threads. Nothing for rows <= 0.
void runRowBands(int rows, const RowBand& band);

// How many threads runRowBands uses, the caller included: hardware_concurrency() unless set.
int rowThreads();

// Joins the pool's threads; the next call makes them anew. Not while another thread is
// inside runRowBands.
void releaseRowPool();

// Sets that count (n <= 0: back to hardware_concurrency()), for benchmarks and tests. Not
// while another thread is inside runRowBands.
void setRowThreads(int n);

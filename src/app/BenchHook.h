#pragma once

class QWidget;

/// The benchmark's window into the real program. With SCRIVEL_BENCH_FD naming an open file
/// descriptor, the app writes one line there when its panel has first painted ("painted"),
/// one when it has settled three seconds later ("settled"), and, with SCRIVEL_BENCH_QUERIES
/// holding queries separated by "|", types each into the note list's search field one key at
/// a time and reports the milliseconds per key ("searched FIRST MEDIAN MAX COUNT"). Without
/// the variable nothing of this runs.
namespace BenchHook {
void installIfRequested(QWidget *panel);
}

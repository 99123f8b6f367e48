#pragma once
// The Channels window's cursor and zoom steps that the single-run and compared-runs benchmarks
// both time.

#include <QApplication>
#include <QKeyEvent>

#include <benchmark/benchmark.h>

#include "app/channels_frm.h"
#include "app/main_window.h"

namespace hulvex::bench {

// Puts the cursor of `form` (a run of more than 500 000 steps open) at step 500 000, as a bar
// move does, and lets the repaints it asks for be done.
inline void PlaceCursorMidRun(TForm1& form) {
  form.TimeBar->setSliderPosition(500'000);
  form.TimeBar->triggerAction(QAbstractSlider::SliderMove);
  QCoreApplication::processEvents();
}

// Per iteration one arrow key on `plot` (right, left, right, …), timed until its repaints are done.
inline void StepCursorByKeys(benchmark::State& state, QWidget* plot) {
  int key = Qt::Key_Right;
  for (auto _ : state) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(plot, &press);
    QCoreApplication::processEvents();  // the repaints the move asked for
    key = key == Qt::Key_Right ? Qt::Key_Left : Qt::Key_Right;
  }
}

// Per iteration every plot of `channels` set to the whole run [0, end] or its middle third, in
// turn, drawn and repainted: every step of every plotted run is scanned on one of the two.
// Calls `after` (no arguments) after each zoom, inside the timing.
template <class After>
void ZoomInTurns(benchmark::State& state, TChannelsFrm& channels, double end, After after) {
  bool whole = false;
  for (auto _ : state) {
    for (ChannelPlot* p : channels.Plots()) whole ? p->SetTimeRange(0.0, end) : p->SetTimeRange(end / 3, 2 * end / 3);
    QCoreApplication::processEvents();
    whole = !whole;
    after();
  }
}

}  // namespace hulvex::bench

// The "Spectra" window: the Welch spectra of the plotted channels and of the wave the boat meets at
// its centre of gravity (logarithmic density axes), the transfer functions' gain per channel and
// their coherence against encounter frequency, and a table of the spectral figures, over the
// session's visible range (the whole run when none), for the reference run and every compared run
// in its colour. The figures come from the SpectraModel, computed off the GUI thread.
#pragma once

#include <QComboBox>

#include <vector>

#include "app/figure_window.h"

namespace hulvex {

class TSpectraFrm : public TFigureWindow {
  Q_OBJECT
public:
  // As TFigureWindow.
  TSpectraFrm(QWidget* owner, ViewerSession& session, SpectraModel& model, CommandMessages& messages);

  // The plots, titled "Wave at the centre of gravity", "Coherence with the wave", then per plotted
  // channel "NAME spectrum" and "NAME per unit wave height" (rebuilt when the channels differ);
  // the table: per series (the wave, then each channel) and run, M0, Hs or SDA, Tz, Tp, Bandwidth.
  void ShowFigures() override;

  // The Welch segment length: "Segment: auto" (the default for the range) or a power of two from
  // 16 to 16384 samples, the item's data; the model's.
  QComboBox* SegmentBox = nullptr;

private:
  void BuildPlots(const std::vector<int>& channels);
  void ShowTable();

  std::vector<int> channels_;  // of the plots built
};

}  // namespace hulvex

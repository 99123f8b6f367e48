// The "Impact Distribution" window: the exceedance probability (logarithmic) of the counted impact
// peaks' heights of the vertical acceleration, the peaks as points at i / (N + 1), the fitted
// Rayleigh and Weibull exceedance curves and the Weibull predictions A1/3, A1/10 and A1/100 marked,
// with a table of the extremes, over the session's visible range (the whole run when none), for the
// reference run and every compared run in its colour. The figures come from the SpectraModel (the
// session's impact threshold and dead band, the exposure set in the window), computed off the GUI
// thread.
#pragma once

#include <QDoubleSpinBox>

#include "app/figure_window.h"

namespace hulvex {

class TImpactsFrm : public TFigureWindow {
  Q_OBJECT
public:
  // As TFigureWindow.
  TImpactsFrm(QWidget* owner, ViewerSession& session, SpectraModel& model, CommandMessages& messages);

  // The plot "Exceedance of impact peaks" (the reason instead when no run has extremes), and the
  // table: per run, the peaks and their extremes.
  void ShowFigures() override;

  QDoubleSpinBox* ExposureSpin = nullptr;  // the model's exposure, hours
};

}  // namespace hulvex

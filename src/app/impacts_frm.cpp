#include "app/impacts_frm.h"

#include <algorithm>
#include <cmath>
#include <functional>

#include "analysis/extremes.h"
#include "app/window_output.h"

namespace hulvex {
namespace an = analysis;

namespace {

const QString kTitle = QStringLiteral("Exceedance of impact peaks");
constexpr int kCurvePoints = 200;

}  // namespace

TImpactsFrm::TImpactsFrm(QWidget* owner, ViewerSession& session, SpectraModel& model, CommandMessages& messages)
    : TFigureWindow(owner, session, model, messages) {
  setObjectName(QStringLiteral("ImpactsFrm"));
  setWindowTitle(QStringLiteral("Impact Distribution"));
  FiguresTable->setToolTip(QStringLiteral("The counted impact peaks of the vertical acceleration and their extremes, g"));
  auto* plot = new FigurePlot(kTitle);
  plot->SetAxes(QStringLiteral("Peak height above the mean, g"), QStringLiteral("Probability of exceedance"), true);
  plot->SetLegendCorner(Qt::AlignBottom | Qt::AlignLeft);  // below the curves, clear of the marks' labels
  AddPlot(plot, 0, 0);
  ExposureSpin = new QDoubleSpinBox;
  ExposureSpin->setObjectName(QStringLiteral("ExposureSpin"));
  ExposureSpin->setPrefix(QStringLiteral("Exposure "));
  ExposureSpin->setSuffix(QStringLiteral(" h"));
  ExposureSpin->setDecimals(2);
  ExposureSpin->setRange(0.01, 100000);
  ExposureSpin->setValue(model_.ExposureHours());
  ExposureSpin->setKeyboardTracking(false);  // typed digits count once the value is entered
  ExposureSpin->setToolTip(QStringLiteral("The time at sea the most probable largest peak is predicted for"));
  connect(ExposureSpin, &QDoubleSpinBox::valueChanged, &model_, &SpectraModel::SetExposureHours);
  AddTopControl(ExposureSpin);
  ShowFigures();
}

void TImpactsFrm::ShowFigures() {
  FigurePlot* plot = Plots().front();
  const std::size_t runs = std::min(model_.ResultCount(), session_.RunCount());
  const QStringList columns{QStringLiteral("Peaks"),      QStringLiteral("Rayleigh σ"), QStringLiteral("Weibull k"),
                            QStringLiteral("Weibull λ"),  QStringLiteral("A1/3"),       QStringLiteral("A1/10"),
                            QStringLiteral("A1/100"),     QStringLiteral("A1/1000"),    QStringLiteral("Largest in %1 h"),
                            QStringLiteral("Counted A1/3"), QStringLiteral("Counted A1/10")};
  FiguresTable->clear();
  FiguresTable->setColumnCount(static_cast<int>(columns.size()));
  QStringList headers = columns;
  headers[8] = columns[8].arg(FigureText(model_.ExposureHours()));
  FiguresTable->setHorizontalHeaderLabels(headers);
  FiguresTable->horizontalHeaderItem(4)->setToolTip(QStringLiteral("Predicted by the Weibull fit: the mean of the highest third"));
  FiguresTable->horizontalHeaderItem(9)->setToolTip(QStringLiteral("The mean of the highest third of the counted peaks"));
  FiguresTable->setRowCount(static_cast<int>(runs));
  if (runs == 0) {
    RangeLbl->setText(WaitingText());
    plot->SetCurves({}, {});
    plot->SetMessage(WaitingText());
    return;
  }

  const WindowStatistics& ref = model_.Result(0)->Impacts;
  QString range = QStringLiteral("%1 s – %2 s, %3 steps").arg(FigureText(ref.From), FigureText(ref.To)).arg(ref.Window.Count());
  if (ref.Impacts.has_value()) {
    range += QStringLiteral(":  %1 peaks of at least %2 g above the mean (dead band ±%3 g)")
                 .arg(ref.Impacts->PeakCount)
                 .arg(FigureText(ref.Impacts->Threshold), FigureText(ref.Impacts->Hysteresis));
    if (ref.Impacts->PeakCount < 50 && ref.Extremes.has_value())
      range += QStringLiteral(".  Few peaks: the fitted tails are uncertain.");
  }
  RangeLbl->setText(range);

  std::vector<FigurePlot::Curve> curves;
  std::vector<FigurePlot::Mark> marks;
  double xMax = 0;
  std::size_t mostPeaks = 0;
  QString why;
  QStringList names;
  const bool several = runs > 1;
  for (std::size_t k = 0; k < runs; ++k) {
    const WindowStatistics& w = model_.Result(k)->Impacts;
    const QString run = RunName(session_.Run(k));
    names.push_back(run);
    const auto prefix = [&](const QString& what) { return several ? run + QStringLiteral(": ") + what : what; };
    const QColor colour = RunPlotColour(k);
    const auto row = static_cast<int>(k);
    const std::string noPeaks = w.Impacts.has_value() ? std::string() : w.Impacts.Reason;
    if (w.Impacts.has_value()) {
      FiguresTable->setItem(row, 0, FigureItem(static_cast<double>(w.Impacts->PeakCount)));
      FiguresTable->setItem(row, 9, FigureItem(w.Impacts->A1_3));
      FiguresTable->setItem(row, 10, FigureItem(w.Impacts->A1_10));
    } else {
      for (int c : {0, 9, 10}) FiguresTable->setItem(row, c, FigureItem(an::Maybe<double>::Missing(noPeaks)));
    }
    if (!w.Extremes.has_value()) {
      for (int c = 1; c <= 8; ++c) FiguresTable->setItem(row, c, FigureItem(an::Maybe<double>::Missing(w.Extremes.Reason)));
      if (why.isEmpty()) why = QString::fromStdString(w.Extremes.Reason);
      continue;
    }
    const an::ExtremeValues& e = *w.Extremes;
    FiguresTable->setItem(row, 1, FigureItem(e.RayleighSigma));
    FiguresTable->setItem(row, 2, FigureItem(e.Weibull.Shape));
    FiguresTable->setItem(row, 3, FigureItem(e.Weibull.Scale));
    FiguresTable->setItem(row, 4, FigureItem(e.PredictedA1_3));
    FiguresTable->setItem(row, 5, FigureItem(e.PredictedA1_10));
    FiguresTable->setItem(row, 6, FigureItem(e.PredictedA1_100));
    FiguresTable->setItem(row, 7, FigureItem(e.PredictedA1_1000));
    FiguresTable->setItem(row, 8, FigureItem(e.MostProbableLargest));

    // The counted peaks, highest first, at their empirical exceedance.
    std::vector<double> heights;
    for (const an::Peak& p : w.Impacts->Peaks) heights.push_back(p.Height);
    std::sort(heights.begin(), heights.end(), std::greater<>());
    std::vector<double> empirical(heights.size());
    for (std::size_t i = 0; i < heights.size(); ++i) empirical[i] = an::EmpiricalExceedance(i + 1, heights.size());
    xMax = std::max({xMax, heights.empty() ? 0.0 : heights.front(), e.PredictedA1_100});
    mostPeaks = std::max(mostPeaks, heights.size());
    curves.push_back({prefix(QStringLiteral("peaks (%1)").arg(heights.size())), colour, FigurePlot::Style::Points,
                      std::move(heights), std::move(empirical)});
    curves.push_back({prefix(QStringLiteral("Rayleigh, σ = %1 g").arg(FigureText(e.RayleighSigma))), colour,
                      FigurePlot::Style::Dashed, {}, {}});
    curves.push_back({prefix(QStringLiteral("Weibull, k = %1, λ = %2 g").arg(FigureText(e.Weibull.Shape), FigureText(e.Weibull.Scale))),
                      colour, FigurePlot::Style::Line, {}, {}});
    // Each run's labels on a line of their own: the runs' A1/3 often lie close together.
    const int line = static_cast<int>(marks.size() / 3);
    marks.push_back({prefix(QStringLiteral("A1/3, A1/10, A1/100 (Weibull)")), QStringLiteral("A1/3"), colour, e.PredictedA1_3, line});
    marks.push_back({QString(), QStringLiteral("A1/10"), colour, e.PredictedA1_10, line});
    marks.push_back({QString(), QStringLiteral("A1/100"), colour, e.PredictedA1_100, line});
  }
  FiguresTable->setVerticalHeaderLabels(names);
  // The fitted curves over the heights shown.
  xMax *= 1.15;
  for (std::size_t k = 0, c = 0; k < runs; ++k) {
    const WindowStatistics& w = model_.Result(k)->Impacts;
    if (!w.Extremes.has_value()) continue;
    FigurePlot::Curve& rayleigh = curves[c + 1];
    FigurePlot::Curve& weibull = curves[c + 2];
    for (int i = 0; i <= kCurvePoints; ++i) {
      const double x = xMax * i / kCurvePoints;
      rayleigh.X.push_back(x);
      rayleigh.Y.push_back(an::RayleighExceedance(x, w.Extremes->RayleighSigma));
      weibull.X.push_back(x);
      weibull.Y.push_back(an::WeibullExceedance(x, w.Extremes->Weibull));
    }
    c += 3;
  }
  const double decades = std::log10(static_cast<double>(mostPeaks) + 1) + 1;
  plot->SetCurves(std::move(curves), std::move(marks), 0, xMax > 0 ? xMax : 1, decades);
  plot->SetMessage(xMax > 0 ? QString() : QStringLiteral("No extremes: ") + why);
}

}  // namespace hulvex

#include "app/spectra_frm.h"

#include <QHeaderView>

#include <algorithm>
#include <cmath>
#include <limits>

#include "app/window_output.h"
#include "runfiles/channel_vocabulary.h"

namespace hulvex {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Short, for plot titles and legends: "Heave", "Pitch", "Channel12".
QString ChannelTitle(int channel) { return QString::fromStdString(ChannelInfoOf(channel).Key); }
// As the Channels window names the channel: "Height of the centre of gravity, ft".
QString ChannelRowName(int channel) {
  const ChannelInfo info = ChannelInfoOf(channel);
  return QString::fromStdString(info.Name + ", " + info.Unit);
}
QString UnitOf(int channel) { return QString::fromStdString(ChannelInfoOf(channel).Unit); }

// The frequency below which `fraction` of the density's area (above 0 Hz) lies; 0 without any.
double FrequencyOfShare(const std::vector<double>& f, const std::vector<double>& psd, double fraction) {
  double total = 0;
  for (std::size_t k = 1; k < std::min(f.size(), psd.size()); ++k) total += psd[k];
  if (!(total > 0)) return 0;
  double sum = 0;
  for (std::size_t k = 1; k < std::min(f.size(), psd.size()); ++k) {
    sum += psd[k];
    if (sum >= fraction * total) return f[k];
  }
  return f.back();
}

std::vector<double> Values(const std::vector<std::optional<double>>& v) {
  std::vector<double> out(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) out[i] = v[i].value_or(kNaN);
  return out;
}

// Channels' curves told apart within one plot of several channels.
FigurePlot::Style ChannelStyle(std::size_t i) {
  constexpr FigurePlot::Style kStyles[] = {FigurePlot::Style::Line, FigurePlot::Style::Dashed, FigurePlot::Style::Dotted,
                                           FigurePlot::Style::Points};
  return kStyles[i % std::size(kStyles)];
}

}  // namespace

TSpectraFrm::TSpectraFrm(QWidget* owner, ViewerSession& session, SpectraModel& model, CommandMessages& messages)
    : TFigureWindow(owner, session, model, messages) {
  setObjectName(QStringLiteral("SpectraFrm"));
  setWindowTitle(QStringLiteral("Spectra"));
  FiguresTable->setToolTip(QStringLiteral("Spectral figures of the range, in each row's unit"));
  SegmentBox = new QComboBox;
  SegmentBox->setObjectName(QStringLiteral("SegmentBox"));
  SegmentBox->addItem(QStringLiteral("Segment: auto"), QVariant::fromValue<qulonglong>(0));
  for (qulonglong samples = 16; samples <= 16384; samples *= 2)
    SegmentBox->addItem(QStringLiteral("Segment: %1").arg(samples), QVariant::fromValue(samples));
  SegmentBox->setCurrentIndex(std::max(0, SegmentBox->findData(QVariant::fromValue<qulonglong>(model_.SegmentSamples()))));
  SegmentBox->setToolTip(QStringLiteral("Samples per Welch segment: longer segments resolve finer frequencies, "
                                        "shorter ones average more segments and scatter less"));
  connect(SegmentBox, &QComboBox::currentIndexChanged, this, [this](int index) {
    model_.SetSegmentSamples(static_cast<std::size_t>(SegmentBox->itemData(index).toULongLong()));
  });
  AddTopControl(SegmentBox);
  ShowFigures();
}

void TSpectraFrm::BuildPlots(const std::vector<int>& channels) {
  ClearPlots();
  channels_ = channels;
  const auto add = [&](FigurePlot* p, int row, int column) {
    p->setMinimumHeight(170);
    AddPlot(p, row, column);
  };
  auto* wave = new FigurePlot(QStringLiteral("Wave at the centre of gravity"), PlotPane());
  wave->SetAxes(QStringLiteral("Encounter frequency, Hz"), QStringLiteral("ft²/Hz"), true);
  add(wave, 0, 0);
  auto* coherence = new FigurePlot(QStringLiteral("Coherence with the wave"), PlotPane());
  coherence->SetAxes(QStringLiteral("Encounter frequency, Hz"), QStringLiteral("Coherence"), false);
  add(coherence, 0, 1);
  for (std::size_t i = 0; i < channels.size(); ++i) {
    const int c = channels[i];
    const QString unit = UnitOf(c);
    auto* psd = new FigurePlot(ChannelTitle(c) + QStringLiteral(" spectrum"), PlotPane());
    psd->SetAxes(QStringLiteral("Encounter frequency, Hz"), unit + QStringLiteral("²/Hz"), true);
    add(psd, static_cast<int>(i) + 1, 0);
    auto* gain = new FigurePlot(ChannelTitle(c) + QStringLiteral(" per unit wave height"), PlotPane());
    gain->SetAxes(QStringLiteral("Encounter frequency, Hz"), unit + QStringLiteral("/ft"), false);
    add(gain, static_cast<int>(i) + 1, 1);
  }
}

void TSpectraFrm::ShowFigures() {
  const std::size_t runs = model_.ResultCount();
  std::vector<int> channels;
  if (runs > 0)
    for (const auto& entry : model_.Result(0)->Spectra.Channels) channels.push_back(entry.first);
  if (Plots().empty() || channels != channels_) BuildPlots(channels);
  const std::vector<FigurePlot*>& plots = Plots();
  if (runs == 0) {
    const QString why = WaitingText();
    RangeLbl->setText(why);
    for (FigurePlot* p : plots) {
      p->SetCurves({}, {});
      p->SetMessage(why);
    }
    ShowTable();
    return;
  }
  const WindowSpectra& ref = model_.Result(0)->Spectra;
  QString range = QStringLiteral("%1 s – %2 s, %3 steps").arg(FigureText(ref.From), FigureText(ref.To)).arg(ref.Window.Count());
  if (ref.Layout.has_value()) {
    const SpectrumLayout& l = *ref.Layout;
    range += QStringLiteral(":  %1 segments of %2 samples, %3 s apart%4;  frequency step %5 Hz")
                 .arg(l.Segments)
                 .arg(l.SegmentSamples)
                 .arg(FigureText(l.SampleInterval))
                 .arg(l.Resampled ? QStringLiteral(" (resampled)") : QString())
                 .arg(FigureText(1 / (l.SampleInterval * static_cast<double>(l.SegmentSamples))));
    if (l.Segments < 8) range += QStringLiteral(".  Few segments: the densities scatter; widen the range.");
  } else {
    range += QStringLiteral(":  no spectrum (") + QString::fromStdString(ref.Layout.Reason) + QStringLiteral(")");
  }
  RangeLbl->setText(range);

  // The frequencies shown: up to 1.5 times where 99 % of the wave's energy lies (of the channels'
  // without a wave), never past the Nyquist frequency.
  double fShown = 0, nyquist = 0;
  for (std::size_t k = 0; k < runs; ++k) {
    const WindowSpectra& w = model_.Result(k)->Spectra;
    if (!w.Layout.has_value()) continue;
    const std::vector<double>& f = w.Layout->Frequencies;
    nyquist = std::max(nyquist, f.back());
    if (w.Wave.has_value()) {
      fShown = std::max(fShown, 1.5 * FrequencyOfShare(f, w.Wave->Psd, 0.99));
    } else {
      for (const auto& [c, s] : w.Channels)
        if (s.has_value()) fShown = std::max(fShown, 1.5 * FrequencyOfShare(f, s->Psd, 0.99));
    }
  }
  if (!(fShown > 0) || fShown > nyquist) fShown = nyquist;

  const bool several = runs > 1;
  const auto named = [&](const QString& what, std::size_t k) {
    const QString run = RunName(session_.Run(k));
    if (!several) return what;
    return what.isEmpty() ? run : what + QStringLiteral(" — ") + run;
  };
  // Each plot's curves, one per run (and channel); the reason of the reference's missing one.
  std::vector<std::vector<FigurePlot::Curve>> curves(plots.size());
  std::vector<QString> missing(plots.size());
  const auto note = [&](std::size_t plot, const std::string& reason) {
    if (missing[plot].isEmpty()) missing[plot] = QString::fromStdString(reason);
  };
  for (std::size_t k = 0; k < runs && k < session_.RunCount(); ++k) {
    const WindowSpectra& w = model_.Result(k)->Spectra;
    const QColor colour = RunPlotColour(k);
    if (!w.Layout.has_value()) {
      for (std::size_t p = 0; p < plots.size(); ++p) note(p, w.Layout.Reason);
      continue;
    }
    const std::vector<double>& f = w.Layout->Frequencies;
    if (w.Wave.has_value())
      curves[0].push_back({named(QStringLiteral("Wave"), k), colour, FigurePlot::Style::Line, f, w.Wave->Psd});
    else
      note(0, w.Wave.Reason);
    for (std::size_t i = 0; i < channels.size(); ++i) {
      const std::size_t psdPlot = 2 + 2 * i, gainPlot = psdPlot + 1;
      const auto spectrum = std::find_if(w.Channels.begin(), w.Channels.end(), [&](const auto& e) { return e.first == channels[i]; });
      if (spectrum != w.Channels.end() && spectrum->second.has_value())
        curves[psdPlot].push_back({named(QString(), k), colour, FigurePlot::Style::Line, f, spectrum->second->Psd});
      else if (spectrum != w.Channels.end())
        note(psdPlot, spectrum->second.Reason);
      const auto transfer = std::find_if(w.Transfers.begin(), w.Transfers.end(), [&](const auto& e) { return e.first == channels[i]; });
      if (transfer == w.Transfers.end()) continue;
      if (!transfer->second.has_value()) {
        note(gainPlot, transfer->second.Reason);
        note(1, transfer->second.Reason);
        continue;
      }
      curves[gainPlot].push_back({named(QString(), k), colour, FigurePlot::Style::Line, f, Values(transfer->second->Gain)});
      curves[1].push_back({named(ChannelTitle(channels[i]), k), colour, ChannelStyle(i), f, Values(transfer->second->Coherence)});
    }
  }
  for (std::size_t p = 0; p < plots.size(); ++p) {
    // One run's single curve needs no legend.
    if (!several && p != 1)
      for (FigurePlot::Curve& c : curves[p]) c.Name.clear();
    const bool none = curves[p].empty();
    plots[p]->SetCurves(std::move(curves[p]), {}, 0, fShown);
    plots[p]->SetMessage(none ? (missing[p].isEmpty() ? QStringLiteral("Nothing to plot") : missing[p]) : QString());
  }
  ShowTable();
}

void TSpectraFrm::ShowTable() {
  FiguresTable->clear();
  const QStringList columns{QStringLiteral("M0, unit²"), QStringLiteral("Hs / SDA"), QStringLiteral("Tz, s"),
                            QStringLiteral("Tp, s"), QStringLiteral("Bandwidth")};
  FiguresTable->setColumnCount(static_cast<int>(columns.size()));
  FiguresTable->setHorizontalHeaderLabels(columns);
  FiguresTable->horizontalHeaderItem(1)->setToolTip(
      QStringLiteral("The wave's significant height or a channel's significant double amplitude: 4 √M0"));
  const std::size_t runs = std::min(model_.ResultCount(), session_.RunCount());
  // Rows: the wave, then each channel; within each, one row per run.
  std::vector<std::pair<QString, std::vector<const analysis::Maybe<SeriesSpectrum>*>>> groups;
  groups.emplace_back(QStringLiteral("Wave, ft"), std::vector<const analysis::Maybe<SeriesSpectrum>*>());
  for (int c : channels_) groups.emplace_back(ChannelRowName(c), std::vector<const analysis::Maybe<SeriesSpectrum>*>());
  for (std::size_t k = 0; k < runs; ++k) {
    const WindowSpectra& w = model_.Result(k)->Spectra;
    groups[0].second.push_back(&w.Wave);
    for (std::size_t i = 0; i < channels_.size(); ++i) {
      const auto it = std::find_if(w.Channels.begin(), w.Channels.end(), [&](const auto& e) { return e.first == channels_[i]; });
      groups[i + 1].second.push_back(it == w.Channels.end() ? nullptr : &it->second);
    }
  }
  QStringList names;
  int row = 0;
  FiguresTable->setRowCount(static_cast<int>(groups.size() * runs));
  for (const auto& [name, perRun] : groups) {
    for (std::size_t k = 0; k < perRun.size(); ++k, ++row) {
      names.push_back(runs > 1 ? name + QStringLiteral(" — ") + RunName(session_.Run(k)) : name);
      const analysis::Maybe<SeriesSpectrum>* s = perRun[k];
      if (!s || !s->has_value()) {
        const std::string reason = s ? s->Reason : "not computed";
        for (int c = 0; c < FiguresTable->columnCount(); ++c)
          FiguresTable->setItem(row, c, FigureItem(analysis::Maybe<double>::Missing(reason)));
        continue;
      }
      const analysis::SpectralFigures& g = (*s)->Figures;
      FiguresTable->setItem(row, 0, FigureItem(g.M0));
      FiguresTable->setItem(row, 1, FigureItem(g.SignificantDoubleAmplitude));
      FiguresTable->setItem(row, 2, FigureItem(g.Tz));
      FiguresTable->setItem(row, 3, FigureItem(g.Tp));
      FiguresTable->setItem(row, 4, FigureItem(g.Bandwidth));
    }
  }
  FiguresTable->setVerticalHeaderLabels(names);
}

}  // namespace hulvex

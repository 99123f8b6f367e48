// hulvex._hulvex: the compiled part of the Python module. A thin shell over the core, as the
// command-line tool is: runs opened with the open of `hulvex info`, statistics, spectra and
// comparisons written by the report writers of `hulvex stats`, `spectrum` and `compare --json`
// and handed to Python's json module, so every number is the tool's. Calls that read files or
// compute release the GIL; hulvex::Error becomes hulvex.Error with the text the tool prints.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "analysis/spectrum.h"
#include "common/error.h"
#include "common/file_lookup.h"
#include "demo/boat_writer.h"
#include "demo/demo_runs.h"
#include "demo/run_writers.h"
#include "python/python_render.h"
#include "report/compare_report.h"
#include "report/run_info_report.h"
#include "report/spectrum_report.h"
#include "report/statistics_report.h"
#include "run/channel_series.h"
#include "runfiles/channel_vocabulary.h"

namespace py = pybind11;

namespace hulvex::python {
namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

// A path argument: str or os.PathLike (os.fspath); anything else is a TypeError.
std::string PathArgument(const py::handle& path, const char* what) {
  py::object text = py::module_::import("os").attr("fspath")(path);
  if (!py::isinstance<py::str>(text)) throw py::type_error(std::string(what) + " must be a str or an os.PathLike of str");
  return text.cast<std::string>();
}

py::object JsonLoads(const std::string& text) { return py::module_::import("json").attr("loads")(text); }

// An Error with the messages reported before it (why a history was refused, say): hulvex.Error
// with them as its `messages`.
struct FaultWithMessages : Error {
  FaultWithMessages(const std::string& text, std::vector<std::string> messages)
      : Error(text), Messages(std::move(messages)) {}
  std::vector<std::string> Messages;
};

// What an open run shares with the arrays that view its memory: they keep it alive after close().
struct RunState {
  LoadedRun Run;
  std::mutex Lock;  // one call at a time reads the file or adds a held series
};

// An array viewing `size` values at `data` owned by `owner`, read-only.
template <typename T>
py::array_t<T> ReadOnlyView(const T* data, std::size_t size, std::shared_ptr<RunState> owner) {
  auto* keep = new std::shared_ptr<RunState>(std::move(owner));
  py::capsule base(keep, [](void* p) { delete static_cast<std::shared_ptr<RunState>*>(p); });
  py::array_t<T> a({static_cast<py::ssize_t>(size)}, {static_cast<py::ssize_t>(sizeof(T))}, data, base);
  py::detail::array_proxy(a.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
  return a;
}

// The options of a statistics window, checked as the tool checks its own (ValueError otherwise).
struct WindowOptions {
  std::optional<double> From, To;
  std::optional<std::vector<int>> Channels;
};

void CheckChannels(const std::vector<int>& channels) {
  for (int c : channels)
    if (c < 0 || c >= time_history_layout::kMaxChannels)
      throw py::value_error("channels: " + std::to_string(c) + " is not a channel number (0 to " +
                            std::to_string(time_history_layout::kMaxChannels - 1) + ")");
}

void CheckWindow(double from, double to) {
  if (std::isnan(from) || std::isnan(to)) throw py::value_error("from_/to: not a number");
  if (from > to) throw py::value_error("from_ is after to");
}

StatisticsRequest StatisticsRequestOf(const WindowOptions& w, std::optional<double> threshold,
                                      std::optional<double> hysteresis, std::optional<double> exposure) {
  StatisticsRequest r{w.From.value_or(-kInf), w.To.value_or(kInf), w.Channels.value_or(DefaultStatisticsChannels())};
  CheckWindow(r.From, r.To);
  CheckChannels(r.Channels);
  if (threshold) {
    if (!(*threshold >= 0)) throw py::value_error("threshold must be a number of at least 0, g");
    r.Threshold = *threshold;
  }
  if (hysteresis) {
    if (!(*hysteresis >= 0) || std::isinf(*hysteresis))
      throw py::value_error("hysteresis must be a number of at least 0 (a fraction of each channel's range)");
    r.Hysteresis = *hysteresis;
  }
  if (exposure) {
    if (!(*exposure > 0)) throw py::value_error("exposure must be a positive number of hours");
    r.ExposureHours = *exposure;
  }
  return r;
}

class Run {
public:
  explicit Run(std::string given) : given_(std::move(given)), state_(std::make_shared<RunState>()) {
    CollectingDiagnostics diag;
    {
      py::gil_scoped_release free;
      try {
        OpenRunHistory(state_->Run, given_, diag);
      } catch (const Error& e) {
        throw FaultWithMessages(e.what(), std::move(diag.messages));
      }
      try {
        LoadCaseDescription(state_->Run);
      } catch (const Error& e) {
        diag.Message("case-description", e.what());
      }
    }
    messages_ = std::move(diag.messages);
  }

  const std::string& Given() const { return given_; }
  const std::vector<std::string>& Messages() const { return messages_; }
  bool Closed() const { return state_ == nullptr; }

  void Close() {
    if (!state_) return;
    {
      std::lock_guard lock(state_->Lock);
      // Arrays still viewing the step times or a series keep the memory; the file goes now.
      state_->Run.History.File = ReadOnlyFile();
    }
    state_.reset();
  }

  // The open run's state, shared with the caller for the call: close() on another thread (while
  // this one waits for a read without the GIL) then leaves it alive until the call ends.
  std::shared_ptr<RunState> Alive() const {
    if (!state_) throw Error("The run " + given_ + " is closed");
    return state_;
  }
  // For the properties, which read what the open set and never change it.
  const LoadedRun& Loaded() const {
    if (!state_) throw Error("The run " + given_ + " is closed");
    return state_->Run;
  }

  py::array_t<double> Times() const {
    std::shared_ptr<RunState> s = Alive();
    const std::vector<double>& t = s->Run.History.StepTimes;
    return ReadOnlyView(t.data(), t.size(), std::move(s));
  }

  // The held raw values of each channel, reading those not held yet in one pass. The spans stay
  // valid while `s` lives: a held series is never changed or released.
  static std::vector<std::span<const float>> Hold(RunState& s, const std::vector<int>& channels) {
    py::gil_scoped_release free;
    std::lock_guard lock(s.Lock);
    CollectingDiagnostics diag;
    HoldChannels(s.Run, channels, diag);
    std::vector<std::span<const float>> out;
    for (int c : channels) out.emplace_back(FindSeries(s.Run, c)->Values);
    return out;
  }

  py::array Channel(int channel, bool raw) {
    std::shared_ptr<RunState> s = Alive();
    const std::span<const float> values = Hold(*s, {channel}).front();
    if (raw) return ReadOnlyView(values.data(), values.size(), std::move(s));
    const double factor = DisplayFactorOf(channel);
    py::array_t<double> out(static_cast<py::ssize_t>(values.size()));
    double* to = out.mutable_data();
    py::gil_scoped_release free;
    for (std::size_t i = 0; i < values.size(); ++i) to[i] = static_cast<double>(values[i]) * factor;
    return out;
  }

  // A new (steps, channels) array of the values, each column scaled by `scale(k)`.
  template <typename T, typename Scale>
  static py::array_t<T> Columns(const std::vector<std::span<const float>>& series, std::size_t steps, Scale scale) {
    const std::size_t columns = series.size();
    py::array_t<T> out({static_cast<py::ssize_t>(steps), static_cast<py::ssize_t>(columns)});
    T* to = out.mutable_data();
    py::gil_scoped_release free;
    for (std::size_t k = 0; k < columns; ++k) {
      const double factor = scale(k);
      for (std::size_t i = 0; i < steps; ++i) to[i * columns + k] = static_cast<T>(static_cast<double>(series[k][i]) * factor);
    }
    return out;
  }

  py::array Channels(const std::vector<int>& channels, bool raw) {
    std::shared_ptr<RunState> s = Alive();
    const std::vector<std::span<const float>> series = Hold(*s, channels);
    const std::size_t steps = s->Run.History.StepTimes.size();
    if (raw) return Columns<float>(series, steps, [](std::size_t) { return 1.0; });
    return Columns<double>(series, steps, [&](std::size_t k) { return DisplayFactorOf(channels[k]); });
  }

  py::dict Stats(std::optional<double> from, std::optional<double> to, std::optional<std::vector<int>> channels,
                 std::optional<double> threshold, std::optional<double> hysteresis, std::optional<double> exposure) {
    Alive();
    const StatisticsRequest request =
        StatisticsRequestOf({from, to, std::move(channels)}, threshold, hysteresis, exposure);
    RunStatistics stats;
    {
      py::gil_scoped_release free;
      stats = StatisticsOfRunFile(given_, request);
    }
    if (!stats.Figures) throw Error(stats.Run + ": " + stats.Error);
    return JsonLoads(StatisticsJson(stats, false, false));
  }

  py::dict Spectrum(std::optional<double> from, std::optional<double> to, std::optional<std::vector<int>> channels,
                    std::optional<std::int64_t> segment) {
    Alive();
    const WindowOptions w{from, to, std::move(channels)};
    SpectraRequest request;
    request.From = w.From.value_or(-kInf);
    request.To = w.To.value_or(kInf);
    CheckWindow(request.From, request.To);
    if (w.Channels) {
      CheckChannels(*w.Channels);
      request.Channels = *w.Channels;
    }
    if (segment) {
      if (*segment < 0 || !analysis::IsSegmentLength(static_cast<std::size_t>(*segment)))
        throw py::value_error("segment must be a power of two of at least 16, not " + std::to_string(*segment));
      request.SegmentSamples = static_cast<std::size_t>(*segment);
    }
    RunSpectra spectra;
    {
      py::gil_scoped_release free;
      spectra = SpectraOfRunFile(given_, request, {});
    }
    if (!spectra.Figures) throw Error(spectra.Run + ": " + spectra.Error);
    return JsonLoads(SpectraJson(spectra, false));
  }

  py::array Render(std::int64_t step, int scale) {
    const std::int64_t steps = Alive()->Run.History.StepCount();
    if (step < 0 || step >= steps)
      throw py::index_error("step " + std::to_string(step) + " is out of range: the run has steps 0 to " +
                            std::to_string(steps - 1));
    if (scale < 1 || scale > kMaxRenderScale)
      throw py::value_error("scale must be 1 to " + std::to_string(kMaxRenderScale) + ", not " + std::to_string(scale));
    py::array_t<std::uint8_t> out({static_cast<py::ssize_t>(300 * scale), static_cast<py::ssize_t>(620 * scale),
                                   py::ssize_t{3}});
    std::uint8_t* to = out.mutable_data();
    py::gil_scoped_release free;
    RenderStep(given_, static_cast<std::int32_t>(step), scale, to);
    return out;
  }

private:
  std::string given_;
  std::shared_ptr<RunState> state_;  // null once closed
  std::vector<std::string> messages_;
};

std::string ParametersJson(const LoadedRun& run) {
  JsonWriter j;
  WriteRunParametersJson(j, run.Params);
  return j.str();
}

// The comparison of `paths` with the options, as `hulvex compare --json` computes and writes it.
// A run that fails, or runs that share no time, raise hulvex.Error with the lines the tool prints
// after "error: " and the runs' messages.
py::dict Compare(const std::vector<std::string>& paths, std::optional<double> from, std::optional<double> to,
                 std::optional<double> threshold, std::optional<double> hysteresis, std::optional<double> exposure) {
  if (paths.size() < 2) throw py::value_error("compare needs two runs or more: the reference and the others");
  const StatisticsRequest r = StatisticsRequestOf({from, to, std::nullopt}, threshold, hysteresis, exposure);
  std::string json, failures;
  CollectingDiagnostics diag;  // the runs' messages, kept for the error
  {
    py::gil_scoped_release free;
    try {
      const std::optional<Comparison> c = CompareRunFiles(paths, r, diag, [&](const std::string& failure) {
        failures += (failures.empty() ? "" : "\n") + failure;
      });
      if (c) json = ComparisonJson(*c);
    } catch (const Error& e) {
      failures = e.what();
    }
  }
  if (!failures.empty()) throw FaultWithMessages(failures, std::move(diag.messages));
  return JsonLoads(json);
}

std::vector<std::string> MakeDemo(const std::string& directory) {
  std::vector<std::string> runs;
  {
    py::gil_scoped_release free;
    runs = demo::WriteDemoRuns(directory);
  }
  for (std::string& r : runs) r += ".HVX";
  return runs;
}

std::string WriteSampleRun(const std::string& directory, const std::string& name, std::int32_t steps, double dt,
                           int lastChannel, double speed, double surge, int hullType) {
  if (steps < 1) throw py::value_error("steps must be at least 1");
  if (lastChannel < 0 || lastChannel >= time_history_layout::kMaxChannels) throw py::value_error("last_channel out of range");
  py::gil_scoped_release free;
  RunParameters p = demo::SampleRunParameters();
  p.BoatFile = "C:\\BOATS\\B.BOT";
  demo::WriteBoatFile(directory + "/B.BOT", demo::SampleBoat(hullType));
  demo::HistorySpec spec;
  spec.Steps = steps;
  spec.EndTime = (steps - 1) * dt;
  spec.LastChannel = static_cast<std::int16_t>(lastChannel);
  spec.values = demo::SteadyPlaning(dt, speed, surge);
  return demo::WriteSampleRun(directory, name, p, spec) + ".HVX";
}

}  // namespace
}  // namespace hulvex::python

PYBIND11_MODULE(_hulvex, m) {
  using namespace hulvex;
  using namespace hulvex::python;
  using namespace pybind11::literals;
  m.doc() = "The compiled part of hulvex: runs, statistics, spectra and comparisons over the C++ core.";
  m.attr("__version__") = HULVEX_VERSION;
  // NumPy's C API and the dtypes are looked up once here: a first lookup on two threads at once
  // deadlocks (one waits for the other's static initialisation, which waits for the GIL).
  py::detail::npy_api::get();
  (void)py::dtype::of<double>(), (void)py::dtype::of<float>(), (void)py::dtype::of<std::uint8_t>();

  static py::exception<Error> error(m, "Error", PyExc_Exception);
  error.doc() =
      "A fault of a run or of its files: str(e) is the text `hulvex` prints after \"error: \" for the same fault, "
      "e.messages the messages it prints before (\"message: ...\"), such as why a history was refused.";
  error.attr("messages") = py::list();
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const Error& e) {
      py::object raised = py::handle(error.ptr())(e.what());
      if (const auto* f = dynamic_cast<const FaultWithMessages*>(&e)) raised.attr("messages") = f->Messages;
      PyErr_SetObject(error.ptr(), raised.ptr());
    }
  });

  py::class_<ChannelInfo>(m, "ChannelInfo", "A channel's entry in the channel vocabulary.")
      .def_readonly("channel", &ChannelInfo::Channel, "The channel number.")
      .def_readonly("name", &ChannelInfo::Name, "\"Height of the centre of gravity\", ...; \"Channel N\" when unnamed.")
      .def_readonly("unit", &ChannelInfo::Unit, "\"ft\", \"g\", \"deg\", \"kt\"; \"raw\" for a value shown as stored.")
      .def_readonly("factor", &ChannelInfo::Factor, "Display value = stored value x factor.")
      .def_readonly("key", &ChannelInfo::Key, "Short stable key: \"Heave\", \"Acceleration\", ..., \"Channel12\".")
      .def("__repr__", [](const ChannelInfo& c) {
        return "ChannelInfo(channel=" + std::to_string(c.Channel) + ", name='" + c.Name + "', unit='" + c.Unit + "')";
      });

  py::class_<python::Run>(m, "Run", py::dynamic_attr(),
                          "An open run: its parameters, step times and channels. Made by hulvex.open_run.")
      .def_property_readonly("given", &python::Run::Given, "The path as given to open_run; runs are named by it in "
                                                            "the statistics, as `hulvex stats` names them.")
      .def_property_readonly("path", [](const python::Run& r) { return r.Loaded().RunPath; },
                             "The run's path without extension, as `hulvex info` gives RunPath.")
      .def_property_readonly("closed", &python::Run::Closed, "True once close() was called.")
      .def_property_readonly("messages", &python::Run::Messages,
                             "The messages the open gave (a truncated history, a description not found), in order.")
      .def_property_readonly("parameters", [](const python::Run& r) { return JsonLoads(ParametersJson(r.Loaded())); },
                             "The run parameters: a dict with the keys of RunParameters in `hulvex info`.")
      .def_property_readonly("description", [](const python::Run& r) { return r.Loaded().Description; },
                             "The case description (the .TXT), as text; empty when it could not be read.")
      .def_property_readonly("last_channel", [](const python::Run& r) { return r.Loaded().History.Header.LastChannel; },
                             "The last channel the history stores (channels 0 to last_channel).")
      .def_property_readonly("steps", [](const python::Run& r) { return r.Loaded().History.StepCount(); },
                             "The number of readable steps.")
      .def_property_readonly("times", &python::Run::Times,
                             "The step times, s: a read-only float64 array viewing the run's memory (no copy).")
      .def("channel", &python::Run::Channel, "n"_a, py::kw_only(), "raw"_a = false,
           "Channel n at every step. raw=False: a new float64 array in display units (stored value x "
           "channel_info(n).factor, computed in double, as the statistics scale it). raw=True: the stored float32 "
           "values, a read-only view of the run's memory (no copy). The channel is read in one pass the first time "
           "and held. hulvex.Error when the run does not store it.")
      .def("channels", &python::Run::Channels, "channels"_a, py::kw_only(), "raw"_a = false,
           "Several channels as a new 2-D array, one column per channel in the order given (float64 in display "
           "units, or float32 stored values with raw=True). Channels not held yet are read in one pass.")
      .def_static("channel_info", &ChannelInfoOf, "n"_a, "The vocabulary entry of channel n (name, unit, factor, key).")
      .def("stats", &python::Run::Stats, py::kw_only(), "from_"_a = py::none(), "to"_a = py::none(),
           "channels"_a = py::none(), "threshold"_a = py::none(), "hysteresis"_a = py::none(),
           "exposure"_a = py::none(),
           "The statistics of the run's file: the dict of `hulvex stats RUN` with the same options (from_ and to in "
           "s, channels the per-channel rows, default [0, 2, 3, 7], threshold in g, hysteresis a fraction of each "
           "channel's range, exposure in hours). hulvex.Error \"RUN: reason\" when the run gives no figures.")
      .def("spectrum", &python::Run::Spectrum, py::kw_only(), "from_"_a = py::none(), "to"_a = py::none(),
           "channels"_a = py::none(), "segment"_a = py::none(),
           "The spectra of the run's file: the dict of `hulvex spectrum RUN` with the same options (channels "
           "default [0, 3, 2], segment a power of two of at least 16). The boat file is looked for beside the run.")
      .def("render", &python::Run::Render, "step"_a, "scale"_a = 1,
           "The picture of `step` as the video window shows it: a new uint8 array (300*scale, 620*scale, 3), RGB, "
           "with exactly the pixels `hulvex render` writes at scale 1. IndexError for a step out of range.")
      .def("close", &python::Run::Close,
           "Closes the run's file. Arrays viewing the run's memory stay valid; every other call then raises "
           "hulvex.Error.")
      .def("__enter__", [](py::object self) { return self; })
      .def("__exit__", [](python::Run& r, py::args) { r.Close(); return false; })
      .def("__repr__", [](const python::Run& r) {
        return "<hulvex.Run " + r.Given() + (r.Closed() ? " (closed)>" : ", " + std::to_string(r.Loaded().History.StepCount()) + " steps>");
      });

  m.def("open_run", [](const py::object& path) { return std::make_unique<python::Run>(PathArgument(path, "path")); },
        "path"_a,
        "Opens a run (its .HVX file, or its path without extension): the run parameters and the step times, read as "
        "`hulvex info` reads them. hulvex.Error with the tool's text when the run cannot be read. A context manager.");
  m.def(
      "compare",
      [](const py::iterable& paths, std::optional<double> from, std::optional<double> to,
         std::optional<double> threshold, std::optional<double> hysteresis, std::optional<double> exposure) {
        if (py::isinstance<py::str>(paths)) throw py::type_error("paths must be a list of paths, not a str");
        std::vector<std::string> runs;
        for (const py::handle& p : paths) runs.push_back(PathArgument(p, "each path"));
        return Compare(runs, from, to, threshold, hysteresis, exposure);
      },
      "paths"_a, py::kw_only(), "from_"_a = py::none(), "to"_a = py::none(), "threshold"_a = py::none(), "hysteresis"_a = py::none(), "exposure"_a = py::none(),
      "The comparison of two or more runs (the first the reference): the dict of `hulvex compare --json` with the "
      "same options (its per-channel rows are the tool's: 0, 2, 3, 7). hulvex.Error with the tool's error lines "
      "when a run cannot be compared.");
  m.def("make_demo", [](const py::object& dir) { return MakeDemo(PathArgument(dir, "directory")); }, "directory"_a,
        "Writes the demonstration runs into `directory` (created if missing), as `hulvex make-demo` does. Returns "
        "the .HVX paths.");
  m.def(
      "_write_sample_run",
      [](const py::object& dir, const std::string& name, std::int32_t steps, double dt, int lastChannel, double speed,
         double surge, int hullType) {
        return WriteSampleRun(PathArgument(dir, "directory"), name, steps, dt, lastChannel, speed, surge, hullType);
      },
      "directory"_a, "name"_a, "steps"_a, "dt"_a = 0.01, "last_channel"_a = 11, "speed"_a = 45.0, "surge"_a = 0.0,
      "hull_type"_a = 1,
      "For tests and benchmarks: a run of a boat planing at `speed` ft/s surging by `surge` ft/s, `steps` steps `dt` "
      "apart, with the sample boat of `hull_type` beside it, written by the project's run writers. Returns the .HVX "
      "path.");
  m.attr("_have_render") = py::bool_(kHaveRender);
}

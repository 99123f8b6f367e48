// The benchmark program: an offscreen application object (the picture drawing needs its fonts),
// then Google Benchmark.
#include <QGuiApplication>

#include <benchmark/benchmark.h>

#include "common/vector_state.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  int qtArgc = 1;
  QGuiApplication app(qtArgc, argv);
  hulvex::ClearUpperVectorState();  // as the programs do at start
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}

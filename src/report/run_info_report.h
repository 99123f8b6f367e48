// A run's parameters and its history's header as JSON objects: the blocks of `hulvex info`, also
// the Python module's Run.parameters.
#pragma once

#include "report/json_writer.h"
#include "runfiles/run_parameters.h"
#include "runfiles/time_history.h"

namespace hulvex {

// Every field of `p` under its own name, in file order; DOFModeName and SpeedSpecified follow
// DOFMode, WavesName follows Waves; the thrust and leveler tables as arrays of objects.
void WriteRunParametersJson(JsonWriter& json, const RunParameters& p);

// Magic, LastChannel, StartTime, EndTime, HeaderText, LastStep, StepsInFile (whole steps the file
// holds now), RecordsPerStep and StepsIndexed of `history`, which must be open.
void WriteHistoryHeaderJson(JsonWriter& json, const TimeHistory& history);

}  // namespace hulvex

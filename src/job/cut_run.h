#pragma once
// The cut run's portable part: which marks a "Print and Cut" run searches for,
// and the job that Start hands to the generator. The main dialog and
// vantrel-cut both go through here, so the same settings and model give the
// same bytes in either.
#include <optional>

#include "cutdata/cut_job.h"
#include "cutdata/path.h"
#include "cutdata/reg_marks.h"
#include "settings/settings.h"

namespace vantrel {

// The machine a run is for: `model` is the identified CutterModel, 0 when no
// machine is connected.
struct CutMachine {
    bool connected = false;
    int model = CutterModelNone;
};

// The registration marks around `design`: the origin mark is square for a
// connected CAMEO or PORTRAIT, or with no machine when the host prints the
// square mark (`hostRegMarkType` 2).
RegMarkLayout regMarksFor(const Path& design, const CutMachine& machine, int hostRegMarkType);

// The job for `settings` as the dialog shows them, cutting `design` on a
// machine of `model`. `search` is the mark search of this run or of an
// earlier one (a job of another type keeps it); without one the mark fields
// stay 0. A Multi-Cut list without a row cuts once: a job of no passes would
// cut nothing and still be reported sent.
CutJob buildCutJob(const CutSettings& settings, Path design, int model, const std::optional<RegMarkSearch>& search,
                   bool keepCurves = true);

}  // namespace vantrel

#include "job/cut_run.h"

#include <utility>

namespace vantrel {

RegMarkLayout regMarksFor(const Path& design, const CutMachine& machine, int hostRegMarkType) {
    return RegMarkLayout::around(design, useSquareOriginMark(machine.connected, machine.model, hostRegMarkType));
}

CutJob buildCutJob(const CutSettings& settings, Path design, int model, const std::optional<RegMarkSearch>& search,
                   bool keepCurves) {
    CutJob job;
    job.bladeOffset = settings.bladeOffset;
    job.carrierMat = settings.carrierMat;
    job.trackEnhancing = settings.trackEnhancing;
    job.passCount = settings.multiCutIndex < 0 ? 1 : settings.passCount();
    job.speed = settings.speedLevel;
    job.force = settings.forceLevel;
    job.path = std::move(design);
    job.printAndCut = settings.printAndCut();
    job.keepCurves = keepCurves;
    job.model = model;
    job.knifePoint = settings.knifePoint();
    if (search) {
        job.markOriginX = search->markOriginX;
        job.markOriginY = search->markOriginY;
        job.markExtentX = search->markExtentX;
        job.markExtentY = search->markExtentY;
    }
    return job;
}

}  // namespace vantrel

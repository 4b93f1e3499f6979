#pragma once
// One cutting job: a snapshot of the dialog's settings taken when the user
// presses Start. The generator reads it only; the cut run fills it.
#include "cutdata/cutter_model.h"
#include "cutdata/path.h"

namespace vantrel {

// The order figures are cut in. The plug-in always cuts them as drawn; the
// others are vantrel-cut's (cut_order.h).
enum class CutOrder {
    Drawing,    // as the design lists them, each from its first point
    Travel,     // the shortest pen-up travel found; open figures may be cut backwards
    InsideOut,  // no figure before one that lies inside it; then the shortest travel
};

struct CutJob {
    bool trackEnhancing = false;
    bool carrierMat = false;
    int speed = 10;          // 1 to 10
    int force = 10;          // 1 to 33
    bool bladeOffset = false;
    Path path;               // the design, in inches; the job's own copy
    int passCount = 1;       // 1 to 10
    bool printAndCut = false;
    bool knifePoint = false; // neither set: "WYSIWYG"
    // Print and Cut only: top-left corner of the origin mark's bounds (inches),
    // and the working length along the feed and width along the carriage from it (steps).
    float markOriginX = 0;
    float markOriginY = 0;
    int markExtentX = 0;
    int markExtentY = 0;
    bool keepCurves = true;  // curves go out as "BZ1" commands; else flattened draw lists
    int model = CutterModelNone;  // a CutterModel value; unknown values place nothing
    CutOrder order = CutOrder::Drawing;
};

}  // namespace vantrel

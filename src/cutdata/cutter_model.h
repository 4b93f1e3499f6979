#pragma once
// Which machine is connected, from its identification reply. It selects the
// per-model constants of the cut run, the cut stream and the preview.
namespace vantrel {

enum CutterModel : int {
    CutterModelNone = 0,       // no identification has arrived yet
    CutterModelSilhouette = 1, // any machine not named below
    CutterModelCameo = 2,      // identification begins with "CAMEO"
    CutterModelPortrait = 3,   // identification begins with "PORTRAIT"
};

}  // namespace vantrel

#pragma once
// Resource and control ids of the ui area.

// PNG images (resource type "PNG"), drawn by images/generate.py.
#define IDPNG_TOOL_HEAD 9000
#define IDPNG_RAIL_SD 9001
#define IDPNG_BODY_SD 9003
#define IDPNG_PRESETS_ICON 9005
#define IDPNG_PROGRESS_OVERLAY 9006
#define IDPNG_HELP_ICON 9007
#define IDPNG_START_ICON 9008
#define IDPNG_STRIPES 9010
#define IDPNG_JOG_DOWN 9011
#define IDPNG_JOG_LEFT 9012
#define IDPNG_JOG_RIGHT 9013
#define IDPNG_JOG_UP 9014
#define IDPNG_DEPTH_DISCS 9015
#define IDPNG_RAIL_CAMEO 9021
#define IDPNG_BODY_CAMEO 9022
#define IDPNG_RAIL_PORTRAIT 9023
#define IDPNG_BODY_PORTRAIT 9024

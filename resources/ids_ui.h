#pragma once
// Resource and control ids of the ui area.

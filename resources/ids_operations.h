#pragma once
// Resource and control ids of the operations area.

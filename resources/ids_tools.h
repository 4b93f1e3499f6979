#pragma once
// Resource and control ids of the tools area.

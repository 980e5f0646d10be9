#pragma once

#include "grid.h"

namespace dialkite {

// The grids of the main window, in the order the start-up layout visits them.
enum class GridId { Calls = 1, Sent, Received, Device, Identification, Port, Detection };

inline constexpr int kGridCount = 7;
inline constexpr int kLogRows = 10000; // header row and rows 1 to 9999
inline constexpr int kLastLogRow = kLogRows - 1;

struct GridDesign {
    const char *name;
    int rows;
    int columns;
    GridLayout layout;
};

// Name, size, column widths (twips), row heights and headers of grid MSFlexGrid<n>.
GridDesign gridDesign(GridId id);

} // namespace dialkite

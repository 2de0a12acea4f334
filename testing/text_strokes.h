// Whether a picture of a control shows text in a given colour, for the UI
// drivers that read real pixels. Text is smoothed at its edges, so its
// strokes are the pixels inside the control, clear of its border, that lie
// well along the way from the background (the commonest colour there) to
// the text's colour, in every channel alike.
#pragma once

#include <vector>

#include "platform/types.h"

namespace tarnwick::testing {

// pixels: width x height, row by row.
bool ShowsTextStrokesIn(const std::vector<Color>& pixels, int width, int height, Color color);

}  // namespace tarnwick::testing

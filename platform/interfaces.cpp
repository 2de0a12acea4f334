// Compiles every interface header on its own, so a header that does not
// stand alone breaks the build here rather than in a backend.
#include "platform/canvas.h"
#include "platform/dialogs.h"
#include "platform/event_loop.h"
#include "platform/image.h"
#include "platform/platform.h"
#include "platform/shell.h"
#include "platform/types.h"
#include "platform/window_system.h"

#pragma once

// dialkite-cli collect: every box's events from the broker into one call history, and
// from there to the collector's other outputs (its lines, the page, Home Assistant).
// Its command is collectCommand() (commands.h).

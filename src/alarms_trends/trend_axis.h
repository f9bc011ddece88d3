// Trend axes: an emitter's time axis (saved in the emitter, shown by its
// graph), scrolling and zooming it, and the axis containers: "@MACRO" names
// whose last "." is followed by the number of a bound emitter, read as the
// axis start and end and the dates and times of its eleven tick labels, and
// written to scroll, zoom, move the axis to a date or time and set the
// emitter's parameters. Owns the flag that keeps its own refreshing of a
// container from acting as a write.
#pragma once

struct EM_Emitter;

// Sets the time axis when start lies below end: saved in the emitter, given
// to the bound graph, and the displayed time becomes its width. 0 otherwise.
int EM_setTimeAxis(EM_Emitter *emitter, double start, double end);
// The saved axis given to the bound graph again.
void EM_applySavedRange(EM_Emitter *emitter);
// Scroll and zoom by a percentage of the displayed time (-100 .. 100, not 0).
void EM_scroll(EM_Emitter *emitter, long percent);
void EM_zoom(EM_Emitter *emitter, long percent);
// Maximum points from the maximum store time and the refresh period.
void EM_computeMaxPoints(EM_Emitter *emitter);
// Grid and scale flags of the bound graph.
void EM_setGrid(EM_Emitter *emitter, int on);

// The trend macro containers. Each answers non-zero when it handled the name
// (a read fills dst, 256 bytes, and refreshes the container's buffer), 0 to
// let the name be an ordinary container.
int macroReadVal(const char *name, char *dst);
int macroWriteVal(const char *name, const char *value);

// Trend engine: graphs whose source is a container named "@MACRO..." show
// the curves of an emitter. On-line emitters sample their process points at
// every refresh cycle and keep them for their store time, also while other
// pages are shown; off-line emitters load the target's trend logs on
// command. Everything the page controls is exchanged through containers
// named from the graph's source. This module binds graphs to their
// emitters, runs the commands of their containers, samples, and clears;
// it registers its entry points with the graph object and fills the hooks
// of the containers and the view manager.
#pragma once

struct EM_Emitter;
struct GR_Graph;

// The graph's draws: binding and parsing the trend lists, then (after the
// grid) the commands and the curves.
void EM_parseEmitter(GR_Graph *graph, const char *name);
void EM_paintEmitter(GR_Graph *graph);
// A touch on the graph.
void EM_executeMouseAction(GR_Graph *graph, int x, int y);
// Whether a refresh has to draw the graph (new samples, pending commands).
int EM_hasNewData(const GR_Graph *graph);
// Runs the repaint commands; 0 when nothing is to be painted in this draw.
int EM_actionsOnRepaint(EM_Emitter *emitter);
// Periodic sampling of on-line trends, once per refresh cycle.
void EM_updateValues();
// Unbinds the emitters from their graphs (view change); frees all trend data.
void EM_clearView();
void EM_clearAll();
// Back to before start-up: no emitter, default colours from blue, the system clock.
void EM_reset();

// Attaches the trend engine: its macro containers, its place in the refresh
// cycle and the view's clearing, and its entry points in the graph object.
void EM_attachHooks();

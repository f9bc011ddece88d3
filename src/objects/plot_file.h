// Plot files: the small command language of "#" commands that a graph object
// with a file source draws: ranges, curves, steps, captions, texts and the
// drawing colour (docs/plot-files.md). Reads the file through the file layer
// and draws through the graph's mapping; keeps no state between files.
#pragma once

struct GR_Graph;

#define GR_TEXT_SIZE 129  // a text of "#t": at most 128 characters
#define GR_STYLE_SIZE 33  // a style value of "#S": at most 32 characters
#define GR_NUMBER_SIZE 21 // a number field: at most 20 characters

// Runs the plot file on the graph: 1 when the file was read, 0 when it could
// not be opened (its name is then shown in the box and reported).
int GR_parseFile(GR_Graph *graph, const char *name);

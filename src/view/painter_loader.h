// Painter loading: the painter element of a TEQ file (header, class dispatch,
// unknown painters) and the background and foreground layer files a page
// names. Calls the kinds' loaders; loads layer files through the view manager.
#pragma once

#include <cstdint>

#include "view/object_table.h"

struct MPainter;

// A kind's loader: reads the body of one painter and answers the new object,
// or null when it failed (having removed its half-built object).
typedef OB_Object *(*PA_Loader)(int file, OB_Object *defaults);

// Reads one painter (element 0x17). The header's geometry and PLC id go into
// the default object, from which the kind's loader copies them.
void PA_loadPainter(int file, OB_Object *defaults);
// The loader of a painter class, null when the class is unknown or its
// loader is not attached.
PA_Loader PA_findLoader(const char *className);
// 1 when the class is a painter class of the format.
int PA_isKnownClass(const char *className);
// Attaches the loader of a known class: 1, or 0 for an unknown class.
int PA_setLoader(const char *className, PA_Loader loader);
// Detaches every loader and forgets the layer files.
void PA_resetLoaders();
// Steps shared by the kinds' loaders, in their order.
// PA_readBlock reads the painter block
// into block and, when that fails, deletes the object and answers 0;
// PA_readBlockRef does the same into a new heap1 block and answers it.
// PA_finishObject copies the default properties and sets kind and notify.
// PA_newObject makes the record (OB_LoadObj); when heap1 is full the rest of
// the body cannot be read in step, so the file is aborted.
OB_Object *PA_newObject(uint32_t size);
int PA_readBlock(int file, OB_Object *object, MPainter *block, const OB_Object *defaults);
MPainter *PA_readBlockRef(int file, OB_Object *object, const OB_Object *defaults);
void PA_finishObject(OB_Object *object, const OB_Object *defaults, int16_t kind, OB_NotifyFunction notify);

// Element 0x1B: the name of a layer file.
void PA_LoadLayerTeq(int file);
void PA_clearView();
void PA_LoadLayerTeqIfAny();

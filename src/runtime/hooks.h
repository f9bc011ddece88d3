// Hooks: the few calls that a lower layer makes into a higher one. The lower
// module calls through this table; the higher module fills its entries when it
// attaches at start-up. Every entry has a default that is safe when nothing
// above is attached (nothing happens, nothing is found). Main thread only,
// except where an entry says otherwise.
#pragma once
#include <cstdint>

struct HK_Hooks {
    // Filled by the draw layer.
    void (*invalidateView)(); // clear the window with an exposure

    // Filled by the data layer.
    char *(*messageBoxText)();                         // the "MessageBoxCO" buffer, or null
    const char *(*resolvePointName)(const char *name); // the name a process point has on the target

    // Filled by the target link.
    int (*readTargetValue)(const char *name, char *dst, int size); // a process value by name
    void (*forceOrder)();                                          // order the read list again

    // Filled by the view.
    const char *(*documentBase)();                         // directory of the current page
    const char *(*remoteServer)();                         // host of the remote page server, "" for local pages
    int (*readPageParameter)(const char *name, char *out); // 1 and the value, 0 when not a parameter
    int (*readParamName)(const char *name, char *out);     // the value, else the resolved name
    int (*refreshPeriod)();                                // milliseconds
    const char *(*pictureOrderFileName)();                 // the picture's name without ".teq", "+" as "_"
    void (*scheduleNewRefresh)();
    int (*scheduleFullRedraw)();
    int (*requestPage)(const char *address);       // load an HTML page at the next cycle
    int (*requestPageAfresh)(const char *address); // the same with remote server and document base cleared
    void (*checkClockFlag)();                      // the 12-hour-clock flag read again (language changed)
    const char *(*dialogName)();                   // dialog page shown, "" when none
    void (*closeMessageBox)();
    int (*focusFirstObject)(); // the first object in focus order takes the focus
    void (*drawFocusFrame)();  // at the end of a frame
    int (*objectCount)();
    int (*focusedObject)(); // id, -1 when none
    int (*focusRank)();     // focus-order rank of the focused object, -1 when none
    void (*setModalForeground)(int on);

    // Filled by the input layer.
    void (*clearNavigation)(); // page memory is reset
    void (*selectObject)(int index, int force);
    int (*deliverKeys)(); // end of a refresh cycle: 1 when a key was used
    void (*clearKeys)();  // view cleared: queued keys, key bindings, press in progress

    // Filled by the object kinds.
    int (*keypadRead)(const char *name, char *dst); // 1 when name is a keypad container
    int (*keypadWrite)(const char *name, const char *value);
    char *(*keypadText)();           // the keypad's edit buffer, or null
    void (*resetKeypad)();           // containers emptied: keypad state back to its start
    void (*focusFieldAfterKeypad)(); // the keypad page closed
    void (*loadWarningButton)();
    int (*removeListItem)(const char *viewer, int position);

    // Filled by the alarm lists and the trend engine.
    int (*alarmMacroWrite)(const char *name, const char *value); // non-zero when taken
    int (*alarmListCycle)(int viewer, const char *sourceName);   // the viewer's alarm list type, 0 none
    int (*alarmListDraw)(int viewer, const char *text);          // 1 when it drew the viewer's rows
    int (*trendMacroRead)(const char *name, char *dst);
    int (*trendMacroWrite)(const char *name, const char *value);
    void (*sampleTrends)(); // once per refresh cycle
    void (*clearTrendView)();
    void (*clearTrends)();

    // Filled by the application.
    void (*pumpEvents)(); // take the pending display events while the main thread waits
};

// The table: never null, every entry set.
HK_Hooks *HK_hooks();
// Every entry back to its default.
void HK_reset();

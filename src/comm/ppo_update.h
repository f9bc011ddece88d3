// Update cycle of the process-point cache through the target's driver.
#pragma once

// One update of the cache from the target (up to three attempts): 1 when the
// values were read; after the third failure every value is "Not available".
// While the target keeps failing (every attempt of the last update failed),
// an update makes one attempt, until the first good answer.
int PPO_update(int force, int period);
// True while the target keeps failing.
int PPO_isBackingOff();
// Values are not live while an update waits for the target longer than
// PPO_STALE_MIN_MS or two refresh periods: called while the panel waits, it
// sets every value to "Not available" once per update and answers 1 then (the
// caller redraws), else 0.
#define PPO_STALE_MIN_MS 3000
int PPO_markStaleWhileWaiting();
int PPO_OrderValuesUpdate(int force, int period);
void PPO_ReadFileUpdate();
// Forgets the order last sent, so that the next update orders again.
void PPO_clearOrder();
// Forgets the order being built and the order last sent.
void PPO_resetUpdate();
